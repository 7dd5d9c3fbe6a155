#pragma once
// The lossless codec's calls into libjpeg and TurboJPEG: reading a file's header and quantised
// coefficients, writing coefficients with given tables and markers, and TurboJPEG's lossless transforms
// of a file's bytes. libjpeg reports errors by longjmp; that stays inside these functions, and none of the
// libraries' types appears here.

#include "imaging/QpPixels.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {

class TJpegCoefficients;

// What a file's header says, as the codec keeps it.
struct TJpegHeader
{
    struct TComponent
    {
        int Id = 0;
        int H = 1;
        int V = 1;
        int QuantSlot = 0;
    };
    struct TMarker
    {
        int Code = 0;
        std::vector<std::uint8_t> Data;
    };

    int Width = 0;
    int Height = 0;
    int MaxH = 1;
    int MaxV = 1;
    bool Progressive = false;
    bool Jfif = false;
    int DensityUnit = 0;
    int DensityX = 1;
    int DensityY = 1;
    std::vector<TComponent> Components;
    // Indexed by table slot; only the slots the components use are filled.
    std::array<std::array<std::uint16_t, 64>, 4> Quant{};
    // The saved markers except JFIF and Adobe, which the writer makes itself.
    std::vector<TMarker> Markers;
};

// One reading of a JPEG file: its header and, when asked, its quantised coefficients, which the decoder
// writes straight into storage of the codec's own kind. The file's bytes must outlive the reader.
class TJpegReader
{
public:
    TJpegReader();
    ~TJpegReader();
    TJpegReader(const TJpegReader&) = delete;
    TJpegReader& operator=(const TJpegReader&) = delete;

    // False for anything but a readable 8-bit YCbCr or grey JPEG of one to three components within the
    // size limits, with every quantisation table its components name, and for a file that ends early.
    bool Read(const std::uint8_t* data, std::size_t size, bool headerOnly);
    TJpegHeader& Header() { return m_header; }
    // After a full Read: each component's blocks into `coefficients[c]`, a grid of `blocksWide[c]` x
    // `blocksHigh[c]` blocks of 64, rows top to bottom; blocks the file lacks are zero.
    bool TakeCoefficients(const int* blocksWide, const int* blocksHigh, TJpegCoefficients* coefficients);
    // After a Read that met the end of the data early: see JpegCutExtent.
    bool CutExtent(int& rows, bool& laterPasses) const;

private:
    struct TState;
    std::unique_ptr<TState> m_state;
    TJpegHeader m_header;
};

// What the codec writes: sizes, components with their rows of blocks, tables, JFIF density and markers.
struct TJpegWriteJob
{
    struct TComponent
    {
        int Id = 0;
        int H = 1;
        int V = 1;
        int QuantSlot = 0;
        int BlocksWide = 0;
        int BlocksHigh = 0;
        const std::int16_t* const* Rows = nullptr; // BlocksHigh rows of BlocksWide blocks of 64
    };
    struct TMarker
    {
        int Code = 0;
        const std::uint8_t* Data = nullptr;
        unsigned Length = 0;
    };

    int Width = 0;
    int Height = 0;
    std::vector<TComponent> Components; // one to four
    const std::uint16_t* Quant[4] = {}; // by slot; null for a slot no component uses
    bool Progressive = false;
    bool Jfif = false;
    int DensityUnit = 0;
    int DensityX = 1;
    int DensityY = 1;
    std::vector<TMarker> Markers;
};

// The bytes libjpeg wrote, freed the way it allocated them.
using TJpegBuffer = std::unique_ptr<unsigned char, decltype(&std::free)>;

// Encodes the coefficients as they are, with the job's tables and Huffman defaults, into memory.
bool WriteJpegCoefficients(const TJpegWriteJob& job, TJpegBuffer& output, std::size_t& size);

// For a file that ends early: how many image rows, from the top, the data reached, and whether only the
// later passes of a progressive file are missing (then every row is there with less detail). False for
// a file that does not end early.
bool JpegCutExtent(const std::uint8_t* data, std::size_t size, int& rows, bool& laterPasses);

// TurboJPEG's lossless transforms of a file's bytes.
enum class TJpegByteTransform
{
    None,
    FlipHorizontal,
    FlipVertical,
    RotateRight,
    RotateLeft
};

// The transformed file, cut to `crop` of the result when one is given. False when the transform cannot
// be done on whole blocks.
bool TransformJpegBytes(const std::vector<std::uint8_t>& bytes, TJpegByteTransform transform,
                        const TQpRect* crop, std::vector<std::uint8_t>& output);

} // namespace platform
