#include "inpainting/GenLeastSq.h"

void GenLeastSq(std::size_t pointCount, std::size_t basisCount, const double* weights, const double* basis,
                const double* values, std::vector<double>& normal, std::vector<double>& rightSide)
{
    normal.assign(basisCount * basisCount, 0.0);
    rightSide.assign(basisCount, 0.0);
    for (std::size_t k = 0; k < pointCount; ++k) {
        const double w2 = weights[k] * weights[k];
        const double* f = basis + k * basisCount;
        for (std::size_t i = 0; i < basisCount; ++i) {
            for (std::size_t j = 0; j < basisCount; ++j)
                normal[i * basisCount + j] += w2 * f[i] * f[j];
            rightSide[i] += w2 * values[k] * f[i];
        }
    }
}
