#pragma once
// The base of a filter: maps the host's selectors onto one virtual operation each and holds the about
// box's caption and text. The library owns exactly one filter object for as long as it is loaded.

#include "plugin/HostInterface.h"

#include <cstdint>
#include <string>
#include <utility>

class TPhotoshopFilter
{
public:
    TPhotoshopFilter() = default;
    virtual ~TPhotoshopFilter() = default;
    TPhotoshopFilter(const TPhotoshopFilter&) = delete;
    TPhotoshopFilter& operator=(const TPhotoshopFilter&) = delete;

    virtual OSErr About(AboutRecord* about);
    virtual OSErr Parameters(FilterRecord* record);
    virtual OSErr Prepare(FilterRecord* record);
    virtual OSErr Start(FilterRecord* record);
    virtual OSErr Continue(FilterRecord* record);
    virtual OSErr Finish(FilterRecord* record);
    virtual void ShowAbout(std::intptr_t owner);
    // Runs once the object is fully constructed, so derived classes can do work that needs their
    // overrides.
    virtual void Init() {}

    // The result of one host call: selectors 0 to 5 reach their operation, others are bad parameters.
    // For About the host passes its about record through the record pointer.
    OSErr Dispatch(std::int16_t selector, void* record);

    const std::string& AboutCaption() const { return m_aboutCaption; }
    const std::string& AboutText() const { return m_aboutText; }
    void SetAboutCaption(std::string caption) { m_aboutCaption = std::move(caption); }
    void SetAboutText(std::string text) { m_aboutText = std::move(text); }

protected:
    // The host's window from a record's platform data; 0 when there is none.
    static std::intptr_t OwnerWindow(const void* platformData);

private:
    std::string m_aboutCaption = "About";
    std::string m_aboutText;
};
