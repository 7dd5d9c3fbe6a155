#include "platform/ImageLimits.h"

#include "imaging/QpPixels.h"
#include "platform/ImageCodec.h"

#include <atomic>
#include <fstream>
#include <limits>
#include <sstream>

namespace platform {

namespace {

std::atomic<std::uint64_t> g_fakeAvailable{0};

std::string Megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

} // namespace

std::uint64_t AvailableMemory()
{
    if (const std::uint64_t fake = g_fakeAvailable.load())
        return fake;
    std::ifstream file("/proc/meminfo");
    std::string key;
    std::uint64_t value = 0, available = 0, swap = 0;
    bool found = false;
    std::string unit;
    while (file >> key >> value) {
        std::getline(file, unit);
        if (key == "MemAvailable:") {
            available = value * 1024;
            found = true;
        } else if (key == "SwapFree:") {
            swap = value * 1024;
        }
    }
    return found ? available + swap : std::numeric_limits<std::uint64_t>::max();
}

void SetAvailableMemoryForTesting(std::uint64_t bytes)
{
    g_fakeAvailable = bytes;
}

std::string RefuseImageSize(std::int64_t width, std::int64_t height, int copies)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width < 1 || height < 1)
        return size + " is no image";
    if (width > kMaxImageSide || height > kMaxImageSide)
        return size + " is larger than " + std::to_string(kMaxImageSide) + " pixels per side";
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > TImageCodec::MaxPixelCount())
        return size + " is more than the " + std::to_string(TImageCodec::MaxPixelCount()) +
               " pixels this program handles";
    // Rows are padded to four bytes; each copy is one such buffer.
    const std::uint64_t row = (static_cast<std::uint64_t>(width) * 3 + 3) / 4 * 4;
    const std::uint64_t needed =
        row * static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(copies);
    const std::uint64_t available = AvailableMemory();
    if (needed > available)
        return size + " would need " + Megabytes(needed) + " of memory, but only " + Megabytes(available) +
               " are free";
    return {};
}

} // namespace platform
