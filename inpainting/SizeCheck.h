#pragma once
// Products of pixel dimensions, checked before anything is allocated from them.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

// width x height for non-negative sides; throws std::bad_array_new_length when the product cannot be held.
inline std::size_t CheckedArea(std::int32_t width, std::int32_t height)
{
    if (width < 0 || height < 0)
        throw std::bad_array_new_length();
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    if (h != 0 && w > std::numeric_limits<std::size_t>::max() / h)
        throw std::bad_array_new_length();
    return w * h;
}
