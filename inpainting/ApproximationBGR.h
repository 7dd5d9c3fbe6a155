#pragma once
// Least-squares surfaces for the red, green and blue differences of a colour correction; the three fits
// share one set of points and so one design. Created for one transfer and freed at its end.

#include "inpainting/LSM2.h"

#include <cstdint>
#include <vector>

struct TColourCorrection
{
    double Red = 0.0;
    double Green = 0.0;
    double Blue = 0.0;
};

class TApproximationBGR
{
public:
    TApproximationBGR(std::int32_t capacity, int order);

    // The differences come in pixel byte order (blue, green, red); points beyond the capacity are ignored.
    void Add(double blue, double green, double red, double p, double q);
    // True only when all three fits succeed.
    bool Solve();
    TColourCorrection Evaluate(double p, double q);

    std::int32_t Count() const { return m_count; }
    const std::vector<double>& RedCoefficients() const { return m_red.Coefficients; }
    const std::vector<double>& GreenCoefficients() const { return m_green.Coefficients; }
    const std::vector<double>& BlueCoefficients() const { return m_blue.Coefficients; }

private:
    struct TChannel
    {
        std::vector<double> Values;
        std::vector<double> Coefficients;
    };

    std::int32_t m_count = 0;
    TChannel m_red;
    TChannel m_green;
    TChannel m_blue;
    TLSM2 m_lsm;
};
