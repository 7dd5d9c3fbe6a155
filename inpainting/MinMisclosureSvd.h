#pragma once
// Singular value decomposition by Golub and Reinsch (Householder bidiagonalisation, then implicit-shift
// QR on the bidiagonal) and the minimum-misclosure solution of A x = b built on it, which drops the
// singular values too small to trust instead of failing on a singular system.

#include <cstddef>
#include <vector>

// A = U diag(W) V^T for a rows x cols matrix with rows >= cols. U is rows x cols with orthonormal
// columns, V is cols x cols orthogonal; both row by row. W is not sorted; its values are not negative
// once their QR iteration converged.
struct TSvd
{
    std::size_t Rows = 0;
    std::size_t Cols = 0;
    std::vector<double> U;
    std::vector<double> W;
    std::vector<double> V;
};

// At most this many QR steps are spent on each singular value; the decomposition then goes on with what
// it has rather than failing.
constexpr int kSvdMaxIterations = 30;

// Decomposes `a` (rows x cols, row by row). False when rows < cols or a singular value did not converge
// within kSvdMaxIterations steps; the result is filled in either case as far as it got.
bool SvdDecompose(std::size_t rows, std::size_t cols, const double* a, TSvd& svd);

// x = V diag(1 / w) U^T b with every term whose |w| <= tolerance left out. Returns the number of
// singular values used.
std::size_t SvdBackSubstitute(const TSvd& svd, const double* b, double tolerance, double* x);

// Solves the n x n system N x = b: singular values with |w| <= 5e-16 * n * max|w| count as zero.
void MinMisclosureSvd(std::size_t n, const double* normal, const double* rightSide, double* x);
