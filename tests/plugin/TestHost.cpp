#include "TestHost.h"

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>

namespace {

TTestHost* g_activeHost = nullptr;

void CollectMessage(std::intptr_t owner, const char* text, const char* caption, int icon, void* context)
{
    static_cast<TPluginModule*>(context)->Messages.push_back({owner, text, caption, icon});
}

int CountPump(void* context)
{
    ++static_cast<TPluginModule*>(context)->PumpCalls;
    return 0;
}

bool IsEmpty(const Rect& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

} // namespace

std::vector<std::uint8_t> ReadElfSection(const std::string& path, const std::string& name)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    Elf64_Ehdr header;
    if (file.size() < sizeof header)
        return {};
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shoff > file.size() ||
        (file.size() - header.e_shoff) / sizeof(Elf64_Shdr) < header.e_shnum ||
        header.e_shstrndx >= header.e_shnum)
        return {};
    auto section = [&](std::size_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, file.data() + header.e_shoff + index * sizeof s, sizeof s);
        return s;
    };
    const Elf64_Shdr names = section(header.e_shstrndx);
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr s = section(i);
        if (s.sh_name >= names.sh_size || names.sh_offset + names.sh_size > file.size())
            continue;
        const char* sectionName = reinterpret_cast<const char*>(file.data() + names.sh_offset + s.sh_name);
        const std::size_t room = names.sh_size - s.sh_name;
        if (strnlen(sectionName, room) == room || name != sectionName)
            continue;
        if (s.sh_type == SHT_NOBITS || s.sh_offset > file.size() || s.sh_size > file.size() - s.sh_offset)
            return {};
        return {file.begin() + static_cast<std::ptrdiff_t>(s.sh_offset),
                file.begin() + static_cast<std::ptrdiff_t>(s.sh_offset + s.sh_size)};
    }
    return {};
}

TPluginModule::TPluginModule(const std::string& library, const std::filesystem::path& copyPath)
{
    std::filesystem::copy_file(library, copyPath, std::filesystem::copy_options::overwrite_existing);
    m_handle = ::dlopen(copyPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* error = ::dlerror();
        LoadError = error != nullptr ? error : "dlopen failed";
        return;
    }
    m_entry = reinterpret_cast<TPluginEntry>(Symbol("ENTRYPOINT"));
    if (auto setHandler =
            reinterpret_cast<void (*)(TMessageBoxHandler, void*)>(Symbol("VelmoraSetMessageBoxHandler")))
        setHandler(&CollectMessage, this);
    if (auto setPump = reinterpret_cast<void (*)(TEventPump, void*)>(Symbol("VelmoraSetEventPump")))
        setPump(&CountPump, this);
}

TPluginModule::~TPluginModule()
{
    if (m_handle != nullptr)
        ::dlclose(m_handle);
}

void* TPluginModule::Symbol(const char* name) const
{
    return m_handle != nullptr ? ::dlsym(m_handle, name) : nullptr;
}

std::int16_t TPluginModule::Call(std::int16_t selector, void* record) const
{
    std::intptr_t data = 0;
    std::int16_t result = 12345;
    if (m_entry != nullptr)
        m_entry(selector, static_cast<FilterRecord*>(record), &data, &result);
    return result;
}

THostImage::THostImage(int width, int height, int planes, int rowBytes)
    : Width(width), Height(height), Planes(planes), RowBytes(rowBytes)
{
    // The last row ends right after its pixels, as a tightly allocated host buffer does.
    Bytes.resize(static_cast<std::size_t>(height - 1) * rowBytes + static_cast<std::size_t>(width) * planes);
    for (std::size_t i = 0; i < Bytes.size(); ++i)
        Bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
}

TTestHost::TTestHost(int width, int height, int planes, int rowBytes, Rect filterRect)
    : Source(width, height, planes, rowBytes), Destination(Source)
{
    Record.imageSize = {static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
    Record.wholeSize = Record.imageSize;
    Record.planes = static_cast<std::int16_t>(planes);
    Record.imageMode = kModeRgbColor;
    Record.filterRect = filterRect;
    Record.platformData = &Window;
    Record.advanceState = &TTestHost::AdvanceState;
}

std::int16_t TTestHost::Run(const TPluginModule& module, std::int16_t selector)
{
    g_activeHost = this;
    const std::int16_t result = module.Call(selector, &Record);
    g_activeHost = nullptr;
    return result;
}

OSErr TTestHost::AdvanceState()
{
    TTestHost& host = *g_activeHost;
    FilterRecord& r = host.Record;
    r.inData = nullptr;
    r.outData = nullptr;
    r.inRowBytes = 0;
    r.outRowBytes = 0;
    if (!IsEmpty(r.inRect)) {
        ++host.InputRequests;
        if (host.FailInput || r.inLoPlane != 0 || r.inHiPlane != host.Source.Planes - 1)
            return -1;
        r.inData = host.Source.Bytes.data() + host.Source.Offset(r.inRect.left, r.inRect.top);
        r.inRowBytes = host.Source.RowBytes;
    }
    if (!IsEmpty(r.outRect)) {
        ++host.OutputRequests;
        if (host.FailOutput || r.outLoPlane != 0 || r.outHiPlane != host.Destination.Planes - 1)
            return -1;
        r.outData = host.Destination.Bytes.data() + host.Destination.Offset(r.outRect.left, r.outRect.top);
        r.outRowBytes = host.Destination.RowBytes;
    }
    return 0;
}
