#pragma once
// A 16-byte identifier as modules use it to mark their settings sections. Stored in its platform
// binary form: the 32-bit and the two 16-bit fields little-endian, then the eight bytes as they are.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

struct TQpGuid
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    static constexpr std::size_t kByteSize = 16;

    std::array<std::uint8_t, kByteSize> ToBytes() const;
    static TQpGuid FromBytes(const std::uint8_t* bytes);

    // Accepts "{7AF6D7FF-618B-41D9-882E-419D500DF28B}", braces optional, hex digits in either case.
    static constexpr std::optional<TQpGuid> Parse(std::string_view text);

    friend bool operator==(const TQpGuid&, const TQpGuid&) = default;
};

constexpr std::optional<TQpGuid> TQpGuid::Parse(std::string_view text)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        return std::nullopt;
    }
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::array<std::uint8_t, 16> digits{};
    std::size_t count = 0;
    int high = -1;
    for (const char c : text) {
        if (c == '-') {
            continue;
        }
        const int value = nibble(c);
        if (value < 0 || count >= digits.size()) {
            return std::nullopt;
        }
        if (high < 0) {
            high = value;
        } else {
            digits[count++] = static_cast<std::uint8_t>(high * 16 + value);
            high = -1;
        }
    }
    if (count != digits.size()) {
        return std::nullopt;
    }
    // The text names the fields most significant digit first.
    TQpGuid guid;
    guid.Data1 = (std::uint32_t{digits[0]} << 24) | (std::uint32_t{digits[1]} << 16) |
                 (std::uint32_t{digits[2]} << 8) | digits[3];
    guid.Data2 = static_cast<std::uint16_t>((digits[4] << 8) | digits[5]);
    guid.Data3 = static_cast<std::uint16_t>((digits[6] << 8) | digits[7]);
    for (std::size_t i = 0; i < 8; ++i) {
        guid.Data4[i] = digits[8 + i];
    }
    return guid;
}
