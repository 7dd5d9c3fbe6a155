#pragma once
// The property list that tells a host how to list and call the filter, in the published byte layout
// for little-endian platforms: a 16-bit 1, a 32-bit version 0, a 32-bit property count, then per property
// the vendor code, the key (both four-character codes stored as little-endian integers, so "8BIM" reads
// "MIB8"), identifier 0, the data length, and the data padded to four bytes. Built at compile time and
// placed in its own ELF section so a host can read it without running the library.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pipl_detail {

class TPiPLWriter
{
public:
    static constexpr std::size_t kCapacity = 256;

    constexpr void Int16(std::int16_t value)
    {
        for (int i = 0; i < 2; ++i)
            Byte(static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) >> (8 * i)));
    }
    constexpr void Int32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            Byte(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    // A four-character code as the integer a big-endian reading of its characters gives.
    constexpr void Code(std::string_view code)
    {
        Int32(std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
              std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint32_t(std::uint8_t(code[3])));
    }
    constexpr void Property(std::string_view key, std::size_t length)
    {
        Code("8BIM");
        Code(key);
        Int32(0);
        Int32(static_cast<std::uint32_t>(length));
    }
    constexpr void Bytes(std::string_view bytes)
    {
        for (char c : bytes)
            Byte(static_cast<std::uint8_t>(c));
    }
    constexpr void Pad()
    {
        while ((m_size - m_dataStart) % 4 != 0)
            Byte(0);
    }
    constexpr void MarkData() { m_dataStart = m_size; }

    constexpr void PascalProperty(std::string_view key, std::string_view text)
    {
        Property(key, 1 + text.size());
        MarkData();
        Byte(static_cast<std::uint8_t>(text.size()));
        Bytes(text);
        Pad();
    }
    constexpr void CStringProperty(std::string_view key, std::string_view text)
    {
        Property(key, text.size() + 1);
        MarkData();
        Bytes(text);
        Byte(0);
        Pad();
    }
    constexpr void Byte(std::uint8_t value) { m_bytes[m_size++] = value; }

    std::array<std::uint8_t, kCapacity> m_bytes{};
    std::size_t m_size = 0;
    std::size_t m_dataStart = 0;
};

// Input handling, output handling, flags 1, flags 2 for the seven filter cases in the host's order.
// Flags 1: 1 = the host need not copy source to destination, 2 = works with blank data, 4 = filters
// the layer mask, 8 = writes outside the selection.
constexpr std::uint8_t kFilterCases[7][4] = {
    {1, 1, 7, 0},  // flat image, no selection
    {1, 1, 15, 0}, // flat image with selection
    {1, 1, 15, 0}, // floating selection
    {1, 1, 7, 0},  // editable transparency, no selection
    {1, 1, 15, 0}, // editable transparency with selection
    {1, 1, 7, 0},  // protected transparency, no selection
    {1, 1, 15, 0}, // protected transparency with selection
};

constexpr TPiPLWriter WriteVelmoraPiPL()
{
    TPiPLWriter w;
    w.Int16(1);
    w.Int32(0);
    w.Int32(8);

    w.Property("kind", 4);
    w.Code("8BFM");
    w.PascalProperty("name", "Velmora...");
    w.PascalProperty("catg", "Brellix");
    w.Property("vers", 4);
    w.Int32(2u << 16 | 5u);
    w.CStringProperty("wx86", "ENTRYPOINT");
    // Sixteen mode flags, most significant bit first: bitmap, grey scale, indexed, RGB, ...
    w.Property("mode", 4);
    w.Bytes(std::string_view("\x10\0\0\0", 4));
    w.CStringProperty("enbl", "in (PSHOP_ImageMode,RGBMode)");
    w.Property("fici", sizeof kFilterCases);
    for (const auto& filterCase : kFilterCases)
        for (std::uint8_t value : filterCase)
            w.Byte(value);
    return w;
}

} // namespace pipl_detail

inline constexpr std::size_t kVelmoraPiPLSize = pipl_detail::WriteVelmoraPiPL().m_size;

constexpr std::array<std::uint8_t, kVelmoraPiPLSize> VelmoraPiPLBytes()
{
    const pipl_detail::TPiPLWriter w = pipl_detail::WriteVelmoraPiPL();
    std::array<std::uint8_t, kVelmoraPiPLSize> bytes{};
    for (std::size_t i = 0; i < kVelmoraPiPLSize; ++i)
        bytes[i] = w.m_bytes[i];
    return bytes;
}

static_assert(kVelmoraPiPLSize == 242,
              "10 header bytes and eight properties of 20, 28, 24, 20, 28, 20, 48, 44");
