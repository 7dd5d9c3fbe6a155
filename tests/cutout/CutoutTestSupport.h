#pragma once
// Pixel buffers with literal colours for the cutout tests.

#include "imaging/QpPixels.h"

#include <cstdint>
#include <memory>
#include <ostream>

struct TTestBgr
{
    std::uint8_t Blue, Green, Red;
    friend bool operator==(const TTestBgr&, const TTestBgr&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const TTestBgr& c)
{
    return out << "(" << int(c.Blue) << "," << int(c.Green) << "," << int(c.Red) << ")";
}

inline std::ostream& operator<<(std::ostream& out, const TQpRect& r)
{
    return out << "(" << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << ")";
}

inline std::unique_ptr<TQpPixelBuffer> MakePixels(int width, int height, TTestBgr fill = {0, 0, 0})
{
    auto pixels = std::make_unique<TQpPixelBuffer>();
    pixels->SetFormatAndBounds(pfBGR24, {0, 0, width, height});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = pixels->PixelPtr(x, y);
            p[0] = fill.Blue;
            p[1] = fill.Green;
            p[2] = fill.Red;
        }
    return pixels;
}

inline void PutPixel(TQpPixels& pixels, int x, int y, TTestBgr c)
{
    std::uint8_t* p = pixels.PixelPtr(x, y);
    p[0] = c.Blue;
    p[1] = c.Green;
    p[2] = c.Red;
}

inline void PutGrey(TQpPixels& pixels, int x, int y, std::uint8_t v)
{
    PutPixel(pixels, x, y, {v, v, v});
}
