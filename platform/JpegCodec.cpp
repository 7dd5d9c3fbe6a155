#include "platform/JpegCodec.h"

#include "platform/ImageCodec.h"
#include "platform/JpegLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace platform {

namespace {

bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    return std::fclose(file) == 0 && written;
}

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// The basis of the forward DCT: cos((2x + 1) u pi / 16), with the DC scale folded in.
struct TDctBasis
{
    double Value[8][8];
    TDctBasis()
    {
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x)
                Value[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * M_PI / 16.0);
    }
};

} // namespace

bool TJpegCodec::Load(const std::string& path, TQpPixelBuffer& pixels)
{
    std::vector<std::uint8_t> bytes;
    if (!TImageCodec::ReadFileBytes(path, bytes)) {
        Release();
        return false;
    }
    return LoadMemory(std::move(bytes), pixels);
}

bool TJpegCodec::LoadMemory(std::vector<std::uint8_t> bytes, TQpPixelBuffer& pixels)
{
    const TPixelAllocator allocate = [&pixels](int width, int height) -> TQpPixels* {
        return pixels.SetFormatAndBounds(pfBGR24, TQpRect{0, 0, width, height}) ? &pixels : nullptr;
    };
    if (LoadMemory(std::move(bytes), allocate))
        return true;
    pixels.Release();
    return false;
}

bool TJpegCodec::Load(const std::string& path, const TPixelAllocator& allocate)
{
    std::vector<std::uint8_t> bytes;
    if (!TImageCodec::ReadFileBytes(path, bytes)) {
        Release();
        return false;
    }
    return LoadMemory(std::move(bytes), allocate);
}

bool TJpegCodec::LoadMemory(std::vector<std::uint8_t> bytes, const TPixelAllocator& allocate)
{
    Release();
    m_bytes = std::move(bytes);
    if (TImageCodec::DetectFormat(m_bytes.data(), m_bytes.size()) != TRawFormat::Jpeg) {
        Release();
        return false;
    }
    // The coefficients wait in the bytes until an edit needs them, so opening costs one plain decode. A
    // file cut short has no whole coefficients to keep: it opens as plain pixels.
    TImageInfo info;
    if (!ReadCoefficients(true) ||
        !TImageCodec::DecodeMemory(m_bytes.data(), m_bytes.size(), allocate, info) || info.Width != m_width ||
        info.Height != m_height || info.Damaged) {
        Release();
        return false;
    }
    m_holds = true;
    m_inStep = true;
    m_pristine = true;
    return true;
}

bool TJpegCodec::ReadCoefficients(bool headerOnly)
{
    TJpegReader reader;
    if (!reader.Read(m_bytes.data(), m_bytes.size(), headerOnly))
        return false;
    TJpegHeader& header = reader.Header();
    m_width = header.Width;
    m_height = header.Height;
    m_maxH = header.MaxH;
    m_maxV = header.MaxV;
    m_progressive = header.Progressive;
    m_jfif = header.Jfif;
    m_densityUnit = header.DensityUnit;
    m_densityX = header.DensityX;
    m_densityY = header.DensityY;
    m_components.clear();
    m_components.resize(header.Components.size());
    for (std::size_t c = 0; c < header.Components.size(); ++c) {
        const TJpegHeader::TComponent& source = header.Components[c];
        TComponent& component = m_components[c];
        component.Id = source.Id;
        component.H = source.H;
        component.V = source.V;
        component.QuantSlot = source.QuantSlot;
        m_quant[component.QuantSlot] = header.Quant[component.QuantSlot];
    }
    m_markers.clear();
    for (TJpegHeader::TMarker& marker : header.Markers)
        m_markers.push_back({marker.Code, std::move(marker.Data)});
    SizeGrids();
    m_coefficientsRead = false;
    if (headerOnly)
        return true;
    const std::size_t count = m_components.size();
    std::array<int, 4> wide{}, high{};
    std::array<TJpegCoefficients, 4> coefficients;
    for (std::size_t c = 0; c < count; ++c) {
        wide[c] = m_components[c].BlocksWide;
        high[c] = m_components[c].BlocksHigh;
    }
    if (!reader.TakeCoefficients(wide.data(), high.data(), coefficients.data()))
        return false;
    for (std::size_t c = 0; c < count; ++c)
        m_components[c].Coefs = std::move(coefficients[c]);
    m_coefficientsRead = true;
    return true;
}

void TJpegCodec::SizeGrids()
{
    const int unitsWide = CeilDiv(m_width, BlockWidth());
    const int unitsHigh = CeilDiv(m_height, BlockHeight());
    for (TComponent& component : m_components) {
        component.BlocksWide = unitsWide * component.H;
        component.BlocksHigh = unitsHigh * component.V;
        component.Coefs.Free();
    }
}

bool TJpegCodec::EnsureCoefficients()
{
    if (m_coefficientsRead)
        return true;
    if (!m_inStep)
        return false;
    if (ReadCoefficients(false))
        return true;
    LoseStep();
    return false;
}

bool TJpegCodec::TransformBytes(TJpegByteTransform transform, const TQpRect* crop)
{
    if (m_coefficientsRead || !m_inStep || !m_pristine)
        return false;
    std::vector<std::uint8_t> transformed;
    if (!TransformJpegBytes(m_bytes, transform, crop, transformed))
        return false;
    std::vector<std::uint8_t> previous = std::move(m_bytes);
    m_bytes = std::move(transformed);
    if (ReadCoefficients(true))
        return true;
    m_bytes = std::move(previous);
    ReadCoefficients(true);
    return false;
}

void TJpegCodec::Release()
{
    m_holds = m_inStep = m_pristine = m_coefficientsRead = false;
    m_width = m_height = 0;
    m_maxH = m_maxV = 1;
    m_components.clear();
    m_markers.clear();
    m_bytes.clear();
    m_bytes.shrink_to_fit();
}

void TJpegCodec::Sampling(std::uint16_t& horizontal, std::uint16_t& vertical) const
{
    horizontal = static_cast<std::uint16_t>(m_maxH);
    vertical = static_cast<std::uint16_t>(m_maxV);
}

const std::int16_t* TJpegCodec::Block(int component, int blockX, int blockY) const
{
    // Reading is lazy; what the codec holds does not change by it.
    const_cast<TJpegCodec*>(this)->EnsureCoefficients();
    const TComponent& c = m_components[component];
    return c.Coefs.data() + (static_cast<std::size_t>(blockY) * c.BlocksWide + blockX) * 64;
}

void TJpegCodec::LoseStep()
{
    m_inStep = false;
    m_pristine = false;
    for (TComponent& component : m_components) {
        component.Coefs.Free();
    }
}

void TJpegCodec::Transform(TOp op)
{
    m_pristine = false;
    if (op == TOp::Transpose) {
        std::swap(m_width, m_height);
        std::swap(m_maxH, m_maxV);
        std::array<bool, 4> done{};
        for (TComponent& component : m_components) {
            std::swap(component.H, component.V);
            if (!done[component.QuantSlot]) {
                done[component.QuantSlot] = true;
                auto& table = m_quant[component.QuantSlot];
                for (int v = 0; v < 8; ++v)
                    for (int u = v + 1; u < 8; ++u)
                        std::swap(table[v * 8 + u], table[u * 8 + v]);
            }
        }
    }
    if (!m_inStep)
        return;
    for (TComponent& component : m_components) {
        const int wide = component.BlocksWide;
        const int high = component.BlocksHigh;
        std::int16_t* coefs = component.Coefs.data();
        const std::size_t count = component.Coefs.size();
        switch (op) {
        case TOp::HFlip:
            for (int y = 0; y < high; ++y)
                for (int x = 0; x < wide / 2; ++x)
                    std::swap_ranges(coefs + (static_cast<std::ptrdiff_t>(y) * wide + x) * 64,
                                     coefs + (static_cast<std::ptrdiff_t>(y) * wide + x + 1) * 64,
                                     coefs + (static_cast<std::ptrdiff_t>(y) * wide + wide - 1 - x) * 64);
            for (std::size_t b = 0; b < count; b += 64)
                for (int k = 1; k < 64; k += 2) // odd horizontal frequencies change sign
                    coefs[b + k] = static_cast<std::int16_t>(-coefs[b + k]);
            break;
        case TOp::VFlip:
            for (int y = 0; y < high / 2; ++y)
                std::swap_ranges(coefs + static_cast<std::ptrdiff_t>(y) * wide * 64,
                                 coefs + static_cast<std::ptrdiff_t>(y + 1) * wide * 64,
                                 coefs + static_cast<std::ptrdiff_t>(high - 1 - y) * wide * 64);
            for (std::size_t b = 0; b < count; b += 64)
                for (int k = 8; k < 64; ++k)
                    if ((k / 8) % 2 == 1)
                        coefs[b + k] = static_cast<std::int16_t>(-coefs[b + k]);
            break;
        case TOp::Transpose: {
            TCoefficients turned;
            if (!turned.Allocate(count)) {
                LoseStep();
                return;
            }
            for (int y = 0; y < high; ++y)
                for (int x = 0; x < wide; ++x) {
                    const std::int16_t* from = coefs + (static_cast<std::size_t>(y) * wide + x) * 64;
                    std::int16_t* to = turned.data() + (static_cast<std::size_t>(x) * high + y) * 64;
                    for (int v = 0; v < 8; ++v)
                        for (int u = 0; u < 8; ++u)
                            to[u * 8 + v] = from[v * 8 + u];
                }
            component.Coefs = std::move(turned);
            std::swap(component.BlocksWide, component.BlocksHigh);
            break;
        }
        }
    }
}

bool TJpegCodec::RotateRight()
{
    // Clockwise = transpose, then mirror; the old bottom edge becomes the left edge.
    if (m_height % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJpegByteTransform::RotateRight, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::Transpose);
    Transform(TOp::HFlip);
    return m_inStep;
}

bool TJpegCodec::RotateLeft()
{
    if (m_width % BlockWidth() != 0)
        LoseStep();
    if (TransformBytes(TJpegByteTransform::RotateLeft, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::Transpose);
    Transform(TOp::VFlip);
    return m_inStep;
}

bool TJpegCodec::FlipHorizontal()
{
    if (m_width % BlockWidth() != 0)
        LoseStep();
    if (TransformBytes(TJpegByteTransform::FlipHorizontal, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::HFlip);
    return m_inStep;
}

bool TJpegCodec::FlipVertical()
{
    if (m_height % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJpegByteTransform::FlipVertical, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::VFlip);
    return m_inStep;
}

bool TJpegCodec::Crop(const TQpRect& rect)
{
    if (rect.IsEmpty() || rect.Left < 0 || rect.Top < 0 || rect.Right > m_width || rect.Bottom > m_height)
        return false;
    if (rect == TQpRect{0, 0, m_width, m_height})
        return m_inStep;
    if (rect.Left % BlockWidth() != 0 || rect.Top % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJpegByteTransform::None, &rect))
        return true;
    EnsureCoefficients();
    m_pristine = false;
    const int unitLeft = rect.Left / BlockWidth();
    const int unitTop = rect.Top / BlockHeight();
    m_width = rect.Width();
    m_height = rect.Height();
    if (!m_inStep)
        return false;
    for (TComponent& component : m_components) {
        const int wide = CeilDiv(m_width, BlockWidth()) * component.H;
        const int high = CeilDiv(m_height, BlockHeight()) * component.V;
        TCoefficients cropped;
        if (!cropped.Allocate(static_cast<std::size_t>(wide) * high * 64)) {
            LoseStep();
            return false;
        }
        for (int y = 0; y < high; ++y)
            std::memcpy(cropped.data() + static_cast<std::size_t>(y) * wide * 64,
                        component.Coefs.data() +
                            ((static_cast<std::size_t>(unitTop) * component.V + y) * component.BlocksWide +
                             static_cast<std::size_t>(unitLeft) * component.H) *
                                64,
                        static_cast<std::size_t>(wide) * 64 * sizeof(std::int16_t));
        component.Coefs = std::move(cropped);
        component.BlocksWide = wide;
        component.BlocksHigh = high;
    }
    return true;
}

void TJpegCodec::Resized(int width, int height)
{
    if (width == m_width && height == m_height)
        return;
    LoseStep();
    m_width = width;
    m_height = height;
}

void TJpegCodec::EncodeUnit(const TQpPixels& pixels, const TQpRect& region, int unitX, int unitY,
                            std::vector<TOutputComponent>& components) const
{
    static const TDctBasis basis;
    const int unitW = BlockWidth();
    const int unitH = BlockHeight();
    // Colour planes of the unit, edge pixels repeated beyond the region as libjpeg pads them.
    double planes[3][32][32];
    for (int y = 0; y < unitH; ++y) {
        const int sy = std::min(region.Top + unitY * unitH + y, region.Bottom - 1);
        for (int x = 0; x < unitW; ++x) {
            const int sx = std::min(region.Left + unitX * unitW + x, region.Right - 1);
            const std::uint8_t* p = pixels.PixelPtr(sx, sy);
            const double b = p[0], g = p[1], r = p[2];
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b;
            planes[1][y][x] = -0.168735892 * r - 0.331264108 * g + 0.5 * b + 128.0;
            planes[2][y][x] = 0.5 * r - 0.418687589 * g - 0.081312411 * b + 128.0;
        }
    }
    for (std::size_t c = 0; c < components.size(); ++c) {
        const TComponent& component = m_components[c];
        TOutputComponent& output = components[c];
        const int stepX = m_maxH / component.H;
        const int stepY = m_maxV / component.V;
        const std::uint16_t* quant = m_quant[component.QuantSlot].data();
        for (int by = 0; by < component.V; ++by)
            for (int bx = 0; bx < component.H; ++bx) {
                double samples[8][8];
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        double sum = 0;
                        for (int dy = 0; dy < stepY; ++dy)
                            for (int dx = 0; dx < stepX; ++dx)
                                sum += planes[c][(by * 8 + y) * stepY + dy][(bx * 8 + x) * stepX + dx];
                        samples[y][x] = sum / (stepX * stepY) - 128.0;
                    }
                double rows[8][8]; // horizontal transform of each row
                for (int y = 0; y < 8; ++y)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int x = 0; x < 8; ++x)
                            sum += basis.Value[u][x] * samples[y][x];
                        rows[y][u] = sum;
                    }
                std::int16_t* block =
                    output.UnitRows[unitY] + (static_cast<std::size_t>(by) * output.BlocksWide +
                                              static_cast<std::size_t>(unitX) * component.H + bx) *
                                                 64;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int y = 0; y < 8; ++y)
                            sum += basis.Value[v][y] * rows[y][u];
                        const double q = std::nearbyint(sum / quant[v * 8 + u]);
                        block[v * 8 + u] = static_cast<std::int16_t>(Clamp(q, -32767.0, 32767.0));
                    }
            }
    }
}

bool TJpegCodec::Save(const std::string& path, const TQpPixels& current, const TQpPixels* reference,
                      const TQpRect& region, TJpegSaveMode mode, const TQpRect* changed)
{
    if (!m_holds || current.Format != pfBGR24 || current.Width != m_width || current.Height != m_height ||
        region.IsEmpty() || region.Left < 0 || region.Top < 0 || region.Right > m_width ||
        region.Bottom > m_height)
        return false;
    const bool referenceFits = reference && reference->Format == pfBGR24 && reference->Width == m_width &&
                               reference->Height == m_height;
    const bool aligned = mode == TJpegSaveMode::KeepUnchangedBlocks && referenceFits && m_inStep &&
                         region.Left % BlockWidth() == 0 && region.Top % BlockHeight() == 0;
    const TQpRect suspect = changed ? IntersectRect(*changed, region) : region;
    auto sameRows = [&](int left, int top, int right, int bottom) {
        const TQpRect rows = IntersectRect({left, top, right, bottom}, suspect);
        for (int y = rows.Top; y < rows.Bottom; ++y)
            if (std::memcmp(current.PixelPtr(rows.Left, y), reference->PixelPtr(rows.Left, y),
                            static_cast<std::size_t>(rows.Width()) * 3) != 0)
                return false;
        return true;
    };
    const TQpRect whole{0, 0, m_width, m_height};
    m_lastSaveCopied = false;
    if (aligned && m_pristine && region == whole && sameRows(0, 0, m_width, m_height)) {
        m_lastSaveCopied = WriteBytes(path, m_bytes.data(), m_bytes.size());
        return m_lastSaveCopied;
    }
    const bool keep = aligned && EnsureCoefficients();

    const int unitsWide = CeilDiv(region.Width(), BlockWidth());
    const int unitsHigh = CeilDiv(region.Height(), BlockHeight());
    // The units to encode, found first so that only their rows need storage of their own.
    std::vector<std::uint8_t> encode(static_cast<std::size_t>(unitsWide) * unitsHigh, keep ? 0 : 1);
    std::vector<int> bandRows; // rows of units holding one to encode
    for (int unitY = 0; unitY < unitsHigh; ++unitY) {
        const int top = region.Top + unitY * BlockHeight();
        const int bottom = std::min(top + BlockHeight(), region.Bottom);
        bool any = !keep;
        // Whole rows first: one comparison per row finds the unchanged rows of units, which are nearly all.
        if (keep && !sameRows(region.Left, top, region.Right, bottom))
            for (int unitX = 0; unitX < unitsWide; ++unitX) {
                const int left = region.Left + unitX * BlockWidth();
                if (!sameRows(left, top, std::min(left + BlockWidth(), region.Right), bottom)) {
                    encode[static_cast<std::size_t>(unitY) * unitsWide + unitX] = 1;
                    any = true;
                }
            }
        if (any)
            bandRows.push_back(unitY);
    }

    std::vector<TOutputComponent> components(m_components.size());
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        const TComponent& source = m_components[c];
        TOutputComponent& target = components[c];
        target.BlocksWide = unitsWide * source.H;
        target.BlocksHigh = unitsHigh * source.V;
        const std::size_t rowLength = static_cast<std::size_t>(target.BlocksWide) * 64;
        target.Rows.assign(static_cast<std::size_t>(target.BlocksHigh), nullptr);
        target.UnitRows.assign(static_cast<std::size_t>(unitsHigh), nullptr);
        if (!target.Band.Allocate(bandRows.size() * source.V * rowLength))
            return false;
        const int offsetX = region.Left / BlockWidth() * source.H;
        const int offsetY = region.Top / BlockHeight() * source.V;
        auto sourceRow = [&](int y) {
            return source.Coefs.data() +
                   ((static_cast<std::size_t>(offsetY) + y) * source.BlocksWide + offsetX) * 64;
        };
        if (keep)
            for (int y = 0; y < target.BlocksHigh; ++y)
                target.Rows[y] = sourceRow(y);
        for (std::size_t band = 0; band < bandRows.size(); ++band) {
            const int unitY = bandRows[band];
            std::int16_t* rows = target.Band.data() + band * source.V * rowLength;
            target.UnitRows[unitY] = rows;
            for (int by = 0; by < source.V; ++by) {
                const int y = unitY * source.V + by;
                if (keep)
                    std::memcpy(rows + by * rowLength, sourceRow(y), rowLength * sizeof(std::int16_t));
                target.Rows[y] = rows + by * rowLength;
            }
        }
    }
    for (int unitY : bandRows)
        for (int unitX = 0; unitX < unitsWide; ++unitX)
            if (encode[static_cast<std::size_t>(unitY) * unitsWide + unitX])
                EncodeUnit(current, region, unitX, unitY, components);
    return Write(path, components, region.Width(), region.Height());
}

bool TJpegCodec::Write(const std::string& path, const std::vector<TOutputComponent>& components, int width,
                       int height) const
{
    TJpegWriteJob job;
    job.Width = width;
    job.Height = height;
    job.Components.resize(components.size());
    std::array<bool, 4> slotUsed{};
    for (std::size_t c = 0; c < components.size(); ++c) {
        const TComponent& component = m_components[c];
        TJpegWriteJob::TComponent& target = job.Components[c];
        target.Id = component.Id;
        target.H = component.H;
        target.V = component.V;
        target.QuantSlot = component.QuantSlot;
        target.BlocksWide = components[c].BlocksWide;
        target.BlocksHigh = components[c].BlocksHigh;
        target.Rows = components[c].Rows.data();
        slotUsed[component.QuantSlot] = true;
    }
    for (int slot = 0; slot < 4; ++slot)
        job.Quant[slot] = slotUsed[slot] ? m_quant[slot].data() : nullptr;
    job.Progressive = m_progressive;
    job.Jfif = m_jfif || components.size() != 1;
    job.DensityUnit = m_jfif ? m_densityUnit : 0;
    job.DensityX = m_jfif ? m_densityX : 1;
    job.DensityY = m_jfif ? m_densityY : 1;
    for (const TMarker& marker : m_markers)
        job.Markers.push_back({marker.Code, marker.Data.data(), static_cast<unsigned>(marker.Data.size())});

    TJpegBuffer output(nullptr, &std::free);
    std::size_t size = 0;
    return WriteJpegCoefficients(job, output, size) && WriteBytes(path, output.get(), size);
}

} // namespace platform
