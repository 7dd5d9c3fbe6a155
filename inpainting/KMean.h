#pragma once
// Colour histogram and k-means clustering in RGB for the long-defect cleaning of a footprint's border.
// Distinct colours are found through a direct table over all 2^24 packed colours. The table holds a
// colour's list position plus one, so that a fresh table is zero pages the system hands out untouched,
// and it is taken from a process-wide spare and handed back with only the entries this instance wrote
// reset: no cleaning pays for filling 32 MiB. Created for one cleaning and freed at its end.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct TKMeanColour
{
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    std::int32_t Cluster = 0; // index of the centre the colour belongs to
    std::int32_t Count = 0;   // pixels of this colour
};

struct TKMeanCentre
{
    float Blue = 0.0f;
    float Green = 0.0f;
    float Red = 0.0f;
    float SumBlue = 0.0f;
    float SumGreen = 0.0f;
    float SumRed = 0.0f;
    std::int32_t Weight = 0; // pixels assigned in the last iteration
    bool Movable = false;    // only movable centres are recomputed
};

class TKMean
{
public:
    // The table entry of a packed colour that is not in the colour list.
    static constexpr std::uint16_t kNoColour = 0;
    // 16-bit entries with one value reserved for "no colour" leave room for this many distinct colours.
    static constexpr std::size_t kMaxColours = 65535;
    static constexpr std::size_t kColourIndexSize = std::size_t{1} << 24;

    TKMean(std::int32_t colourCapacity, std::int32_t centreCapacity);
    ~TKMean();
    TKMean(const TKMean&) = delete;
    TKMean& operator=(const TKMean&) = delete;

    // Counts one pixel of the packed colour (red * 65536 + green * 256 + blue; higher bits are ignored).
    // A colour not yet listed is appended with cluster 0. False, with nothing counted, when the colour is
    // new and the list already holds kMaxColours colours.
    bool AddColor(std::uint32_t packedColour);
    void AddCentre(std::uint32_t packedColour, bool movable);
    // One assignment and update step; returns the number of reassignments.
    std::int32_t Iterate();

    std::size_t ColourCount() const { return m_colours.size(); }
    std::size_t CentreCount() const { return m_centres.size(); }
    const TKMeanColour& Colour(std::size_t index) const { return m_colours[index]; }
    const TKMeanCentre& Centre(std::size_t index) const { return m_centres[index]; }
    // Position of the packed colour in the colour list, or -1.
    std::int32_t IndexOfColour(std::uint32_t packedColour) const;
    // The pixel-weighted distance sum of the last iteration.
    double Total() const { return m_total; }

    static std::uint32_t PackedColour(const TKMeanColour& colour);

    // Gives a colour table back to the system.
    struct TFree
    {
        void operator()(std::uint16_t* index) const;
    };

private:
    using TColourIndex = std::unique_ptr<std::uint16_t[], TFree>;

    static TColourIndex AcquireIndex();
    static void ReleaseIndex(TColourIndex index);

    TColourIndex m_index;
    std::vector<TKMeanColour> m_colours;
    std::vector<TKMeanCentre> m_centres;
    double m_total = 0.0;
};
