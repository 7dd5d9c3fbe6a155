#pragma once
// The filter that hands the host's image to the program: writes the filter rectangle into a transfer
// block file, starts the program on it, waits while pumping the host's events, and copies the result
// back when the program accepted it. Owns nothing between host calls; the block file never outlives Start.

#include "bridge/TransferBlock.h"
#include "plugin/PhotoshopFilter.h"

#include <string>

class TExternalPhotoshopFilter : public TPhotoshopFilter
{
public:
    TExternalPhotoshopFilter(std::string programPath, std::string aboutText, std::string aboutCaption);

    OSErr Start(FilterRecord* record) override;

    const std::string& ProgramPath() const { return m_programPath; }
    const std::string& WorkingFolder() const { return m_workingFolder; }
    // Called while the program runs; without a pump, or when it finds nothing to do, the wait sleeps
    // 10 ms between looks at the program.
    void SetEventPump(TEventPump pump, void* context);

private:
    enum class TRunOutcome
    {
        NotStarted,
        Accepted, // exited normally with code 0
        Other     // any other exit code, a signal, or an exit status that could not be collected
    };

    // Writes the block; false when the file cannot be sized or mapped.
    static bool WriteBlock(const std::string& path, const TTransferDescriptor& descriptor,
                           const void* pixels);
    TRunOutcome RunProgram(const std::string& blockPath, int& errorNumber);
    // Copies the result into the host's output; the host's result code.
    static OSErr ReadResult(const std::string& path, const TTransferDescriptor& sent, FilterRecord& record,
                            std::intptr_t owner);

    std::string m_programPath;
    std::string m_workingFolder;
    TEventPump m_eventPump = nullptr;
    void* m_eventPumpContext = nullptr;
};

// A new empty file "PSPF<unique>.tmp" in the user's temporary folder ($TMPDIR, else /tmp); empty when
// none can be created.
std::string CreateTransferFileName();
