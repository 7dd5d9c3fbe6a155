#pragma once
// Builds the weighted normal equations of a linear least-squares problem: N = sum w^2 f f^T and
// b = sum w^2 y f over the points, with f the basis values of each point.

#include <cstddef>
#include <vector>

// `basis` holds pointCount rows of basisCount values. `normal` receives basisCount x basisCount values,
// row by row; `rightSide` basisCount values.
void GenLeastSq(std::size_t pointCount, std::size_t basisCount, const double* weights, const double* basis,
                const double* values, std::vector<double>& normal, std::vector<double>& rightSide);
