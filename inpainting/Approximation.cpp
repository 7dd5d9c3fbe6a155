#include "inpainting/Approximation.h"

#include <algorithm>

TApproximation::TApproximation(std::int32_t capacity, int order)
    : m_values(static_cast<std::size_t>(std::max<std::int32_t>(capacity, 0)), 0.0), m_lsm(capacity, order),
      m_coefficients(static_cast<std::size_t>(m_lsm.BasisCount()), 0.0)
{
}

void TApproximation::Add(double value, double p, double q)
{
    if (m_count >= m_lsm.Capacity())
        return;
    m_values[static_cast<std::size_t>(m_count)] = value;
    m_lsm.AddPoint(1.0, p, q);
    ++m_count;
}

bool TApproximation::Solve()
{
    return m_lsm.Solve(m_values.data(), m_coefficients.data());
}

double TApproximation::Evaluate(double p, double q)
{
    return m_lsm.Evaluate(m_coefficients.data(), p, q);
}
