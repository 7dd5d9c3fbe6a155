#pragma once
// Fills the footprint of a square target with pixels from a source square elsewhere in the same image,
// in one of eight orientations, optionally corrected by a smooth colour surface fitted on the footprint's
// border and blended into the first interior ring. Holds the target square, its footprint mask and the
// border and interior lists (owned); the two pixel windows belong to the document and are only referenced.

#include "imaging/QpPixels.h"
#include "inpainting/BorderArea8.h"

#include <cstdint>
#include <vector>

class TAreaCorrelator
{
public:
    // Transfer modes.
    static constexpr int kModeCopy = 0;
    static constexpr int kModeBrightness = 1;
    static constexpr int kModeColour = 2;
    // What the hand tool passes.
    static constexpr int kToolSquaredRadius = 2;
    static constexpr double kToolMinorityFraction = 0.2;
    static constexpr int kToolOrder = 2;

    // `source` is the image as it was before the edit (read only); `destination` receives the result and
    // is written only at interior footprint pixels. Positions count as inside the image when both windows
    // hold them. A negative squared radius counts as 0.
    TAreaCorrelator(const TQpRect& target, TQpPixels& destination, const TQpPixels& source,
                    std::int32_t squaredRadius);

    // (x, y) in image coordinates; positions outside the target square are ignored.
    void SetMask(std::int32_t x, std::int32_t y, std::uint8_t value);
    std::uint8_t Mask(std::int32_t x, std::int32_t y) const;

    // Rebuilds the border and interior lists from the mask.
    void Prepare();
    // Drops from the border the pixels of a minority colour cluster (the ends of a wire or scratch that
    // cross the footprint's edge) when that cluster holds at most `fraction` of the border.
    void RemoveMinorityColours(double fraction);
    // Weights the first interior ring for the seam blend; after the cleaning.
    void ComputeSeamWeights();
    // The orientation whose source border correlates best with the target border, for a source square
    // whose top-left is that of `source`.
    int BestReflection(const TQpRect& source) const;
    // Writes the footprint's interior from the source square at (sourceX, sourceY). False, with nothing
    // written, for an unknown mode or orientation.
    bool Transfer(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend, int mode,
                  int order);

    const TBorderArea8& Border() const { return m_border; }
    const TBorderArea8& Interior() const { return m_interior; }
    const TQpRect& TargetRect() const { return m_target; }
    const TQpRect& ImageRect() const { return m_image; }

private:
    struct TPixel
    {
        std::int32_t Blue;
        std::int32_t Green;
        std::int32_t Red;
    };

    bool InsideImage(std::int32_t x, std::int32_t y) const
    {
        return x >= m_image.Left && x < m_image.Right && y >= m_image.Top && y < m_image.Bottom;
    }
    bool IsBorderPixel(std::int32_t x, std::int32_t y, std::int32_t reach) const;
    static TPixel Read(const TQpPixels& pixels, std::int32_t x, std::int32_t y);
    void Write(std::int32_t x, std::int32_t y, const TPixel& pixel);
    // Blends the new colour into the one before by the pixel's seam weights.
    TPixel Blend(std::int32_t index, const TPixel& before, const TPixel& next) const;

    void TransferCopy(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend);
    void TransferBrightness(std::int32_t sourceX, std::int32_t sourceY, int orientation, int order);
    void TransferColour(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend, int order);

    std::int32_t m_width;
    std::int32_t m_height;
    std::int32_t m_squaredRadius;
    TQpRect m_image;
    std::int32_t m_left;
    std::int32_t m_top;
    std::vector<std::uint8_t> m_mask; // [x][y]: x * height + y
    TQpPixels& m_destination;
    const TQpPixels& m_source;
    TBorderArea8 m_border;
    TBorderArea8 m_interior;
    TQpRect m_target;
};
