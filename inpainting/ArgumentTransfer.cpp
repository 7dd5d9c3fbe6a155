#include "inpainting/ArgumentTransfer.h"

#include <algorithm>

namespace {
constexpr std::array<std::int32_t, TArgumentTransfer::kMaxOrder + 1> kBasisCounts = {1, 3, 4, 6, 8, 10};
}

std::int32_t TArgumentTransfer::BasisCountOf(int order)
{
    return kBasisCounts[static_cast<std::size_t>(std::clamp(order, 0, kMaxOrder))];
}

TArgumentTransfer::TArgumentTransfer(int order)
    : m_order(static_cast<std::uint8_t>(std::clamp(order, 0, kMaxOrder))), m_basisCount(BasisCountOf(order))
{
}

void TArgumentTransfer::Compute(double p, double q)
{
    m_values[0] = 1.0;
    if (m_order >= 1) {
        m_values[1] = q;
        m_values[2] = p;
    }
    if (m_order >= 2)
        m_values[3] = q * p;
    if (m_order >= 3) {
        m_values[4] = q * q;
        m_values[5] = p * p;
    }
    if (m_order >= 4) {
        m_values[6] = p * (q * q);
        m_values[7] = q * (p * p);
    }
    if (m_order >= 5) {
        m_values[8] = q * q * q;
        m_values[9] = p * p * p;
    }
}

double TArgumentTransfer::Evaluate(const double* coefficients, double p, double q)
{
    Compute(p, q);
    double sum = 0.0;
    for (std::int32_t i = 0; i < m_basisCount; ++i)
        sum += coefficients[i] * m_values[static_cast<std::size_t>(i)];
    return sum;
}
