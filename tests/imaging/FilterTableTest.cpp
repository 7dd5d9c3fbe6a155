// The seven resampling filters: names in table order, supports, and each weight formula at its
// characteristic points, continuous where its pieces meet.

#include "imaging/FilterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(FilterTable, NamesSupportsAndWeights)
{
    struct TCase
    {
        const char* Name;
        double Support;
        double X;
        double Weight;
    };
    const TCase cases[] = {
        {"No (quickest)", 0, 0.7, 1},
        {"Triangle (quick)", 1, 0.25, 0.75},
        {"Hermite", 1, 0.5, 0.5},
        {"Bell", 1.5, 1.0, 0.125},
        {"B-Spline", 2, 1.0, 1.0 / 6},
        {"Mitchell", 2, 1.0, 1.0 / 18},
        {"Lanczos3 (slow)", 3, 0.5, 0.5 / (M_PI * M_PI * 0.25 / 3)},
    };
    ASSERT_EQ(kResamplingFilters.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TResamplingFilter& filter = kResamplingFilters[i];
        const TCase& c = cases[i];
        EXPECT_EQ(std::string(filter.Name), c.Name);
        EXPECT_EQ(filter.Support, c.Support) << c.Name;
        EXPECT_NEAR(filter.Weight(c.X), c.Weight, 1e-12) << c.Name;
        if (filter.Support > 0) {
            EXPECT_EQ(filter.Weight(filter.Support), 0) << c.Name << " ends at its support";
            EXPECT_NEAR(filter.Weight(filter.Support - 1e-9), 0, 1e-6) << c.Name << " reaches 0 smoothly";
        }
    }
    EXPECT_EQ(kResamplingFilters[6].Weight(0), 1);
    EXPECT_NEAR(kResamplingFilters[3].Weight(0.5 - 1e-12), kResamplingFilters[3].Weight(0.5 + 1e-12), 1e-9);
    EXPECT_NEAR(kResamplingFilters[5].Weight(1 - 1e-12), kResamplingFilters[5].Weight(1 + 1e-12), 1e-9);
}

} // namespace
