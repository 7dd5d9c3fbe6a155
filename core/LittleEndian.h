#pragma once
// Fixed little-endian fields of the records the program stores as binary blocks.

#include <cstddef>
#include <cstdint>

inline void StoreLE32(std::uint8_t* bytes, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

inline std::int32_t LoadLE32(const std::uint8_t* bytes)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= std::uint32_t{bytes[i]} << (8 * i);
    return static_cast<std::int32_t>(bits);
}
