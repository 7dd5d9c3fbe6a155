// The polynomial basis, the singular value solver and the least-squares fits built on them. The solver
// is checked independently: reconstruction, orthogonality, singular values of hand-made matrices and
// solutions compared with the normal equations solved by Gaussian elimination in long double.

#include "inpainting/Approximation.h"
#include "inpainting/ApproximationBGR.h"
#include "inpainting/ArgumentTransfer.h"
#include "inpainting/GenLeastSq.h"
#include "inpainting/LSM2.h"
#include "inpainting/MinMisclosureSvd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<double> RandomMatrix(std::mt19937& random, std::size_t rows, std::size_t cols)
{
    std::uniform_real_distribution<double> value(-10.0, 10.0);
    std::vector<double> a(rows * cols);
    for (double& x : a)
        x = value(random);
    return a;
}

double MaxAbs(const std::vector<double>& a)
{
    double m = 0.0;
    for (const double x : a)
        m = std::max(m, std::fabs(x));
    return m;
}

std::vector<double> SortedDescending(std::vector<double> w)
{
    std::sort(w.begin(), w.end(), std::greater<>());
    return w;
}

// Gaussian elimination with partial pivoting in long double: a different route to the same solution.
std::vector<double> GaussSolve(std::size_t n, std::vector<long double> a, std::vector<long double> b)
{
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r) {
            if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col]))
                pivot = r;
        }
        for (std::size_t c = 0; c < n; ++c)
            std::swap(a[col * n + c], a[pivot * n + c]);
        std::swap(b[col], b[pivot]);
        for (std::size_t r = col + 1; r < n; ++r) {
            const long double f = a[r * n + col] / a[col * n + col];
            for (std::size_t c = col; c < n; ++c)
                a[r * n + c] -= f * a[col * n + c];
            b[r] -= f * b[col];
        }
    }
    std::vector<double> x(n);
    for (std::size_t i = n; i-- > 0;) {
        long double s = b[i];
        for (std::size_t c = i + 1; c < n; ++c)
            s -= a[i * n + c] * static_cast<long double>(x[c]);
        x[i] = static_cast<double>(s / a[i * n + i]);
    }
    return x;
}

} // namespace

TEST(ArgumentTransferTest, BasisCountsAndValuesPerOrder)
{
    const int counts[] = {1, 3, 4, 6, 8, 10};
    // At p = 2, q = 3: 1 | q, p | q p | q^2, p^2 | p q^2, q p^2 | q^3, p^3.
    const double values[] = {1, 3, 2, 6, 9, 4, 18, 12, 27, 8};
    for (int order = 0; order <= 5; ++order) {
        TArgumentTransfer transfer(order);
        ASSERT_EQ(transfer.BasisCount(), counts[order]) << "order " << order;
        transfer.Compute(2.0, 3.0);
        for (int i = 0; i < counts[order]; ++i)
            EXPECT_EQ(transfer.Values()[i], values[i]) << "order " << order << " function " << i;
    }
    // p and q are not interchangeable: order 1 at p = 5, q = 7 is (1, 7, 5).
    TArgumentTransfer linear(1);
    const double c[] = {10.0, 100.0, 1000.0};
    EXPECT_EQ(linear.Evaluate(c, 5.0, 7.0), 10.0 + 700.0 + 5000.0);
    // Orders outside 0-5 are held to the nearest one instead of outgrowing the basis.
    EXPECT_EQ(TArgumentTransfer(9).BasisCount(), 10);
    EXPECT_EQ(TArgumentTransfer(-1).BasisCount(), 1);
}

TEST(SvdTest, KnownSingularValuesOfHandMadeMatrices)
{
    struct TCase
    {
        std::size_t rows;
        std::size_t cols;
        std::vector<double> a;
        std::vector<double> singular; // descending
    };
    const TCase cases[] = {
        {2, 2, {3, 0, 0, -2}, {3, 2}},
        {2, 2, {1, 1, 1, 1}, {2, 0}},
        // A^T A = [[2, 1], [1, 2]] has eigenvalues 3 and 1.
        {3, 2, {1, 0, 0, 1, 1, 1}, {std::sqrt(3.0), 1}},
        // A rotation scaled by 5 has both singular values 5.
        {2, 2, {3, -4, 4, 3}, {5, 5}},
        {3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0}},
        // Rank one: the outer product of (1, 2, 2) and (2, 1) has the single value 3 * sqrt(5).
        {3, 2, {2, 1, 4, 2, 4, 2}, {3 * std::sqrt(5.0), 0}},
    };
    for (const TCase& c : cases) {
        TSvd svd;
        ASSERT_TRUE(SvdDecompose(c.rows, c.cols, c.a.data(), svd));
        const std::vector<double> w = SortedDescending(svd.W);
        for (std::size_t i = 0; i < w.size(); ++i) {
            EXPECT_GE(svd.W[i], 0.0);
            EXPECT_NEAR(w[i], c.singular[i], 1e-12) << c.rows << "x" << c.cols << " value " << i;
        }
    }
    TSvd wide;
    const double a[] = {1, 2, 3};
    EXPECT_FALSE(SvdDecompose(1, 3, a, wide)) << "fewer rows than columns is refused";
}

TEST(SvdTest, ReconstructsRandomMatricesWithOrthonormalFactors)
{
    std::mt19937 random(20261209);
    for (const auto& [rows, cols] :
         {std::pair<std::size_t, std::size_t>{1, 1}, {4, 4}, {6, 4}, {10, 10}, {30, 6}}) {
        for (int trial = 0; trial < 20; ++trial) {
            const std::vector<double> a = RandomMatrix(random, rows, cols);
            TSvd svd;
            ASSERT_TRUE(SvdDecompose(rows, cols, a.data(), svd));
            const double tolerance = 1e-12 * MaxAbs(a) * static_cast<double>(rows);
            for (std::size_t i = 0; i < rows; ++i) {
                for (std::size_t j = 0; j < cols; ++j) {
                    double sum = 0.0;
                    for (std::size_t k = 0; k < cols; ++k)
                        sum += svd.U[i * cols + k] * svd.W[k] * svd.V[j * cols + k];
                    ASSERT_NEAR(sum, a[i * cols + j], tolerance)
                        << rows << "x" << cols << " at " << i << "," << j;
                }
            }
            for (std::size_t p = 0; p < cols; ++p) {
                for (std::size_t q = 0; q < cols; ++q) {
                    double uu = 0.0;
                    double vv = 0.0;
                    double vvRows = 0.0;
                    for (std::size_t k = 0; k < rows; ++k)
                        uu += svd.U[k * cols + p] * svd.U[k * cols + q];
                    for (std::size_t k = 0; k < cols; ++k) {
                        vv += svd.V[k * cols + p] * svd.V[k * cols + q];
                        vvRows += svd.V[p * cols + k] * svd.V[q * cols + k];
                    }
                    const double expected = p == q ? 1.0 : 0.0;
                    ASSERT_NEAR(uu, expected, 1e-12);
                    ASSERT_NEAR(vv, expected, 1e-12);
                    ASSERT_NEAR(vvRows, expected, 1e-12);
                }
                EXPECT_GE(svd.W[p], 0.0);
            }
        }
    }
}

TEST(SvdTest, LeastSquaresMatchesNormalEquationsSolvedByElimination)
{
    std::mt19937 random(7);
    for (const auto& [rows, cols] : {std::pair<std::size_t, std::size_t>{3, 3}, {8, 4}, {40, 6}, {100, 10}}) {
        for (int trial = 0; trial < 10; ++trial) {
            const std::vector<double> a = RandomMatrix(random, rows, cols);
            const std::vector<double> b = RandomMatrix(random, rows, 1);
            TSvd svd;
            ASSERT_TRUE(SvdDecompose(rows, cols, a.data(), svd));
            std::vector<double> x(cols);
            EXPECT_EQ(SvdBackSubstitute(svd, b.data(), 0.0, x.data()), cols);

            std::vector<long double> ata(cols * cols, 0.0L);
            std::vector<long double> atb(cols, 0.0L);
            for (std::size_t k = 0; k < rows; ++k) {
                for (std::size_t i = 0; i < cols; ++i) {
                    for (std::size_t j = 0; j < cols; ++j)
                        ata[i * cols + j] += static_cast<long double>(a[k * cols + i]) * a[k * cols + j];
                    atb[i] += static_cast<long double>(a[k * cols + i]) * b[k];
                }
            }
            const std::vector<double> reference = GaussSolve(cols, ata, atb);
            for (std::size_t i = 0; i < cols; ++i)
                EXPECT_NEAR(x[i], reference[i], 1e-9 * (1.0 + std::fabs(reference[i])));

            // The solver the fits use, given the normal equations themselves, agrees as well.
            std::vector<double> normal(ata.begin(), ata.end());
            std::vector<double> rightSide(atb.begin(), atb.end());
            std::vector<double> y(cols);
            MinMisclosureSvd(cols, normal.data(), rightSide.data(), y.data());
            for (std::size_t i = 0; i < cols; ++i)
                EXPECT_NEAR(y[i], reference[i], 1e-7 * (1.0 + std::fabs(reference[i])));
        }
    }
}

TEST(SvdTest, SingularSystemsDropValuesAtOrBelowTheTolerance)
{
    // [[1, 1], [1, 1]] x = (2, 2): the singular direction is dropped, leaving the shortest solution (1, 1).
    const double singular[] = {1, 1, 1, 1};
    const double b[] = {2, 2};
    double x[2] = {};
    MinMisclosureSvd(2, singular, b, x);
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 1.0, 1e-14);

    // With n = 2 the tolerance is 5e-16 * 2 * 1 = 1e-15 of the largest value.
    const double tiny[] = {1, 0, 0, 1e-16};
    const double ones[] = {1, 1};
    MinMisclosureSvd(2, tiny, ones, x);
    EXPECT_EQ(x[0], 1.0);
    EXPECT_EQ(x[1], 0.0) << "1e-16 is below 1e-15 and counts as zero";
    const double small[] = {1, 0, 0, 1e-14};
    MinMisclosureSvd(2, small, ones, x);
    EXPECT_EQ(x[0], 1.0);
    EXPECT_NEAR(x[1], 1e14, 1.0) << "1e-14 is above the tolerance and is kept";

    // An all-zero system gives the zero solution rather than a division by zero.
    const double zero[] = {0, 0, 0, 0};
    x[0] = x[1] = 5.0;
    MinMisclosureSvd(2, zero, ones, x);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[1], 0.0);
}

TEST(SvdTest, GivesUpAfterTheStepLimitInsteadOfLooping)
{
    // A NaN never converges: each singular value gets its 30 steps, then the decomposition goes on.
    const double a[] = {1.0, std::nan(""), 2.0, 3.0};
    TSvd svd;
    EXPECT_FALSE(SvdDecompose(2, 2, a, svd));
    EXPECT_EQ(svd.W.size(), 2u);
    double x[2] = {};
    const double b[] = {1.0, 1.0};
    MinMisclosureSvd(2, a, b, x); // returns; what it returns for such input is not defined
}

TEST(LSM2Test, NormalEquationsAreWeightedSquares)
{
    // Two points with basis (1, f): weights 2 and 3 enter squared.
    const double weights[] = {2.0, 3.0};
    const double basis[] = {1.0, 5.0, 1.0, -1.0};
    const double values[] = {10.0, 20.0};
    std::vector<double> normal;
    std::vector<double> rightSide;
    GenLeastSq(2, 2, weights, basis, values, normal, rightSide);
    EXPECT_EQ(normal, (std::vector<double>{4 + 9, 4 * 5 - 9, 4 * 5 - 9, 4 * 25 + 9}));
    EXPECT_EQ(rightSide, (std::vector<double>{40 + 180, 200 - 180}));
}

TEST(LSM2Test, RecoversKnownSurfacesExactly)
{
    // Order 3 spans 1, q, p, qp, q^2, p^2; every one of those surfaces is recovered from a 7 x 7 grid.
    const double truth[] = {2.0, 3.0, -1.0, 0.5, 0.25, -1.5};
    const auto surface = [&](double p, double q) {
        return truth[0] + truth[1] * q + truth[2] * p + truth[3] * q * p + truth[4] * q * q +
               truth[5] * p * p;
    };
    TLSM2 lsm(49, 3);
    std::vector<double> values;
    for (int p = 0; p < 7; ++p) {
        for (int q = 0; q < 7; ++q) {
            lsm.AddPoint(1.0, p, q);
            values.push_back(surface(p, q));
        }
    }
    double coefficients[6] = {};
    ASSERT_TRUE(lsm.Solve(values.data(), coefficients));
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(coefficients[i], truth[i], 1e-9) << "coefficient " << i;
        EXPECT_EQ(lsm.LastSolution()[static_cast<std::size_t>(i)], coefficients[i]);
    }
    EXPECT_NEAR(lsm.Evaluate(nullptr, 10.0, -4.0), surface(10.0, -4.0), 1e-7);

    // The tool's order 2 fit is bilinear: c0 + c1 q + c2 p + c3 q p, with p the row and q the column.
    TApproximation bilinear(16, 2);
    for (int p = 0; p < 4; ++p) {
        for (int q = 0; q < 4; ++q)
            bilinear.Add(7.0 - 2.0 * q + 5.0 * p + 0.5 * q * p, p, q);
    }
    ASSERT_TRUE(bilinear.Solve());
    const double expected[] = {7.0, -2.0, 5.0, 0.5};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(bilinear.Coefficients()[static_cast<std::size_t>(i)], expected[i], 1e-10);
    EXPECT_NEAR(bilinear.Evaluate(2.0, 1.0), 7.0 - 2.0 + 10.0 + 1.0, 1e-10);
}

TEST(LSM2Test, WeightsSelectThePointsThatCount)
{
    // A point of weight 0 does not pull the constant fit.
    TLSM2 lsm(3, 0);
    lsm.AddPoint(1.0, 0, 0);
    lsm.AddPoint(1.0, 1, 0);
    lsm.AddPoint(0.0, 2, 0);
    const double values[] = {4.0, 6.0, 1000.0};
    double c = 0.0;
    ASSERT_TRUE(lsm.Solve(values, &c));
    EXPECT_NEAR(c, 5.0, 1e-12);
}

TEST(LSM2Test, TooFewPointsChangeNothingAndExtraPointsAreIgnored)
{
    TApproximation approximation(3, 2);
    approximation.Add(1.0, 0, 0);
    approximation.Add(2.0, 0, 1);
    approximation.Add(3.0, 1, 0);
    approximation.Add(4.0, 1, 1); // beyond the capacity
    EXPECT_EQ(approximation.Count(), 3);
    EXPECT_FALSE(approximation.Solve()) << "3 points for 4 basis functions";
    EXPECT_EQ(approximation.Coefficients(), std::vector<double>(4, 0.0));
    EXPECT_EQ(approximation.Evaluate(5.0, 5.0), 0.0);

    TLSM2 lsm(2, 1);
    const double values[] = {1.0, 2.0};
    double out[3] = {9.0, 9.0, 9.0};
    lsm.AddPoint(1.0, 0, 0);
    lsm.AddPoint(1.0, 0, 1);
    EXPECT_FALSE(lsm.Solve(values, out));
    EXPECT_EQ(out[0], 9.0) << "the output is left alone";
    EXPECT_EQ(lsm.LastSolution(), std::vector<double>(3, 0.0));
}

TEST(ApproximationBGRTest, ChannelsComeInAsBlueGreenRedAndGoOutAsRedGreenBlue)
{
    TApproximationBGR approximation(4, 2);
    // Blue 1, green 2 everywhere; red rises along q (the column) only.
    approximation.Add(1.0, 2.0, 10.0, 0, 0);
    approximation.Add(1.0, 2.0, 13.0, 0, 1);
    approximation.Add(1.0, 2.0, 10.0, 1, 0);
    approximation.Add(1.0, 2.0, 13.0, 1, 1);
    ASSERT_TRUE(approximation.Solve());
    const TColourCorrection c = approximation.Evaluate(4.0, 2.0);
    EXPECT_NEAR(c.Red, 16.0, 1e-10);
    EXPECT_NEAR(c.Green, 2.0, 1e-10);
    EXPECT_NEAR(c.Blue, 1.0, 1e-10);
    EXPECT_NEAR(approximation.RedCoefficients()[1], 3.0, 1e-10) << "red changes with q";
    EXPECT_NEAR(approximation.RedCoefficients()[2], 0.0, 1e-10) << "not with p";

    TApproximationBGR tooFew(3, 2);
    tooFew.Add(1, 1, 1, 0, 0);
    EXPECT_FALSE(tooFew.Solve());
    const TColourCorrection zero = tooFew.Evaluate(1.0, 1.0);
    EXPECT_EQ(zero.Red + zero.Green + zero.Blue, 0.0);
}
