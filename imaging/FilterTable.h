#pragma once
// The resampling filters a user can pick (free rotation, compositing of stored objects): in table order,
// each with its support radius in pixels and its weight at a distance x >= 0.

#include <array>

struct TResamplingFilter
{
    const char* Name;
    double Support;
    double (*Weight)(double x);
};

extern const std::array<TResamplingFilter, 7> kResamplingFilters;
