#pragma once
// A stored object in memory: a blue-green-red colour matrix indexed [x][y] with its alpha channel of
// the same size (margins included), and the flips and changed flag the paste tool works with. The
// paste tool owns one for its whole life and loads items into it.

#include "imaging/AlphaChanal.h"
#include "imaging/QpPixels.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TBGRWithAlpha
{
public:
    static constexpr int kEmptySize = 512;

    TBGRWithAlpha();

    // Loads an item of the folder by kind; every failure leaves the empty, fully transparent object.
    void Load(const std::filesystem::path& folder, const std::string& name, int kind);
    // name.alp (a zlib stream of the alpha text) and name.jpg; a missing or unreadable JPEG leaves
    // the colours black. False, with the empty object, when the alpha cannot be read.
    bool LoadCutout(const std::filesystem::path& folder, const std::string& name);
    // name.png; its alpha channel, or 255 where it has none. False, with the empty object, on failure.
    bool LoadPicture(const std::filesystem::path& folder, const std::string& name);
    void MakeEmpty();
    // The object as a truecolour-with-alpha PNG; the old file survives a failed write.
    bool SaveToPng(const std::filesystem::path& path) const;

    // Alpha and colour value (red in the low byte); (0, 0) outside.
    std::pair<int, std::uint32_t> Pixel(int x, int y) const;
    TQpRect GetBounds() const { return {0, 0, m_width, m_height}; }
    bool IsEmpty() const { return m_width == 0 && m_height == 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Changed() const { return m_changed; }
    bool FlipX() const { return m_flipX; }
    bool FlipY() const { return m_flipY; }
    void SetChanged(bool changed) { m_changed = changed; }
    void SetFlipX(bool flip) { m_flipX = flip; }
    void SetFlipY(bool flip) { m_flipY = flip; }
    // Black, fully transparent pixels; false (and an empty object) for an impossible size.
    bool SetSize(int width, int height);
    // Colour value (red in the low byte) and alpha of one pixel; ignored outside.
    void SetPixel(int x, int y, std::uint32_t colorValue, std::uint8_t alpha);

    TAlphaChanal& Alpha() { return *m_alpha; }
    const TAlphaChanal& Alpha() const { return *m_alpha; }

    // The object at (x, y) over a background colour value; quality 0 is nearest, 1 ... 6 a radial
    // Triangle, Hermite, Bell, B-spline, Mitchell or Lanczos3 filter. Returns a colour value.
    std::uint32_t Sample(double x, double y, int quality, std::uint32_t background) const;

private:
    std::size_t Index(int x, int y) const
    {
        return (std::size_t(x) * std::size_t(m_height) + std::size_t(y)) * 3;
    }

    int m_width = 0;
    int m_height = 0;
    bool m_changed = false;
    bool m_flipX = false;
    bool m_flipY = false;
    std::vector<std::uint8_t> m_colors;
    std::unique_ptr<TAlphaChanal> m_alpha;
};
