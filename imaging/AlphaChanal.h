#pragma once
// The alpha channel of a stored object: a byte matrix indexed [x][y] (0 transparent ... 255 opaque)
// with the margins that leave room to turn the object about its centre. Owned by the object that
// uses it; its file form is a small text, compressed in the collection.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TAlphaChanal
{
public:
    // Channels larger than this are refused when read, so a damaged file cannot ask for absurd memory.
    static constexpr int kMaxSide = 32767;
    static constexpr std::size_t kMaxArea = std::size_t(1) << 28;

    // A new zero matrix; false (and an empty channel) for a negative or too large size.
    bool SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int MarginX() const { return m_marginX; }
    int MarginY() const { return m_marginY; }

    // 0 outside the matrix.
    std::uint8_t Value(int x, int y) const;
    void SetValue(int x, int y, std::uint8_t value);
    void Clear();
    void Smooth();
    void ComputeMargins();

    // Version 2 text, margins computed first; lines end with "\r\n".
    std::string SaveToText();
    // Reads version 1 or 2 (or the header of any other version) and enlarges the channel by its
    // margins. False for malformed or implausible text; the channel is then empty.
    bool LoadFromText(std::string_view text);

    // The text form in a plain file; the file is replaced only once the new one is complete.
    bool SaveToFile(const std::string& path);
    bool LoadFromFile(const std::string& path);
    // The text form as one zlib stream at level 9: the ".alp" file of a stored object.
    bool SaveCompressed(const std::string& path);
    // False for a missing file, a damaged stream or text LoadFromText refuses.
    bool LoadCompressed(const std::string& path);

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }
    // Places the current data at (marginX, marginY) inside a matrix enlarged by twice the margins.
    void ApplyMargins();

    int m_width = 0;
    int m_height = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    std::vector<std::uint8_t> m_values;
};
