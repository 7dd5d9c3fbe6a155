#pragma once
// Maps pixel positions of a destination rectangle onto a source rectangle, stretched or fitted keeping
// the aspect ratio, optionally turned about the source centre. Used to draw thumbnails and to place
// stored objects; the caller owns it for one drawing.

#include "imaging/QpPixels.h"

struct TMapPointF
{
    double X = 0.0;
    double Y = 0.0;
};

struct TMapPoint
{
    int X = 0;
    int Y = 0;
    friend bool operator==(const TMapPoint&, const TMapPoint&) = default;
};

class TRectToRect
{
public:
    static constexpr int kStretch = 0;
    static constexpr int kFit = 1;

    TRectToRect(const TQpRect& source, int mode, const TQpRect& destination);
    virtual ~TRectToRect() = default;

    virtual TMapPointF MapF(double x, double y) const;
    // MapF rounded to integers, ties to even.
    TMapPoint Map(int x, int y) const;

    // The destination as the fit mode adjusted it: the rectangle callers iterate over.
    const TQpRect& Destination() const { return m_destination; }
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }

private:
    void ComputeScales(const TQpRect& source);

    TQpRect m_destination;
    double m_sourceLeft = 0.0;
    double m_sourceTop = 0.0;
    double m_scaleX = 0.0;
    double m_scaleY = 0.0;
};

class TRectToRotatedRect : public TRectToRect
{
public:
    TRectToRotatedRect(const TQpRect& source, double angleDegrees, int mode, const TQpRect& destination);

    TMapPointF MapF(double x, double y) const override;

private:
    double m_angle = 0.0;
    double m_centerX = 0.0;
    double m_centerY = 0.0;
};
