#pragma once
// The part of the host's published filter plug-in interface this plug-in uses: the records the host
// passes to the entry point, in the field order and with the types the published declarations give
// them, laid out naturally for a 64-bit Linux build. The filter record continues past advanceState in
// the host; nothing after it is read or written here.

#include <cstddef>
#include <cstdint>

using Boolean = std::uint8_t;
using OSErr = std::int16_t;
using OSType = std::uint32_t;
using Fixed = std::int32_t;

struct Point
{
    std::int16_t v;
    std::int16_t h;
};

struct Rect
{
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

struct RGBColor
{
    std::uint16_t red;
    std::uint16_t green;
    std::uint16_t blue;
};

using FilterColor = std::uint8_t[4];

struct PlugInMonitor
{
    Fixed gamma;
    Fixed redX;
    Fixed redY;
    Fixed greenX;
    Fixed greenY;
    Fixed blueX;
    Fixed blueY;
    Fixed whiteX;
    Fixed whiteY;
    Fixed ambient;
};

// What the platform data pointers of both records point at: the host's window.
struct PlatformData
{
    std::intptr_t hwnd;
};

using AdvanceStateProc = OSErr (*)();

struct FilterRecord
{
    std::int32_t serialNumber;
    void* abortProc;
    void* progressProc;
    void* parameters;
    Point imageSize;
    std::int16_t planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    std::int32_t maxSpace;
    std::int32_t bufferSpace;
    Rect inRect;
    std::int16_t inLoPlane;
    std::int16_t inHiPlane;
    Rect outRect;
    std::int16_t outLoPlane;
    std::int16_t outHiPlane;
    void* inData;
    std::int32_t inRowBytes;
    void* outData;
    std::int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    std::int32_t maskRowBytes;
    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;
    void* hostProc;
    std::int16_t imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    void* platformData;
    void* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    void* displayPixels;
    void* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    std::int16_t wantLayout;
    std::int16_t filterCase;
    std::int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
};

// Offsets worked out by hand from the field list; a mistyped field moves them.
static_assert(offsetof(FilterRecord, filterRect) == 38);
static_assert(offsetof(FilterRecord, inRect) == 68);
static_assert(offsetof(FilterRecord, inData) == 96);
static_assert(offsetof(FilterRecord, outData) == 112);
static_assert(offsetof(FilterRecord, maskRect) == 128);
static_assert(offsetof(FilterRecord, imageMode) == 168);
static_assert(offsetof(FilterRecord, platformData) == 232);
static_assert(offsetof(FilterRecord, advanceState) == 296);

struct AboutRecord
{
    void* platformData;
    void* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// Selectors of the entry point.
inline constexpr std::int16_t kSelectorAbout = 0;
inline constexpr std::int16_t kSelectorParameters = 1;
inline constexpr std::int16_t kSelectorPrepare = 2;
inline constexpr std::int16_t kSelectorStart = 3;
inline constexpr std::int16_t kSelectorContinue = 4;
inline constexpr std::int16_t kSelectorFinish = 5;

// Result codes the host understands.
inline constexpr OSErr kResultNoError = 0;
inline constexpr OSErr kResultFailed = -23;
inline constexpr OSErr kResultCancelled = -128;
inline constexpr OSErr kResultBadParameters = -30100;

inline constexpr std::int16_t kModeRgbColor = 3;

// The entry point's signature.
using TPluginEntry = void (*)(std::int16_t selector, FilterRecord* record, std::intptr_t* data,
                              std::int16_t* result);

// Hooks a host on Linux may give the plug-in through the library's extra exports.
// A message box: owner window, text, caption, icon (TMessageIcon), the context given with the handler.
using TMessageBoxHandler = void (*)(std::intptr_t owner, const char* text, const char* caption, int icon,
                                    void* context);
// Handles at most one pending host event; nonzero when it handled one.
using TEventPump = int (*)(void* context);
