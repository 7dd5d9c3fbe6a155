#pragma once
// A list of footprint pixels of a W x H target square: for each pixel its position under each of the
// eight area reflections and its seam weights. The area correlator owns one list for the footprint's
// border and one for its interior.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Orientation indices of the area reflections.
enum TAreaReflection : int
{
    arNorth = 0,       // unchanged
    arNorthReflex = 1, // mirrored left-right
    arEast = 2,        // a quarter turn
    arEastReflex = 3,  // mirrored about the main diagonal
    arSouth = 4,       // a half turn
    arSouthReflex = 5, // mirrored top-bottom
    arWest = 6,        // mirrored about the anti-diagonal
    arWestReflex = 7,  // three quarter turns
};
constexpr int kReflectionCount = 8;

struct TRelativePoint
{
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TRelativePoint&, const TRelativePoint&) = default;
};

// The source position, relative to the source square, of the pixel at (a, b) relative to a W x H target
// square under the given orientation (0-7).
TRelativePoint ReflectedPosition(int orientation, std::int32_t a, std::int32_t b, std::int32_t width,
                                 std::int32_t height);

struct TPlaceEntry
{
    std::int32_t RelativeX = 0;
    std::int32_t RelativeY = 0;
    std::int32_t AbsoluteX = 0;
    std::int32_t AbsoluteY = 0;
};

// Entry k holds the orientation-k position; entry 0's absolute pair is the pixel's image position.
struct TPlaceRecord
{
    std::array<TPlaceEntry, kReflectionCount> Entries;
};

struct TSeamRecord
{
    std::uint8_t Removed = 0;
    std::int32_t DeepWeight = 0;   // contact with interior pixels that do not touch the border
    std::int32_t BorderWeight = 0; // contact with the border
};

class TBorderArea8
{
public:
    // Records are allocated for this many at first and then in steps of at least this many.
    static constexpr std::size_t kGrowth = 512;

    // The square has its top-left at (originX, originY) in image coordinates; negative sides become 0.
    TBorderArea8(std::int32_t originX, std::int32_t originY, std::int32_t width, std::int32_t height);

    // Appends the pixel at (a, b) relative to the square, with all eight oriented places and zero seams.
    void Add(std::int32_t a, std::int32_t b);
    // Empties the list; the room stays.
    void Clear();
    // Makes room for `count` records at once, for a caller that knows how many are coming.
    void Reserve(std::size_t count);
    // The first record whose image position is (x, y), or -1.
    std::int32_t IndexOf(std::int32_t x, std::int32_t y) const;
    bool Contains(std::int32_t x, std::int32_t y) const { return IndexOf(x, y) >= 0; }
    void SetRemoved(std::int32_t index, bool removed);
    // Drops the removed records, keeping the order of the others.
    void Compact();
    std::int32_t DeepWeight(std::int32_t index) const { return Seam(index).DeepWeight; }
    std::int32_t BorderWeight(std::int32_t index) const { return Seam(index).BorderWeight; }
    bool TouchesBorder(std::int32_t index) const { return BorderWeight(index) > 0; }
    // Called on the interior list: weights the first ring of interior pixels by their contact with
    // `border` (border weight) and with the rest of the interior (deep weight). Starts from zero weights,
    // so calling it again gives the same weights.
    void ComputeSeamWeights(const TBorderArea8& border);

    std::int32_t Count() const { return static_cast<std::int32_t>(m_places.size()); }
    std::size_t Capacity() const { return m_places.capacity(); }
    const TPlaceRecord& Place(std::int32_t index) const { return m_places[static_cast<std::size_t>(index)]; }
    const TSeamRecord& Seam(std::int32_t index) const { return m_seams[static_cast<std::size_t>(index)]; }
    std::int32_t OriginX() const { return m_originX; }
    std::int32_t OriginY() const { return m_originY; }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }

private:
    // Square cell of an image position, or -1 outside the square.
    std::ptrdiff_t CellOf(std::int32_t x, std::int32_t y) const;
    void RebuildLookup();

    std::vector<TPlaceRecord> m_places;
    std::vector<TSeamRecord> m_seams;
    std::int32_t m_originX;
    std::int32_t m_originY;
    std::int32_t m_width;
    std::int32_t m_height;
    // First record per square cell (-1 for none), so IndexOf is one lookup; records that lie outside the
    // square (only through a direct Add) are searched linearly.
    std::vector<std::int32_t> m_firstIndex;
    std::int32_t m_outsideCount = 0;
};
