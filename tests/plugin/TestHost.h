#pragma once
// A small filter host for the tests: loads a private copy of VelmoraPlugin.8bf with dlopen, reads its
// property list from the ELF file, holds an RGB image (source and destination, each allocated to end
// right after the last pixel so a read or write past it is caught), fills the filter record and answers
// advanceState the way a host does.

#include "plugin/HostInterface.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct TMessage
{
    std::intptr_t Owner;
    std::string Text;
    std::string Caption;
    int Icon;
};

// The bytes of a named section of an ELF file; empty when the file or the section is missing.
std::vector<std::uint8_t> ReadElfSection(const std::string& path, const std::string& name);

class TPluginModule
{
public:
    // Copies the library to `copyPath` first: every test gets a load of its own, which reads the
    // registry files anew.
    TPluginModule(const std::string& library, const std::filesystem::path& copyPath);
    ~TPluginModule();
    TPluginModule(const TPluginModule&) = delete;
    TPluginModule& operator=(const TPluginModule&) = delete;

    bool IsLoaded() const { return m_handle != nullptr; }
    void* Symbol(const char* name) const;
    // Calls the entry point; the result starts as a value the plug-in must overwrite.
    std::int16_t Call(std::int16_t selector, void* record) const;

    std::string LoadError;
    std::vector<TMessage> Messages;
    int PumpCalls = 0;

private:
    void* m_handle = nullptr;
    TPluginEntry m_entry = nullptr;
};

struct THostImage
{
    int Width = 0;
    int Height = 0;
    int Planes = 3;
    int RowBytes = 0;
    std::vector<std::uint8_t> Bytes;

    THostImage(int width, int height, int planes, int rowBytes);
    std::size_t Offset(int x, int y) const
    {
        return static_cast<std::size_t>(y) * RowBytes + static_cast<std::size_t>(x) * Planes;
    }
};

class TTestHost
{
public:
    TTestHost(int width, int height, int planes, int rowBytes, Rect filterRect);

    // Runs one selector; after a successful Start the destination holds the result.
    std::int16_t Run(const TPluginModule& module, std::int16_t selector);

    THostImage Source;
    THostImage Destination;
    FilterRecord Record{};
    PlatformData Window{0x5150};
    bool FailInput = false;
    bool FailOutput = false;
    int InputRequests = 0;
    int OutputRequests = 0;

private:
    static OSErr AdvanceState();
};
