#include "inpainting/ApproximationBGR.h"

TApproximationBGR::TApproximationBGR(std::int32_t capacity, int order) : m_lsm(capacity, order)
{
    const auto size = static_cast<std::size_t>(m_lsm.Capacity());
    const auto basisCount = static_cast<std::size_t>(m_lsm.BasisCount());
    for (TChannel* channel : {&m_red, &m_green, &m_blue}) {
        channel->Values.assign(size, 0.0);
        channel->Coefficients.assign(basisCount, 0.0);
    }
}

void TApproximationBGR::Add(double blue, double green, double red, double p, double q)
{
    if (m_count >= m_lsm.Capacity())
        return;
    const auto index = static_cast<std::size_t>(m_count);
    m_red.Values[index] = red;
    m_green.Values[index] = green;
    m_blue.Values[index] = blue;
    m_lsm.AddPoint(1.0, p, q);
    ++m_count;
}

bool TApproximationBGR::Solve()
{
    const bool red = m_lsm.Solve(m_red.Values.data(), m_red.Coefficients.data());
    const bool green = m_lsm.Solve(m_green.Values.data(), m_green.Coefficients.data());
    const bool blue = m_lsm.Solve(m_blue.Values.data(), m_blue.Coefficients.data());
    return red && green && blue;
}

TColourCorrection TApproximationBGR::Evaluate(double p, double q)
{
    // One basis for the three channels; each sum runs in the same order as a single evaluation.
    const double* basis = m_lsm.Basis(p, q);
    const std::int32_t count = m_lsm.BasisCount();
    const auto dot = [&](const std::vector<double>& coefficients) {
        double sum = 0.0;
        for (std::int32_t i = 0; i < count; ++i)
            sum += coefficients[static_cast<std::size_t>(i)] * basis[i];
        return sum;
    };
    TColourCorrection result;
    result.Red = dot(m_red.Coefficients);
    result.Green = dot(m_green.Coefficients);
    result.Blue = dot(m_blue.Coefficients);
    return result;
}
