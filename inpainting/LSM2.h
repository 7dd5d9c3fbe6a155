#pragma once
// Weighted linear least squares over the polynomial basis of TArgumentTransfer. Holds a fixed number of
// points (their weights and basis values); the values to fit are given at each solve, so one set of
// points can be fitted to several value arrays.

#include "inpainting/ArgumentTransfer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TLSM2
{
public:
    TLSM2(std::int32_t capacity, int order);

    // Points beyond the capacity are ignored.
    void AddPoint(double weight, double p, double q);
    // Fits `values` (one per point added). False, with nothing changed, when there are fewer points than
    // basis functions. Otherwise stores the solution as the last one and copies it to `coefficients`
    // when given.
    bool Solve(const double* values, double* coefficients);
    // The fitted surface at (p, q); the last solution when `coefficients` is null.
    double Evaluate(const double* coefficients, double p, double q);

    // The basis values at (p, q), valid until the next call that computes a basis.
    const double* Basis(double p, double q);

    std::int32_t BasisCount() const { return m_transfer.BasisCount(); }
    std::int32_t Count() const { return m_count; }
    std::int32_t Capacity() const { return m_capacity; }
    const std::vector<double>& LastSolution() const { return m_solution; }

private:
    std::int32_t m_count = 0;
    std::int32_t m_capacity;
    TArgumentTransfer m_transfer;
    std::vector<double> m_weights;
    std::vector<double> m_basis; // capacity rows of BasisCount() values
    std::vector<double> m_solution;
};
