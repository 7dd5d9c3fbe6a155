#pragma once
// The preview of one stored item: up to 255 x 255 pixels (72 x 72 for every item the program writes)
// and the item's kind. The thumbnail list owns the thumbnails it holds.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TThumbnail
{
public:
    static constexpr std::uint8_t kCutout = 1;
    static constexpr std::uint8_t kPicture = 2;
    static constexpr int kSize = 72;

    // A valid thumbnail of black pixels.
    TThumbnail(int width, std::uint8_t kind, int height);
    // Reads folder/name.tmb. A missing, short or unknown-kind file gives an invalid thumbnail.
    static TThumbnail CreateFromFile(const std::filesystem::path& folder, const std::string& name);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    std::uint8_t Kind() const { return m_kind; }
    bool Valid() const { return m_valid; }
    const std::string& Name() const { return m_name; }

    void Checkerboard();
    // Packed colour (red * 65536 + green * 256 + blue); black for an invalid thumbnail or outside.
    std::uint32_t PixelAt(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t packedColor);
    // Writes folder/name.tmb and remembers the name.
    bool SaveToFile(const std::filesystem::path& folder, const std::string& name);

private:
    TThumbnail() = default;
    std::size_t Index(int x, int y) const
    {
        return (std::size_t(x) * std::size_t(m_height) + std::size_t(y)) * 3;
    }

    int m_width = 0;
    int m_height = 0;
    std::string m_name;
    std::uint8_t m_kind = 0;
    // Blue, green, red per pixel, column by column.
    std::vector<std::uint8_t> m_pixels;
    bool m_valid = false;
};
