#include "inpainting/LSM2.h"

#include "inpainting/GenLeastSq.h"
#include "inpainting/MinMisclosureSvd.h"

#include <algorithm>

TLSM2::TLSM2(std::int32_t capacity, int order)
    : m_capacity(std::max<std::int32_t>(capacity, 0)), m_transfer(order),
      m_weights(static_cast<std::size_t>(m_capacity), 0.0),
      m_basis(static_cast<std::size_t>(m_capacity) * static_cast<std::size_t>(m_transfer.BasisCount()), 0.0),
      m_solution(static_cast<std::size_t>(m_transfer.BasisCount()), 0.0)
{
}

void TLSM2::AddPoint(double weight, double p, double q)
{
    if (m_count >= m_capacity)
        return;
    const auto basisCount = static_cast<std::size_t>(BasisCount());
    const auto index = static_cast<std::size_t>(m_count);
    m_transfer.Compute(p, q);
    std::copy_n(m_transfer.Values(), basisCount,
                m_basis.begin() + static_cast<std::ptrdiff_t>(index * basisCount));
    m_weights[index] = weight;
    ++m_count;
}

bool TLSM2::Solve(const double* values, double* coefficients)
{
    const auto basisCount = static_cast<std::size_t>(BasisCount());
    if (m_count < BasisCount())
        return false;
    std::vector<double> normal;
    std::vector<double> rightSide;
    GenLeastSq(static_cast<std::size_t>(m_count), basisCount, m_weights.data(), m_basis.data(), values,
               normal, rightSide);
    MinMisclosureSvd(basisCount, normal.data(), rightSide.data(), m_solution.data());
    if (coefficients)
        std::copy(m_solution.begin(), m_solution.end(), coefficients);
    return true;
}

double TLSM2::Evaluate(const double* coefficients, double p, double q)
{
    return m_transfer.Evaluate(coefficients ? coefficients : m_solution.data(), p, q);
}

const double* TLSM2::Basis(double p, double q)
{
    m_transfer.Compute(p, q);
    return m_transfer.Values();
}
