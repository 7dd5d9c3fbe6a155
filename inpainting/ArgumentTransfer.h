#pragma once
// The polynomial basis in two variables (p, q) that the least-squares fits use. Cumulative by order:
// 1 | q, p | q*p | q^2, p^2 | p*q^2, q*p^2 | q^3, p^3, giving 1, 3, 4, 6, 8, 10 functions.

#include <array>
#include <cstdint>

class TArgumentTransfer
{
public:
    static constexpr int kMaxOrder = 5;
    static constexpr int kMaxBasisCount = 10;

    // Orders above 5 are taken as 5 and negative ones as 0, so the basis never outgrows its array.
    explicit TArgumentTransfer(int order);

    int Order() const { return m_order; }
    std::int32_t BasisCount() const { return m_basisCount; }
    // Fills the basis values for (p, q).
    void Compute(double p, double q);
    const double* Values() const { return m_values.data(); }
    // The dot product of the basis at (p, q) with BasisCount() coefficients.
    double Evaluate(const double* coefficients, double p, double q);

    static std::int32_t BasisCountOf(int order);

private:
    std::uint8_t m_order;
    std::int32_t m_basisCount;
    std::array<double, kMaxBasisCount> m_values{};
};
