#pragma once
// A JPEG file held as its quantised DCT coefficients, so that it can be turned, flipped, cropped and saved
// without generation loss. The codec keeps the file's bytes, its coefficient blocks per component, its
// quantisation tables, sampling and extra markers. The coefficients are read from the bytes only when an
// edit needs them: until then turns, flips and crops transform the bytes themselves. Geometry operations move
// whole blocks in the DCT domain; an operation that would cut through blocks (an edge that is not a multiple
// of the block size) leaves the coefficients out of step, and the next save re-encodes everything with the
// file's own tables. Saving compares the pixels it is given with the reference pixels the coefficients were
// decoded to and re-encodes only the blocks that differ; an untouched file is written back byte for byte.

#include "imaging/PageAllocator.h"
#include "imaging/QpPixels.h"
#include "platform/ImageCodec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum class TJpegByteTransform;

enum class TJpegSaveMode
{
    ReencodeAll = 0,         // every block from the pixels, with the file's tables and sampling
    KeepUnchangedBlocks = 2, // blocks whose pixels equal the reference keep their coefficients
};

// Quantised coefficients, 64 per block, in zero-filled page storage: a decoder writes only the coefficients
// that are not zero, and large grids get huge pages, so filling one costs few page faults.
class TJpegCoefficients
{
public:
    // `count` zeros; false, and empty, when memory is short.
    bool Allocate(std::size_t count) { return m_pages.Allocate(count * sizeof(std::int16_t)); }
    void Free() { m_pages.Free(); }
    std::int16_t* data() const { return reinterpret_cast<std::int16_t*>(m_pages.Data()); }
    std::size_t size() const { return m_pages.Size() / sizeof(std::int16_t); }

private:
    TPageBlock m_pages;
};

class TJpegCodec
{
public:
    TJpegCodec() = default;
    TJpegCodec(const TJpegCodec&) = delete;
    TJpegCodec& operator=(const TJpegCodec&) = delete;

    // Reads the file, decodes its pixels into `pixels` (pfBGR24, origin (0, 0)) and its coefficients,
    // both at once. False, with the codec empty, for anything but a readable 8-bit YCbCr or grey JPEG
    // within the size limits.
    bool Load(const std::string& path, TQpPixelBuffer& pixels);
    bool LoadMemory(std::vector<std::uint8_t> bytes, TQpPixelBuffer& pixels);
    // The same, decoding into storage the caller provides; after a failure it may hold part of an image.
    bool Load(const std::string& path, const TPixelAllocator& allocate);
    bool LoadMemory(std::vector<std::uint8_t> bytes, const TPixelAllocator& allocate);
    void Release();

    bool HoldsImage() const { return m_holds; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The grid a lossless crop is aligned to: one minimum coded unit.
    int BlockWidth() const { return 8 * m_maxH; }
    int BlockHeight() const { return 8 * m_maxV; }
    // Largest horizontal and vertical sampling factor.
    void Sampling(std::uint16_t& horizontal, std::uint16_t& vertical) const;
    // False once an operation could not be done on whole blocks; saving then re-encodes every block.
    bool CoefficientsInStep() const { return m_inStep; }

    // Each returns whether it stayed lossless.
    bool RotateLeft();
    bool RotateRight();
    bool FlipHorizontal();
    bool FlipVertical();
    // `rect` lies inside the image. Lossless when its left and top are multiples of the block size.
    bool Crop(const TQpRect& rect);
    // The image was resampled to a new size: only the tables and sampling remain useful.
    void Resized(int width, int height);
    // The pixels were replaced by others (a snapshot restored): no block can be matched to them any more.
    void Detach() { LoseStep(); }

    // Writes `region` of `current` (an image of Width x Height) to `path`. With a reference (the pixels
    // the coefficients decode to, in the same geometry) and KeepUnchangedBlocks, blocks whose pixels
    // equal the reference keep their coefficients; a file that is wholly unchanged is copied as loaded.
    // `changed`, when given, bounds where `current` can differ from the reference: only blocks meeting it
    // are compared, and an empty one means nothing changed.
    bool Save(const std::string& path, const TQpPixels& current, const TQpPixels* reference,
              const TQpRect& region, TJpegSaveMode mode, const TQpRect* changed = nullptr);

    // For tests and tools that inspect the data; reading a block reads the coefficients.
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    int BlocksWide(int component) const { return m_components[component].BlocksWide; }
    int BlocksHigh(int component) const { return m_components[component].BlocksHigh; }
    // The 64 coefficients of one block in natural (row-major) order.
    const std::int16_t* Block(int component, int blockX, int blockY) const;
    // Whether the coefficients have been read from the bytes yet.
    bool CoefficientsRead() const { return m_coefficientsRead; }
    // Whether the last Save wrote the held bytes as they were.
    bool LastSaveCopied() const { return m_lastSaveCopied; }
    const std::uint16_t* QuantTable(int component) const
    {
        return m_quant[m_components[component].QuantSlot].data();
    }

private:
    using TCoefficients = TJpegCoefficients;

    struct TComponent
    {
        int Id = 0;
        int H = 1;
        int V = 1;
        int QuantSlot = 0;
        int BlocksWide = 0;
        int BlocksHigh = 0;
        TCoefficients Coefs; // 64 per block, rows of blocks top to bottom
    };
    // A component of a file being written. Its rows of blocks are read where they lie: kept ones in the
    // codec's coefficients, re-encoded ones in Band, which holds only the rows of units that changed.
    struct TOutputComponent
    {
        int BlocksWide = 0;
        int BlocksHigh = 0;
        std::vector<const std::int16_t*> Rows; // one per row of blocks
        std::vector<std::int16_t*> UnitRows;   // per row of units: its first row in Band, or null
        TCoefficients Band;
    };
    struct TMarker
    {
        int Code = 0;
        std::vector<std::uint8_t> Data;
    };
    enum class TOp
    {
        HFlip,
        VFlip,
        Transpose
    };

    // The header (sizes, sampling, tables, markers) and, unless `headerOnly`, the coefficients of m_bytes.
    bool ReadCoefficients(bool headerOnly);
    bool EnsureCoefficients();
    // A lossless transform of the bytes themselves; false when it cannot be done that way.
    bool TransformBytes(TJpegByteTransform transform, const TQpRect* crop);
    void Transform(TOp op);
    void LoseStep();
    void SizeGrids();
    bool Write(const std::string& path, const std::vector<TOutputComponent>& components, int width,
               int height) const;
    void EncodeUnit(const TQpPixels& pixels, const TQpRect& region, int unitX, int unitY,
                    std::vector<TOutputComponent>& components) const;

    bool m_holds = false;
    bool m_inStep = false;
    bool m_pristine = false; // m_bytes hold the coefficients exactly
    bool m_coefficientsRead = false;
    bool m_lastSaveCopied = false;
    int m_width = 0;
    int m_height = 0;
    int m_maxH = 1;
    int m_maxV = 1;
    bool m_progressive = false;
    bool m_jfif = false;
    int m_densityUnit = 0;
    int m_densityX = 1;
    int m_densityY = 1;
    std::vector<TComponent> m_components;
    std::array<std::array<std::uint16_t, 64>, 4> m_quant{};
    std::vector<TMarker> m_markers;
    std::vector<std::uint8_t> m_bytes;
};

} // namespace platform
