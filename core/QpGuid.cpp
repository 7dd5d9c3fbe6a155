#include "core/QpGuid.h"

std::array<std::uint8_t, TQpGuid::kByteSize> TQpGuid::ToBytes() const
{
    std::array<std::uint8_t, kByteSize> bytes{};
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(Data1 >> (8 * i));
    }
    for (int i = 0; i < 2; ++i) {
        bytes[4 + i] = static_cast<std::uint8_t>(Data2 >> (8 * i));
        bytes[6 + i] = static_cast<std::uint8_t>(Data3 >> (8 * i));
    }
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[8 + i] = Data4[i];
    }
    return bytes;
}

TQpGuid TQpGuid::FromBytes(const std::uint8_t* bytes)
{
    TQpGuid guid;
    guid.Data1 = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
                 (std::uint32_t{bytes[3]} << 24);
    guid.Data2 = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
    guid.Data3 = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    for (std::size_t i = 0; i < 8; ++i) {
        guid.Data4[i] = bytes[8 + i];
    }
    return guid;
}
