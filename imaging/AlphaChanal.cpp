#include "imaging/AlphaChanal.h"

#include "imaging/ThumbnailFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Whitespace-separated decimal integers; a malformed number or the end of the text stops the reading.
class TNumberReader
{
public:
    explicit TNumberReader(std::string_view text) : m_text(text) {}

    bool Next(long long& value)
    {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) {
            ++m_pos;
        }
        const char* first = m_text.data() + m_pos;
        const char* last = m_text.data() + m_text.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || (end != last && !IsSpace(*end))) {
            return false;
        }
        m_pos += std::size_t(end - first);
        return true;
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool SizeAllowed(long long width, long long height)
{
    return width >= 0 && height >= 0 && width <= TAlphaChanal::kMaxSide && height <= TAlphaChanal::kMaxSide &&
           std::size_t(width) * std::size_t(height) <= TAlphaChanal::kMaxArea;
}

} // namespace

bool TAlphaChanal::SetSize(int width, int height)
{
    m_values.clear();
    m_width = 0;
    m_height = 0;
    if (!SizeAllowed(width, height)) {
        return false;
    }
    m_values.assign(std::size_t(width) * std::size_t(height), 0);
    m_width = width;
    m_height = height;
    return true;
}

std::uint8_t TAlphaChanal::Value(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return 0;
    }
    return m_values[Index(x, y)];
}

void TAlphaChanal::SetValue(int x, int y, std::uint8_t value)
{
    if (x >= 0 && y >= 0 && x < m_width && y < m_height) {
        m_values[Index(x, y)] = value;
    }
}

void TAlphaChanal::Clear()
{
    std::fill(m_values.begin(), m_values.end(), std::uint8_t(0));
}

void TAlphaChanal::Smooth()
{
    const std::vector<std::uint8_t> copy = m_values;
    const auto at = [&](int x, int y) { return int(copy[Index(x, y)]); };
    for (int x = 0; x < m_width; ++x) {
        for (int y = 0; y < m_height; ++y) {
            int sum = at(x, y);
            sum += x > 0 ? at(x - 1, y) : 0;
            sum += x + 1 < m_width ? at(x + 1, y) : 0;
            sum += y > 0 ? at(x, y - 1) : 0;
            sum += y + 1 < m_height ? at(x, y + 1) : 0;
            // Border pixels are divided by 5 too: the edge of a matte fades even at the channel's rim.
            m_values[Index(x, y)] = std::uint8_t(std::nearbyint(sum / 5.0));
        }
    }
}

void TAlphaChanal::ComputeMargins()
{
    const double cx = (m_width - 1) / 2.0;
    const double cy = (m_height - 1) / 2.0;
    double largest = -1.0;
    for (int x = 0; x < m_width; ++x) {
        for (int y = 0; y < m_height; ++y) {
            if (m_values[Index(x, y)] != 0) {
                largest = std::max(largest, (x - cx) * (x - cx) + (y - cy) * (y - cy));
            }
        }
    }
    // No room is needed for an empty channel, and never less than none when the opaque part lies
    // well inside: a negative margin would shrink the matrix under its own data.
    if (largest < 0.0) {
        m_marginX = 0;
        m_marginY = 0;
        return;
    }
    const double d = std::sqrt(largest);
    m_marginX = std::max(0, -int(std::floor(cx - d)));
    m_marginY = std::max(0, -int(std::floor(cy - d)));
}

std::string TAlphaChanal::SaveToText()
{
    ComputeMargins();
    std::string text;
    text.reserve(32 + m_values.size() * 4 + std::size_t(m_width) * 2);
    for (const int header : {2, m_marginX, m_marginY, m_width, m_height}) {
        text += std::to_string(header);
        text += "\r\n";
    }
    for (int x = 0; x < m_width; ++x) {
        for (int y = 0; y < m_height; ++y) {
            text += std::to_string(int(m_values[Index(x, y)]));
            text += ' ';
        }
        text += "\r\n";
    }
    return text;
}

bool TAlphaChanal::LoadFromText(std::string_view text)
{
    const int oldMarginX = m_marginX;
    const int oldMarginY = m_marginY;
    SetSize(0, 0);
    m_marginX = 0;
    m_marginY = 0;

    TNumberReader reader(text);
    long long version = 0;
    long long marginX = 0;
    long long marginY = 0;
    long long width = 0;
    long long height = 0;
    if (!reader.Next(version)) {
        return false;
    }
    if (version == 2 && !(reader.Next(marginX) && reader.Next(marginY))) {
        return false;
    }
    if (!reader.Next(width) || !reader.Next(height) || !SizeAllowed(width, height)) {
        return false;
    }
    if (version != 1 && version != 2) {
        marginX = oldMarginX;
        marginY = oldMarginY;
    }
    if (marginX < 0 || marginY < 0 || marginX > width + height || marginY > width + height ||
        !SizeAllowed(width + 2 * marginX, height + 2 * marginY)) {
        return false;
    }
    SetSize(int(width), int(height));
    if (version == 1 || version == 2) {
        for (std::uint8_t& value : m_values) {
            long long v = 0;
            if (!reader.Next(v)) {
                SetSize(0, 0);
                return false;
            }
            value = std::uint8_t(std::clamp(v, 0LL, 255LL));
        }
    }
    if (version == 1) {
        ComputeMargins();
    } else {
        m_marginX = int(marginX);
        m_marginY = int(marginY);
    }
    if (!SizeAllowed(width + 2LL * m_marginX, height + 2LL * m_marginY)) {
        SetSize(0, 0);
        m_marginX = 0;
        m_marginY = 0;
        return false;
    }
    ApplyMargins();
    return true;
}

void TAlphaChanal::ApplyMargins()
{
    if (m_marginX == 0 && m_marginY == 0) {
        return;
    }
    const int oldWidth = m_width;
    const int oldHeight = m_height;
    const std::vector<std::uint8_t> old = std::move(m_values);
    SetSize(oldWidth + 2 * m_marginX, oldHeight + 2 * m_marginY);
    for (int x = 0; x < oldWidth; ++x) {
        std::copy_n(old.begin() + std::ptrdiff_t(std::size_t(x) * std::size_t(oldHeight)), oldHeight,
                    m_values.begin() + std::ptrdiff_t(Index(x + m_marginX, m_marginY)));
    }
}

bool TAlphaChanal::SaveToFile(const std::string& path)
{
    const std::string text = SaveToText();
    return WriteFileReplacing(path, text.data(), text.size());
}

bool TAlphaChanal::LoadFromFile(const std::string& path)
{
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        SetSize(0, 0);
        return false;
    }
    return LoadFromText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

bool TAlphaChanal::SaveCompressed(const std::string& path)
{
    const auto packed = CompressBytes(SaveToText());
    return packed && WriteFileReplacing(path, packed->data(), packed->size());
}

bool TAlphaChanal::LoadCompressed(const std::string& path)
{
    // Compressed alpha files are far smaller than this; anything larger is not one of ours.
    constexpr std::size_t kMaxCompressedSize = std::size_t(256) << 20;
    const auto packed = ReadWholeFile(path, kMaxCompressedSize);
    const auto text = packed ? DecompressBytes(*packed) : std::nullopt;
    if (!text) {
        SetSize(0, 0);
        return false;
    }
    return LoadFromText(*text);
}
