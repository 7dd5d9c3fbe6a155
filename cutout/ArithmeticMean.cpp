#include "cutout/ArithmeticMean.h"

#include "core/ProgressMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

bool TArithmeticMean::SetSize(int width, int height)
{
    if (width == m_width && height == m_height)
        return true;
    m_width = 0;
    m_height = 0;
    m_a.clear();
    m_b.clear();
    if (width <= 0 || height <= 0)
        return width >= 0 && height >= 0;
    const std::size_t entries = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (entries > std::numeric_limits<std::size_t>::max() / (3 * sizeof(float)))
        return false;
    try {
        m_a.assign(entries * 3, 0.0f);
        m_b.assign(entries * 3, 0.0f);
    } catch (const std::bad_alloc&) {
        m_a = {};
        m_b = {};
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

void TArithmeticMean::Get(int x, int y, std::uint8_t bgr[3]) const
{
    const float* entry = &m_a[Index(x, y)];
    for (int c = 0; c < 3; ++c)
        bgr[c] = static_cast<std::uint8_t>(std::nearbyint(std::clamp(entry[c], 0.0f, 255.0f)));
}

namespace {

// The one rounding point of the mean: sum times the reciprocal of the count, stored as a float.
inline float Scaled(float sum, double reciprocal)
{
    return static_cast<float>(static_cast<double>(sum) * reciprocal);
}

} // namespace

// Along y for every x, A into B. Each column's running sum is one dependent chain, so four columns
// advance side by side to keep the adder busy; every column still sees exactly its own sequence.
void TArithmeticMean::ColumnPass(std::ptrdiff_t radius)
{
    const std::ptrdiff_t height = m_height;
    const std::size_t column = static_cast<std::size_t>(height) * 3;
    const std::ptrdiff_t firstLast = std::min(radius - 1, height - 1);
    constexpr int kLanes = 4;
    int x = 0;
    for (; x < m_width; x += kLanes) {
        const int lanes = std::min(kLanes, m_width - x);
        float sum[kLanes][3] = {};
        const float* a[kLanes];
        float* b[kLanes];
        for (int l = 0; l < lanes; ++l) {
            a[l] = m_a.data() + static_cast<std::size_t>(x + l) * column;
            b[l] = m_b.data() + static_cast<std::size_t>(x + l) * column;
        }
        std::ptrdiff_t count = 0;
        for (std::ptrdiff_t i = 0; i <= firstLast; ++i) {
            for (int l = 0; l < lanes; ++l)
                for (int c = 0; c < 3; ++c)
                    sum[l][c] += a[l][i * 3 + c];
            ++count;
        }
        for (std::ptrdiff_t d = 0; d < height; ++d) {
            if (d - radius > 0) {
                const std::ptrdiff_t out = (d - radius - 1) * 3;
                for (int l = 0; l < lanes; ++l)
                    for (int c = 0; c < 3; ++c)
                        sum[l][c] -= a[l][out + c];
                --count;
            }
            if (d + radius < height) {
                const std::ptrdiff_t in = (d + radius) * 3;
                for (int l = 0; l < lanes; ++l)
                    for (int c = 0; c < 3; ++c)
                        sum[l][c] += a[l][in + c];
                ++count;
            }
            const double reciprocal = count > 0 ? 1.0 / static_cast<double>(count) : 0.0;
            for (int l = 0; l < lanes; ++l)
                for (int c = 0; c < 3; ++c)
                    b[l][d * 3 + c] = Scaled(sum[l][c], reciprocal);
        }
        if (m_meter)
            for (int l = 0; l < lanes; ++l)
                m_meter->Step();
    }
}

// Along x for every y, B back into A. All rows advance together one column at a time, so the work
// runs over contiguous memory; each row still sees exactly its own sequence of additions.
void TArithmeticMean::RowPass(std::ptrdiff_t radius)
{
    const std::ptrdiff_t width = m_width;
    const std::size_t column = static_cast<std::size_t>(m_height) * 3;
    std::vector<float> sum(column, 0.0f);
    float* s = sum.data();
    const float* b = m_b.data();
    float* a = m_a.data();
    std::ptrdiff_t count = 0;
    const std::ptrdiff_t firstLast = std::min(radius - 1, width - 1);
    for (std::ptrdiff_t i = 0; i <= firstLast; ++i) {
        const float* in = b + static_cast<std::size_t>(i) * column;
        for (std::size_t j = 0; j < column; ++j)
            s[j] += in[j];
        ++count;
    }
    int stepsDone = 0;
    for (std::ptrdiff_t d = 0; d < width; ++d) {
        if (d - radius > 0) {
            const float* out = b + static_cast<std::size_t>(d - radius - 1) * column;
            for (std::size_t j = 0; j < column; ++j)
                s[j] -= out[j];
            --count;
        }
        if (d + radius < width) {
            const float* in = b + static_cast<std::size_t>(d + radius) * column;
            for (std::size_t j = 0; j < column; ++j)
                s[j] += in[j];
            ++count;
        }
        const double reciprocal = count > 0 ? 1.0 / static_cast<double>(count) : 0.0;
        float* target = a + static_cast<std::size_t>(d) * column;
        for (std::size_t j = 0; j < column; ++j)
            target[j] = Scaled(s[j], reciprocal);
        if (m_meter) {
            // One step per row, spread over the columns as the rows advance together.
            const int due = static_cast<int>((d + 1) * static_cast<std::ptrdiff_t>(m_height) / width);
            for (; stepsDone < due; ++stepsDone)
                m_meter->Step();
        }
    }
}

void TArithmeticMean::Compute(int radius)
{
    const std::ptrdiff_t r = std::max(radius, 0);
    if (m_meter)
        m_meter->Start(m_width + m_height);
    if (m_width > 0 && m_height > 0) {
        ColumnPass(r);
        RowPass(r);
    }
    if (m_meter)
        m_meter->Start(0);
}
