#pragma once
// A least-squares surface for one value per point (the brightness difference of the brightness-only
// correction). Created for one transfer and freed at its end.

#include "inpainting/LSM2.h"

#include <cstdint>
#include <vector>

class TApproximation
{
public:
    TApproximation(std::int32_t capacity, int order);

    // Adds a point of weight 1; points beyond the capacity are ignored.
    void Add(double value, double p, double q);
    bool Solve();
    // 0 everywhere until a solve succeeds.
    double Evaluate(double p, double q);

    std::int32_t Count() const { return m_count; }
    const std::vector<double>& Coefficients() const { return m_coefficients; }

private:
    std::int32_t m_count = 0;
    std::vector<double> m_values;
    TLSM2 m_lsm;
    std::vector<double> m_coefficients;
};
