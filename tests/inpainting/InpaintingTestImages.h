#pragma once
// Small pfBGR24 images for the inpainting tests, written and read as (red, green, blue).

#include "imaging/QpPixels.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>

struct TRgb
{
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    friend bool operator==(const TRgb&, const TRgb&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const TRgb& c)
{
    return out << "(" << c.Red << ", " << c.Green << ", " << c.Blue << ")";
}

inline void MakeImage(TQpPixelBuffer& image, int width, int height,
                      const std::function<TRgb(int x, int y)>& colour)
{
    ASSERT_TRUE(image.SetFormatAndBounds(pfBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TRgb c = colour(x, y);
            std::uint8_t* p = image.PixelPtr(x, y);
            p[0] = static_cast<std::uint8_t>(c.Blue);
            p[1] = static_cast<std::uint8_t>(c.Green);
            p[2] = static_cast<std::uint8_t>(c.Red);
        }
    }
}

inline void SetRgb(TQpPixels& image, int x, int y, TRgb c)
{
    std::uint8_t* p = image.PixelPtr(x, y);
    p[0] = static_cast<std::uint8_t>(c.Blue);
    p[1] = static_cast<std::uint8_t>(c.Green);
    p[2] = static_cast<std::uint8_t>(c.Red);
}

inline TRgb GetRgb(const TQpPixels& image, int x, int y)
{
    const std::uint8_t* p = image.PixelPtr(x, y);
    return {p[2], p[1], p[0]};
}

inline TRgb Grey(int v)
{
    return {v, v, v};
}

inline void CopyImage(const TQpPixels& from, TQpPixelBuffer& to)
{
    ASSERT_TRUE(to.SetFormatAndBounds(pfBGR24, from.GetBounds()));
    to.CopyFrom(from);
}
