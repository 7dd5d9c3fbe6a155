#pragma once
// Scaling of 24-bit images: resampler objects supply a kernel and its radius, and one separable routine
// filters with integer tap tables built from them (vertical pass first, then horizontal).

#include "imaging/QpPixels.h"

#include <vector>

class TPixelResampler
{
public:
    virtual ~TPixelResampler() = default;
    // Whether results are clamped to 0..255 before the final shift.
    virtual bool NeedsClamp() const { return false; }
    virtual double Kernel(double x) const = 0;
    virtual double Radius() const = 0;
};

// sinc(x) times a window, zero from the radius on.
class TWindowedSincResampler : public TPixelResampler
{
public:
    bool NeedsClamp() const override { return true; }
    double Kernel(double x) const override;
    double Radius() const override { return m_radius; }
    virtual double Window(double x) const = 0;

protected:
    double m_radius = 3.0;
};

// Lanczos with a = 3: sinc(x) * sinc(x / 3) for |x| < 3.
class TLanczosResampler : public TWindowedSincResampler
{
public:
    double Window(double x) const override;
};

// Radius 0 and kernel 0: every tap is dropped, so every position takes the source pixel at its centre.
class TQuickDraftResampler : public TWindowedSincResampler
{
public:
    TQuickDraftResampler() { m_radius = 0.0; }
    double Kernel(double) const override { return 0.0; }
    double Window(double) const override { return 1.0; }
};

double Sinc(double x);

// While set, resizing a bitmap point-samples with the quick-draft resampler instead of Lanczos. Set only
// around the adjustment preview's reduction.
extern bool QuickDraftResampling;

// One tap of a tap table: a source index and its weight in 1/256.
struct TResampleTap
{
    int Index = 0;
    int Weight = 0;
    friend bool operator==(const TResampleTap&, const TResampleTap&) = default;
};

// The taps of every computed position of one axis, each list summing to exactly 256.
struct TTapTable
{
    std::vector<std::vector<TResampleTap>> Positions;
};

// Taps for the computed span [computedBegin, computedEnd) of the destination span [destBegin, destEnd),
// which is mapped linearly onto the source span [srcBegin, srcEnd).
TTapTable BuildTapTable(int destBegin, int destEnd, int computedBegin, int computedEnd, int srcBegin,
                        int srcEnd, const TPixelResampler& resampler);

// Maps the source rectangle of `src` linearly onto destRect and computes the destination pixels inside
// clipRect. Both windows hold pfBGR24 pixels and srcRect lies inside the source window; otherwise, or when
// nothing is to be computed, nothing is written. Returns the rectangle written.
TQpRect Resample(TQpPixels& dest, const TQpRect& destRect, const TQpRect& clipRect,
                 const TPixelResampler& resampler, const TQpRect& srcRect, const TQpPixels& src);
