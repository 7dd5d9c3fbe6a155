#include "imaging/RectToRect.h"

#include <cmath>
#include <numbers>

namespace {

// Extents count pixel centres, so a one-pixel side has extent 0.
int ExtentX(const TQpRect& r)
{
    return r.Right - r.Left - 1;
}
int ExtentY(const TQpRect& r)
{
    return r.Bottom - r.Top - 1;
}

double Ratio(int sourceExtent, int destinationExtent)
{
    return destinationExtent == 0 ? 0.0 : double(sourceExtent) / double(destinationExtent);
}

} // namespace

TRectToRect::TRectToRect(const TQpRect& source, int mode, const TQpRect& destination)
    : m_destination(destination), m_sourceLeft(source.Left), m_sourceTop(source.Top)
{
    ComputeScales(source);
    if (mode != kFit) {
        return;
    }
    // A zero scale (a one-pixel source) would divide 0 by 0; the stretch mapping is then already right.
    if (m_scaleX > m_scaleY) {
        if (m_scaleX != 0.0) {
            m_scaleY = m_scaleX;
            const int r = int(std::nearbyint(ExtentY(m_destination) - ExtentY(source) / m_scaleY));
            m_destination.Top += r / 2;
            m_destination.Bottom -= r - r / 2;
        }
    } else if (m_scaleY != 0.0) {
        m_scaleX = m_scaleY;
        const int r = int(std::nearbyint(ExtentX(m_destination) - ExtentX(source) / m_scaleX));
        m_destination.Left += r / 2;
        m_destination.Right -= r - r / 2;
    }
    ComputeScales(source);
}

void TRectToRect::ComputeScales(const TQpRect& source)
{
    m_scaleX = Ratio(ExtentX(source), ExtentX(m_destination));
    m_scaleY = Ratio(ExtentY(source), ExtentY(m_destination));
}

TMapPointF TRectToRect::MapF(double x, double y) const
{
    return {(x - m_destination.Left) * m_scaleX + m_sourceLeft,
            (y - m_destination.Top) * m_scaleY + m_sourceTop};
}

TMapPoint TRectToRect::Map(int x, int y) const
{
    const TMapPointF p = MapF(x, y);
    return {int(std::nearbyint(p.X)), int(std::nearbyint(p.Y))};
}

TRectToRotatedRect::TRectToRotatedRect(const TQpRect& source, double angleDegrees, int mode,
                                       const TQpRect& destination)
    : TRectToRect(source, mode, destination), m_angle(angleDegrees * std::numbers::pi / 180.0),
      m_centerX((source.Right - source.Left - 1) / 2.0), m_centerY((source.Bottom - source.Top - 1) / 2.0)
{
}

TMapPointF TRectToRotatedRect::MapF(double x, double y) const
{
    const TMapPointF p = TRectToRect::MapF(x, y);
    const double c = std::cos(-m_angle);
    const double s = std::sin(-m_angle);
    const double dx = p.X - m_centerX;
    const double dy = p.Y - m_centerY;
    return {m_centerX + c * dx - s * dy, m_centerY + s * dx + c * dy};
}
