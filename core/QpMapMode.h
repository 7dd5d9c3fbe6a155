#pragma once
// Linear mappings between a logical coordinate space (the source) and device pixels (the target),
// as views and printing use them, and the HiMetric mapping whose logical unit is 0.01 mm. Extents
// are always at least 1, so a mapping never divides by zero.

#include <cstdint>

struct TQpPoint
{
    int X = 0;
    int Y = 0;
    friend bool operator==(const TQpPoint&, const TQpPoint&) = default;
};

// What SetDevice needs to know of a device (a printer page).
struct TQpDeviceMetrics
{
    int HorizontalPixels = 0; // the device's width and height in pixels
    int VerticalPixels = 0;
    int WidthMillimetres = 0; // the same span in millimetres
    int HeightMillimetres = 0;
    int OffsetX = 0; // physical printable offset from the paper's top-left, in pixels
    int OffsetY = 0;
};

// Division rounded toward negative infinity, for either sign of the divisor. The divisor must not
// be 0, nor -1 with the smallest dividend.
std::int64_t FloorDivide(std::int64_t dividend, std::int64_t divisor);

class TQpMapMode
{
public:
    virtual ~TQpMapMode() = default;

    TQpPoint SourceOrigin() const { return m_sourceOrigin; }
    TQpPoint SourceExtent() const { return m_sourceExtent; }
    TQpPoint TargetOrigin() const { return m_targetOrigin; }
    TQpPoint TargetExtent() const { return m_targetExtent; }
    void SetSourceOrigin(TQpPoint origin) { m_sourceOrigin = origin; }
    void SetTargetOrigin(TQpPoint origin) { m_targetOrigin = origin; }
    // Extents below 1 are refused and the previous extents kept.
    bool SetSourceExtent(TQpPoint extent);
    bool SetTargetExtent(TQpPoint extent);

    // x' = floor((x - source origin) * target extent / source extent) + target origin, per axis.
    TQpPoint SourceToTarget(TQpPoint point) const;
    // x' = floor((x - target origin) * source extent / target extent) + source origin, per axis.
    TQpPoint TargetToSource(TQpPoint point) const;
    // Maps the corners (Left, Top) and (Right, Bottom) of any rectangle type with those members.
    template <typename Rect> Rect SourceToTarget(const Rect& rect) const;

    // Binds the mapping to a device so that the source unit is 0.01 mm on it. A device that reports
    // no size is refused and the mapping left as it was.
    bool SetDevice(const TQpDeviceMetrics& device);

private:
    TQpPoint m_sourceOrigin{0, 0};
    TQpPoint m_sourceExtent{1, 1};
    TQpPoint m_targetOrigin{0, 0};
    TQpPoint m_targetExtent{1, 1};
};

template <typename Rect> Rect TQpMapMode::SourceToTarget(const Rect& rect) const
{
    const TQpPoint topLeft = SourceToTarget(TQpPoint{rect.Left, rect.Top});
    const TQpPoint bottomRight = SourceToTarget(TQpPoint{rect.Right, rect.Bottom});
    Rect result = rect;
    result.Left = topLeft.X;
    result.Top = topLeft.Y;
    result.Right = bottomRight.X;
    result.Bottom = bottomRight.Y;
    return result;
}

// A mapping whose logical unit is one hundredth of a millimetre, with conversions from and to the
// units the print form offers. To logical units: rounded to the nearest integer, ties to even.
class TQpHiMetric : public TQpMapMode
{
public:
    static int FromMillimetres(double value);
    static int FromCentimetres(double value);
    static int FromInches(double value);
    static int FromPoints(double value);
    static float ToMillimetres(int value);
    static float ToCentimetres(int value);
    static float ToInches(int value);
    static float ToPoints(int value);
};

// The imaging library's rectangle form: origin and size.
struct TQpOriginSize
{
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TQpOriginSize&, const TQpOriginSize&) = default;
};

template <typename Rect> TQpOriginSize RectToOriginSize(const Rect& rect)
{
    return {rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top};
}
