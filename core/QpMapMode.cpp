#include "core/QpMapMode.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kHiMetricPerMillimetre = 100.0;
constexpr double kHiMetricPerCentimetre = 1000.0;
constexpr double kHiMetricPerInch = 2540.0;
constexpr double kHiMetricPerPoint = 2540.0 / 72.0;

int Saturate(std::int64_t value)
{
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

// 64-bit throughout: a HiMetric page length times a printer's pixel count exceeds 32 bits.
int MapAxis(int value, int fromOrigin, int fromExtent, int toOrigin, int toExtent)
{
    const std::int64_t product = (std::int64_t{value} - fromOrigin) * toExtent;
    return Saturate(FloorDivide(product, fromExtent) + toOrigin);
}

int RoundToLogical(double value)
{
    const double rounded = std::nearbyint(value);
    if (std::isnan(rounded)) {
        return 0;
    }
    if (rounded <= std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    if (rounded >= std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(rounded);
}

} // namespace

std::int64_t FloorDivide(std::int64_t dividend, std::int64_t divisor)
{
    std::int64_t quotient = dividend / divisor;
    if (dividend % divisor != 0 && ((dividend < 0) != (divisor < 0))) {
        --quotient;
    }
    return quotient;
}

bool TQpMapMode::SetSourceExtent(TQpPoint extent)
{
    if (extent.X < 1 || extent.Y < 1) {
        return false;
    }
    m_sourceExtent = extent;
    return true;
}

bool TQpMapMode::SetTargetExtent(TQpPoint extent)
{
    if (extent.X < 1 || extent.Y < 1) {
        return false;
    }
    m_targetExtent = extent;
    return true;
}

TQpPoint TQpMapMode::SourceToTarget(TQpPoint point) const
{
    return {MapAxis(point.X, m_sourceOrigin.X, m_sourceExtent.X, m_targetOrigin.X, m_targetExtent.X),
            MapAxis(point.Y, m_sourceOrigin.Y, m_sourceExtent.Y, m_targetOrigin.Y, m_targetExtent.Y)};
}

TQpPoint TQpMapMode::TargetToSource(TQpPoint point) const
{
    return {MapAxis(point.X, m_targetOrigin.X, m_targetExtent.X, m_sourceOrigin.X, m_sourceExtent.X),
            MapAxis(point.Y, m_targetOrigin.Y, m_targetExtent.Y, m_sourceOrigin.Y, m_sourceExtent.Y)};
}

bool TQpMapMode::SetDevice(const TQpDeviceMetrics& device)
{
    const std::int64_t sourceX = std::int64_t{device.WidthMillimetres} * 100;
    const std::int64_t sourceY = std::int64_t{device.HeightMillimetres} * 100;
    if (device.HorizontalPixels < 1 || device.VerticalPixels < 1 || sourceX < 1 || sourceY < 1 ||
        sourceX > std::numeric_limits<int>::max() || sourceY > std::numeric_limits<int>::max()) {
        return false;
    }
    m_targetExtent = {device.HorizontalPixels, device.VerticalPixels};
    m_targetOrigin = {Saturate(-std::int64_t{device.OffsetX}), Saturate(-std::int64_t{device.OffsetY})};
    m_sourceExtent = {static_cast<int>(sourceX), static_cast<int>(sourceY)};
    m_sourceOrigin = {0, 0};
    return true;
}

int TQpHiMetric::FromMillimetres(double value)
{
    return RoundToLogical(value * kHiMetricPerMillimetre);
}

int TQpHiMetric::FromCentimetres(double value)
{
    return RoundToLogical(value * kHiMetricPerCentimetre);
}

int TQpHiMetric::FromInches(double value)
{
    return RoundToLogical(value * kHiMetricPerInch);
}

int TQpHiMetric::FromPoints(double value)
{
    return RoundToLogical(value * kHiMetricPerPoint);
}

float TQpHiMetric::ToMillimetres(int value)
{
    return static_cast<float>(value / kHiMetricPerMillimetre);
}

float TQpHiMetric::ToCentimetres(int value)
{
    return static_cast<float>(value / kHiMetricPerCentimetre);
}

float TQpHiMetric::ToInches(int value)
{
    return static_cast<float>(value / kHiMetricPerInch);
}

float TQpHiMetric::ToPoints(int value)
{
    return static_cast<float>(value / kHiMetricPerPoint);
}
