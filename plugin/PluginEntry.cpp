// The library's exports: the host's entry point, the property list in its own ELF section, and the two
// hooks through which a Linux host supplies message boxes and its event pump. The one filter object
// lives from load to unload.

#include "plugin/ExternalPhotoshopFilter.h"
#include "plugin/HostInterface.h"
#include "plugin/MessageBox.h"
#include "plugin/PiPL.h"
#include "plugin/PluginRegistry.h"

#include <array>
#include <memory>

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::unique_ptr<TExternalPhotoshopFilter> g_filter;

__attribute__((constructor)) void CreateFilter()
{
    try {
        g_filter = std::make_unique<TExternalPhotoshopFilter>(
            ReadProgramPath(), "Velmora Plug-in\nVersion: 3.2.9\nCopyright (c) Brellix. All rights reserved.",
            "About Velmora Plug-in");
        g_filter->Init();
    } catch (...) {
        // Without a filter object every call answers bad parameters.
        g_filter.reset();
    }
}

} // namespace

// A host lists the filter by reading this section from the file, without loading the library.
VELMORA_EXPORT __attribute__((section(".pipl"), used)) const std::array<std::uint8_t, kVelmoraPiPLSize>
    VelmoraPiPL = VelmoraPiPLBytes();

VELMORA_EXPORT const std::uint32_t VelmoraPiPLSize = kVelmoraPiPLSize;

VELMORA_EXPORT void ENTRYPOINT(std::int16_t selector, FilterRecord* record, std::intptr_t* /*data*/,
                               std::int16_t* result)
{
    if (result == nullptr)
        return;
    *result = kResultBadParameters;
    if (!g_filter)
        return;
    try {
        *result = g_filter->Dispatch(selector, record);
    } catch (...) {
        // Nothing may unwind into the host.
        *result = kResultFailed;
    }
}

VELMORA_EXPORT void VelmoraSetMessageBoxHandler(TMessageBoxHandler handler, void* context)
{
    SetMessageBoxHandler(handler, context);
}

VELMORA_EXPORT void VelmoraSetEventPump(TEventPump pump, void* context)
{
    if (g_filter)
        g_filter->SetEventPump(pump, context);
}
