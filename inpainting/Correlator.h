#pragma once
// Running Pearson correlation coefficient of pairs (x, y). Used for one orientation at a time by the
// automatic choice of the area reflection; the caller owns it.

#include <cstdint>

class TCorrelator
{
public:
    void Clear();
    void Add(double x, double y);
    // 0 when either variable is constant (the denominator is at most 1e-10).
    double Coefficient() const;

    std::int32_t Count() const { return m_n; }

private:
    std::int32_t m_n = 0;
    double m_sumX = 0.0;
    double m_sumY = 0.0;
    double m_sumXY = 0.0;
    double m_sumXX = 0.0;
    double m_sumYY = 0.0;
};
