#include "inpainting/MinMisclosureSvd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// |magnitude| carrying the sign of `sign` (zero counts as positive).
double WithSign(double magnitude, double sign)
{
    return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// Row-by-row view of a dense matrix, so the algorithm reads with two indices.
class TMatrixRef
{
public:
    TMatrixRef(std::vector<double>& data, std::size_t cols) : m_data(data), m_cols(cols) {}
    double& operator()(std::ptrdiff_t row, std::ptrdiff_t col)
    {
        return m_data[static_cast<std::size_t>(row) * m_cols + static_cast<std::size_t>(col)];
    }

private:
    std::vector<double>& m_data;
    std::size_t m_cols;
};

// A value is negligible when adding it to the matrix norm changes nothing.
bool Negligible(double value, double norm)
{
    return std::fabs(value) + norm == norm;
}

} // namespace

bool SvdDecompose(std::size_t rows, std::size_t cols, const double* a, TSvd& svd)
{
    svd.Rows = rows;
    svd.Cols = cols;
    svd.U.assign(a, a + rows * cols);
    svd.W.assign(cols, 0.0);
    svd.V.assign(cols * cols, 0.0);
    if (rows < cols)
        return false;
    if (cols == 0)
        return true;

    const auto m = static_cast<std::ptrdiff_t>(rows);
    const auto n = static_cast<std::ptrdiff_t>(cols);
    TMatrixRef u(svd.U, cols);
    TMatrixRef v(svd.V, cols);
    std::vector<double>& w = svd.W;
    std::vector<double> e(cols, 0.0); // superdiagonal of the bidiagonal form
    const auto at = [](std::vector<double>& vec, std::ptrdiff_t i) -> double& {
        return vec[static_cast<std::size_t>(i)];
    };

    // Householder reduction to upper bidiagonal form: alternately zero a column below and a row to the
    // right of the diagonal; the reflectors stay in u for the accumulation below.
    double g = 0.0;
    double scale = 0.0;
    double norm = 0.0;
    std::ptrdiff_t l = 0;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        l = i + 1;
        at(e, i) = scale * g;
        g = 0.0;
        scale = 0.0;
        double s = 0.0;
        for (std::ptrdiff_t k = i; k < m; ++k)
            scale += std::fabs(u(k, i));
        if (scale != 0.0) {
            for (std::ptrdiff_t k = i; k < m; ++k) {
                u(k, i) /= scale;
                s += u(k, i) * u(k, i);
            }
            double f = u(i, i);
            g = -WithSign(std::sqrt(s), f);
            const double h = f * g - s;
            u(i, i) = f - g;
            for (std::ptrdiff_t j = l; j < n; ++j) {
                s = 0.0;
                for (std::ptrdiff_t k = i; k < m; ++k)
                    s += u(k, i) * u(k, j);
                f = s / h;
                for (std::ptrdiff_t k = i; k < m; ++k)
                    u(k, j) += f * u(k, i);
            }
            for (std::ptrdiff_t k = i; k < m; ++k)
                u(k, i) *= scale;
        }
        at(w, i) = scale * g;

        g = 0.0;
        scale = 0.0;
        s = 0.0;
        if (i != n - 1) {
            for (std::ptrdiff_t k = l; k < n; ++k)
                scale += std::fabs(u(i, k));
            if (scale != 0.0) {
                for (std::ptrdiff_t k = l; k < n; ++k) {
                    u(i, k) /= scale;
                    s += u(i, k) * u(i, k);
                }
                const double f = u(i, l);
                g = -WithSign(std::sqrt(s), f);
                const double h = f * g - s;
                u(i, l) = f - g;
                for (std::ptrdiff_t k = l; k < n; ++k)
                    at(e, k) = u(i, k) / h;
                for (std::ptrdiff_t j = l; j < m; ++j) {
                    s = 0.0;
                    for (std::ptrdiff_t k = l; k < n; ++k)
                        s += u(j, k) * u(i, k);
                    for (std::ptrdiff_t k = l; k < n; ++k)
                        u(j, k) += s * at(e, k);
                }
                for (std::ptrdiff_t k = l; k < n; ++k)
                    u(i, k) *= scale;
            }
        }
        norm = std::max(norm, std::fabs(at(w, i)) + std::fabs(at(e, i)));
    }

    // Accumulate the right-hand reflectors into v.
    for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                // Two divisions rather than one product avoid a possible underflow.
                for (std::ptrdiff_t j = l; j < n; ++j)
                    v(j, i) = (u(i, j) / u(i, l)) / g;
                for (std::ptrdiff_t j = l; j < n; ++j) {
                    double s = 0.0;
                    for (std::ptrdiff_t k = l; k < n; ++k)
                        s += u(i, k) * v(k, j);
                    for (std::ptrdiff_t k = l; k < n; ++k)
                        v(k, j) += s * v(k, i);
                }
            }
            for (std::ptrdiff_t j = l; j < n; ++j) {
                v(i, j) = 0.0;
                v(j, i) = 0.0;
            }
        }
        v(i, i) = 1.0;
        g = at(e, i);
        l = i;
    }

    // Accumulate the left-hand reflectors in place.
    for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
        l = i + 1;
        g = at(w, i);
        for (std::ptrdiff_t j = l; j < n; ++j)
            u(i, j) = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (std::ptrdiff_t j = l; j < n; ++j) {
                double s = 0.0;
                for (std::ptrdiff_t k = l; k < m; ++k)
                    s += u(k, i) * u(k, j);
                const double f = (s / u(i, i)) * g;
                for (std::ptrdiff_t k = i; k < m; ++k)
                    u(k, j) += f * u(k, i);
            }
            for (std::ptrdiff_t j = i; j < m; ++j)
                u(j, i) *= g;
        } else {
            for (std::ptrdiff_t j = i; j < m; ++j)
                u(j, i) = 0.0;
        }
        u(i, i) += 1.0;
    }

    // Diagonalise the bidiagonal form by implicit-shift QR, one singular value at a time from the bottom.
    bool converged = true;
    for (std::ptrdiff_t k = n - 1; k >= 0; --k) {
        for (int iteration = 0;; ++iteration) {
            // Find the top l of the unreduced block ending at k; e[0] is always zero.
            bool cancel = true;
            std::ptrdiff_t nm = 0;
            for (l = k; l >= 0; --l) {
                nm = l - 1;
                if (l == 0 || Negligible(at(e, l), norm)) {
                    cancel = false;
                    break;
                }
                if (Negligible(at(w, nm), norm))
                    break;
            }
            if (cancel) {
                // w[nm] is negligible: chase e[l] out with Givens rotations from the left.
                double c = 0.0;
                double s = 1.0;
                for (std::ptrdiff_t i = l; i <= k; ++i) {
                    const double f = s * at(e, i);
                    at(e, i) = c * at(e, i);
                    if (Negligible(f, norm))
                        break;
                    g = at(w, i);
                    double h = std::hypot(f, g);
                    at(w, i) = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (std::ptrdiff_t j = 0; j < m; ++j) {
                        const double y = u(j, nm);
                        const double z = u(j, i);
                        u(j, nm) = y * c + z * s;
                        u(j, i) = z * c - y * s;
                    }
                }
            }
            double z = at(w, k);
            if (l == k) {
                if (z < 0.0) {
                    at(w, k) = -z;
                    for (std::ptrdiff_t j = 0; j < n; ++j)
                        v(j, k) = -v(j, k);
                }
                break;
            }
            if (iteration == kSvdMaxIterations) {
                converged = false;
                break;
            }

            // Shift from the trailing 2 x 2 block, then one QR sweep over l..k.
            double x = at(w, l);
            nm = k - 1;
            double y = at(w, nm);
            g = at(e, nm);
            double h = at(e, k);
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = std::hypot(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + WithSign(g, f))) - h)) / x;
            double c = 1.0;
            double s = 1.0;
            for (std::ptrdiff_t j = l; j <= nm; ++j) {
                const std::ptrdiff_t i = j + 1;
                g = at(e, i);
                y = at(w, i);
                h = s * g;
                g = c * g;
                z = std::hypot(f, h);
                at(e, j) = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                for (std::ptrdiff_t jj = 0; jj < n; ++jj) {
                    x = v(jj, j);
                    z = v(jj, i);
                    v(jj, j) = x * c + z * s;
                    v(jj, i) = z * c - x * s;
                }
                z = std::hypot(f, h);
                at(w, j) = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (std::ptrdiff_t jj = 0; jj < m; ++jj) {
                    y = u(jj, j);
                    z = u(jj, i);
                    u(jj, j) = y * c + z * s;
                    u(jj, i) = z * c - y * s;
                }
            }
            at(e, l) = 0.0;
            at(e, k) = f;
            at(w, k) = x;
        }
    }
    return converged;
}

std::size_t SvdBackSubstitute(const TSvd& svd, const double* b, double tolerance, double* x)
{
    const std::size_t m = svd.Rows;
    const std::size_t n = svd.Cols;
    std::vector<double> projected(n, 0.0);
    std::size_t used = 0;
    for (std::size_t j = 0; j < n; ++j) {
        if (!(std::fabs(svd.W[j]) > tolerance))
            continue;
        double s = 0.0;
        for (std::size_t i = 0; i < m; ++i)
            s += svd.U[i * n + j] * b[i];
        projected[j] = s / svd.W[j];
        ++used;
    }
    for (std::size_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            s += svd.V[i * n + j] * projected[j];
        x[i] = s;
    }
    return used;
}

void MinMisclosureSvd(std::size_t n, const double* normal, const double* rightSide, double* x)
{
    TSvd svd;
    // A value that did not converge within the step limit is used as it stands.
    SvdDecompose(n, n, normal, svd);
    double largest = 0.0;
    for (const double value : svd.W)
        largest = std::max(largest, std::fabs(value));
    SvdBackSubstitute(svd, rightSide, 5e-16 * static_cast<double>(n) * largest, x);
}
