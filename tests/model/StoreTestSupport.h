#pragma once
// Photos, results and folder listings shared by the tests of the stored-objects collection and of the
// separation tool's Store.

#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"
#include "imaging/QpPixels.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace storetest {

namespace fs = std::filesystem;

struct TQuietHost : ISeparationHost
{
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

using TIsObject = std::function<bool(int x, int y)>;

// A smooth gradient, so that JPEG keeps every colour within a few levels.
inline TBgr PhotoColor(int x, int y)
{
    return {std::uint8_t(40 + 3 * x), std::uint8_t(60 + 2 * y), std::uint8_t(200 - x - y)};
}

inline void FillPhoto(TQpPixelBuffer& photo, int width, int height)
{
    ASSERT_TRUE(photo.SetFormatAndBounds(pfBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TBgr c = PhotoColor(x, y);
            std::uint8_t* p = photo.PixelPtr(x, y);
            p[0] = c.Blue;
            p[1] = c.Green;
            p[2] = c.Red;
        }
}

// Marks every point as object or background and shows that as the result (4 and 5), the background
// filled white in the pixels, as the separation tool shows it.
inline void ShowResult(TMarkedRegion& region, TQpPixels& pixels, const TIsObject& isObject)
{
    ASSERT_TRUE(region.Attach(&pixels));
    ApplySeparationDisplayModes(region, TBackgroundEffect::Color);
    region.SetFillColor(0xFFFFFF);
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            region.SetLabel(x, y, isObject(x, y) ? kLabelObject : kLabelBackground);
    TQuietHost host;
    ASSERT_TRUE(ShowSeparationResult(region, TBackgroundEffect::Color, host));
    ASSERT_TRUE(region.HasLabel(kLabelResultObject));
    ASSERT_TRUE(region.HasLabel(kLabelResultBackground));
}

inline std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::uint8_t> Snapshot(const TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.Width) * 3;
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t* row = pixels.PixelPtr(0, y);
        bytes.insert(bytes.end(), row, row + rowBytes);
    }
    return bytes;
}

} // namespace storetest
