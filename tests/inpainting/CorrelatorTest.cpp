#include "inpainting/Correlator.h"

#include <gtest/gtest.h>

TEST(CorrelatorTest, CoefficientOfKnownData)
{
    TCorrelator correlator;
    const double x[] = {1, 2, 3, 4};
    const double y[] = {1, 3, 2, 4};
    for (int i = 0; i < 4; ++i)
        correlator.Add(x[i], y[i]);
    // n = 4, sums 10 and 10, sum xy = 29, squares 30 and 30: (116 - 100) / sqrt(20 * 20) = 0.8.
    EXPECT_DOUBLE_EQ(correlator.Coefficient(), 0.8);

    correlator.Clear();
    for (int i = 0; i < 4; ++i)
        correlator.Add(x[i], 10.0 - 2.0 * x[i]);
    EXPECT_DOUBLE_EQ(correlator.Coefficient(), -1.0);

    // A constant variable has no correlation: 0, not a division by zero.
    correlator.Clear();
    for (int i = 0; i < 4; ++i)
        correlator.Add(x[i], 7.0);
    EXPECT_EQ(correlator.Coefficient(), 0.0);
    correlator.Clear();
    EXPECT_EQ(correlator.Count(), 0);
    EXPECT_EQ(correlator.Coefficient(), 0.0);
}
