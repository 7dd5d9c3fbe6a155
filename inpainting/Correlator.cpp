#include "inpainting/Correlator.h"

#include <cmath>

void TCorrelator::Clear()
{
    m_n = 0;
    m_sumX = m_sumY = m_sumXY = m_sumXX = m_sumYY = 0.0;
}

void TCorrelator::Add(double x, double y)
{
    ++m_n;
    m_sumX += x;
    m_sumY += y;
    m_sumXY += x * y;
    m_sumXX += x * x;
    m_sumYY += y * y;
}

double TCorrelator::Coefficient() const
{
    const double n = m_n;
    const double d = std::sqrt((n * m_sumXX - m_sumX * m_sumX) * (n * m_sumYY - m_sumY * m_sumY));
    // The negated test also catches a NaN from a product that rounding made slightly negative.
    if (!(std::fabs(d) > 1e-10))
        return 0.0;
    return (n * m_sumXY - m_sumX * m_sumY) / d;
}
