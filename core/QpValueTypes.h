#pragma once
// Value type codes shared by the settings data format and the property bags, so a value keeps its
// code when it passes from one to the other.

#include <cstdint>

constexpr std::uint32_t kQpTypeInt8 = 1; // also Boolean: 0 false, 1 true
constexpr std::uint32_t kQpTypeUInt8 = 2;
constexpr std::uint32_t kQpTypeInt16 = 3;
constexpr std::uint32_t kQpTypeUInt16 = 4;
constexpr std::uint32_t kQpTypeInt32 = 5;
constexpr std::uint32_t kQpTypeDouble = 10;
constexpr std::uint32_t kQpTypeByteString = 11;
constexpr std::uint32_t kQpTypeWideString = 12; // UTF-16LE code units, no terminator
constexpr std::uint32_t kQpTypeGuid = 13;       // TQpGuid in its binary form
constexpr std::uint32_t kQpTypeBinary = 14;     // raw record bytes
constexpr std::uint32_t kQpTypeInterface = 16;  // a counted reference, property bags only
