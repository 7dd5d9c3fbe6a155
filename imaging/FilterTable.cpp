#include "imaging/FilterTable.h"

#include <cmath>
#include <numbers>

namespace {

double Box(double)
{
    return 1;
}

double Triangle(double x)
{
    return x < 1 ? 1 - x : 0;
}

double Hermite(double x)
{
    return x < 1 ? (2 * x - 3) * x * x + 1 : 0;
}

double Bell(double x)
{
    if (x < 0.5)
        return 0.75 - x * x;
    if (x < 1.5)
        return 0.5 * (x - 1.5) * (x - 1.5);
    return 0;
}

double BSpline(double x)
{
    if (x < 1)
        return x * x * x / 2 - x * x + 2.0 / 3;
    if (x < 2)
        return (2 - x) * (2 - x) * (2 - x) / 6;
    return 0;
}

double Mitchell(double x)
{
    if (x < 1)
        return 7.0 / 6 * x * x * x - 2 * x * x + 8.0 / 9;
    if (x < 2)
        return -7.0 / 18 * x * x * x + 2 * x * x - 10.0 / 3 * x + 16.0 / 9;
    return 0;
}

double Lanczos3(double x)
{
    if (x == 0)
        return 1;
    if (x >= 3)
        return 0;
    const double px = std::numbers::pi * x;
    return std::sin(px) * std::sin(px / 3) / (px * px / 3);
}

} // namespace

const std::array<TResamplingFilter, 7> kResamplingFilters = {{
    {"No (quickest)", 0, &Box},
    {"Triangle (quick)", 1, &Triangle},
    {"Hermite", 1, &Hermite},
    {"Bell", 1.5, &Bell},
    {"B-Spline", 2, &BSpline},
    {"Mitchell", 2, &Mitchell},
    {"Lanczos3 (slow)", 3, &Lanczos3},
}};
