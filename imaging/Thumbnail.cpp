#include "imaging/Thumbnail.h"

#include "imaging/ThumbnailFiles.h"

#include <algorithm>

TThumbnail::TThumbnail(int width, std::uint8_t kind, int height)
    : m_width(std::clamp(width, 0, 255)), m_height(std::clamp(height, 0, 255)), m_kind(kind),
      m_pixels(std::size_t(m_width) * std::size_t(m_height) * 3, 0), m_valid(true)
{
}

TThumbnail TThumbnail::CreateFromFile(const std::filesystem::path& folder, const std::string& name)
{
    TThumbnail thumbnail;
    thumbnail.m_name = name;
    // The largest file a header can describe; anything longer is not a thumbnail.
    const auto bytes = ReadWholeFile(folder / (name + ".tmb"), 3 + 3 * 255 * 255 + 1);
    if (!bytes || bytes->size() < 3) {
        return thumbnail;
    }
    const std::vector<std::uint8_t>& b = *bytes;
    thumbnail.m_kind = b[0];
    const int width = b[1];
    const int height = b[2];
    const std::size_t needed = 3 + std::size_t(width) * std::size_t(height) * 3;
    if ((b[0] != kCutout && b[0] != kPicture) || width == 0 || height == 0 || b.size() < needed) {
        return thumbnail;
    }
    thumbnail.m_width = width;
    thumbnail.m_height = height;
    thumbnail.m_pixels.resize(needed - 3);
    // The file holds red, green, blue; memory holds blue, green, red.
    for (std::size_t i = 0; i + 2 < thumbnail.m_pixels.size(); i += 3) {
        thumbnail.m_pixels[i] = b[3 + i + 2];
        thumbnail.m_pixels[i + 1] = b[3 + i + 1];
        thumbnail.m_pixels[i + 2] = b[3 + i];
    }
    thumbnail.m_valid = true;
    return thumbnail;
}

void TThumbnail::Checkerboard()
{
    for (int x = 0; x < m_width; ++x) {
        for (int y = 0; y < m_height; ++y) {
            // Colour values 0xA9A9A9 and 0xFFFFFE (red in the low byte) as packed colours.
            SetPixel(x, y, (x / 4) % 2 == (y / 4) % 2 ? 0xA9A9A9u : 0xFEFFFFu);
        }
    }
}

std::uint32_t TThumbnail::PixelAt(int x, int y) const
{
    if (!m_valid || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return 0;
    }
    const std::uint8_t* p = &m_pixels[Index(x, y)];
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

void TThumbnail::SetPixel(int x, int y, std::uint32_t packedColor)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return;
    }
    std::uint8_t* p = &m_pixels[Index(x, y)];
    p[0] = std::uint8_t(packedColor);
    p[1] = std::uint8_t(packedColor >> 8);
    p[2] = std::uint8_t(packedColor >> 16);
}

bool TThumbnail::SaveToFile(const std::filesystem::path& folder, const std::string& name)
{
    m_name = name;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(3 + m_pixels.size());
    bytes.push_back(m_kind);
    bytes.push_back(std::uint8_t(m_width));
    bytes.push_back(std::uint8_t(m_height));
    for (std::size_t i = 0; i + 2 < m_pixels.size(); i += 3) {
        bytes.push_back(m_pixels[i + 2]);
        bytes.push_back(m_pixels[i + 1]);
        bytes.push_back(m_pixels[i]);
    }
    return WriteFileReplacing(folder / (name + ".tmb"), bytes.data(), bytes.size());
}
