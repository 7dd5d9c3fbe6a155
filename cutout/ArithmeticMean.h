#pragma once
// The separable box mean behind the blur effect: grid A holds the colours to average and, after Compute,
// their means; grid B is the intermediate of the first pass. Both are [x][y] grids of blue, green, red
// floats. Owned by the marked region.

#include "imaging/HugePageAllocator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class IProgressMeter;

class TArithmeticMean
{
public:
    // False (and an empty grid) when width x height entries cannot be held.
    bool SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Packed colour: red * 65536 + green * 256 + blue.
    void Set(int x, int y, std::uint32_t packedColor)
    {
        float* entry = &m_a[Index(x, y)];
        entry[0] = static_cast<float>(packedColor & 0xFF);
        entry[1] = static_cast<float>((packedColor >> 8) & 0xFF);
        entry[2] = static_cast<float>((packedColor >> 16) & 0xFF);
    }
    // Blue, green, red of the mean at (x, y), each clamped to 0..255 and rounded.
    void Get(int x, int y, std::uint8_t bgr[3]) const;

    // Mean over the window of 2 * radius + 1 entries in each direction, clipped at the borders. Reports
    // width + height steps to the meter when one is set.
    void Compute(int radius);

    void SetProgressMeter(IProgressMeter* meter) { m_meter = meter; }

private:
    std::size_t Index(int x, int y) const
    {
        return (static_cast<std::size_t>(x) * static_cast<std::size_t>(m_height) +
                static_cast<std::size_t>(y)) *
               3;
    }
    void ColumnPass(std::ptrdiff_t radius);
    void RowPass(std::ptrdiff_t radius);

    THugeVector<float> m_a;
    THugeVector<float> m_b;
    int m_width = 0;
    int m_height = 0;
    IProgressMeter* m_meter = nullptr; // not owned
};
