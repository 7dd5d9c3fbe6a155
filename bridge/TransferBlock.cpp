#include "bridge/TransferBlock.h"

#include "bridge/FileMapping.h"

#include <algorithm>
#include <cstring>

namespace {

std::int32_t ReadInt32(const std::uint8_t* p)
{
    const std::uint32_t value = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(value);
}

void WriteInt32(std::uint8_t* p, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    p[0] = static_cast<std::uint8_t>(bits);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
    p[2] = static_cast<std::uint8_t>(bits >> 16);
    p[3] = static_cast<std::uint8_t>(bits >> 24);
}

std::optional<std::size_t> Multiply(std::size_t a, std::size_t b)
{
    std::size_t product;
    if (__builtin_mul_overflow(a, b, &product))
        return std::nullopt;
    return product;
}

std::optional<std::size_t> Add(std::size_t a, std::size_t b)
{
    std::size_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        return std::nullopt;
    return sum;
}

constexpr char kExifTag[4] = {'E', 'X', 'I', 'F'};

} // namespace

bool HasTransferMagic(const std::uint8_t* data, std::size_t size)
{
    return data != nullptr && size >= sizeof kTransferMagic &&
           std::memcmp(data, kTransferMagic, sizeof kTransferMagic) == 0;
}

TTransferDescriptor ReadTransferDescriptor(const std::uint8_t* data)
{
    TTransferDescriptor d;
    d.DescriptorSize = ReadInt32(data + 4);
    d.Mode = ReadInt32(data + 8);
    d.Left = ReadInt32(data + 12);
    d.Top = ReadInt32(data + 16);
    d.Width = ReadInt32(data + 20);
    d.Height = ReadInt32(data + 24);
    d.RowBytes = ReadInt32(data + 28);
    d.Planes = ReadInt32(data + 32);
    return d;
}

void WriteTransferHeader(std::uint8_t* data, const TTransferDescriptor& d)
{
    std::memcpy(data, kTransferMagic, sizeof kTransferMagic);
    WriteInt32(data + 4, d.DescriptorSize);
    WriteInt32(data + 8, d.Mode);
    WriteInt32(data + 12, d.Left);
    WriteInt32(data + 16, d.Top);
    WriteInt32(data + 20, d.Width);
    WriteInt32(data + 24, d.Height);
    WriteInt32(data + 28, d.RowBytes);
    WriteInt32(data + 32, d.Planes);
}

std::optional<std::size_t> TransferBlockSize(std::int32_t height, std::int32_t rowBytes)
{
    if (height < 0 || rowBytes < 0)
        return std::nullopt;
    const auto pixels = Multiply(static_cast<std::size_t>(height), static_cast<std::size_t>(rowBytes));
    return pixels ? Add(kTransferHeaderSize, *pixels) : std::nullopt;
}

std::optional<std::size_t> ProgramRowBytes(std::int32_t width)
{
    if (width < 0)
        return std::nullopt;
    const auto bytes = Multiply(static_cast<std::size_t>(width), 3);
    const auto padded = bytes ? Add(*bytes, 3) : std::nullopt;
    return padded ? std::optional<std::size_t>(*padded & ~std::size_t(3)) : std::nullopt;
}

std::optional<TTransferLayout> CheckTransferBlock(const std::uint8_t* data, std::size_t size,
                                                  TBlockReader reader)
{
    if (!HasTransferMagic(data, size) || size < kTransferHeaderSize)
        return std::nullopt;
    TTransferLayout layout;
    const TTransferDescriptor& d = layout.Descriptor = ReadTransferDescriptor(data);
    if (reader == TBlockReader::Program ? d.DescriptorSize != kTransferDescriptorSize
                                        : d.DescriptorSize < kTransferDescriptorSize)
        return std::nullopt;
    if (d.Width < 1 || d.Height < 1 || d.Planes < 3 || d.RowBytes < 1)
        return std::nullopt;
    const auto pixelBytes = Multiply(static_cast<std::size_t>(d.Width), static_cast<std::size_t>(d.Planes));
    if (!pixelBytes || *pixelBytes > static_cast<std::size_t>(d.RowBytes))
        return std::nullopt;
    layout.PixelOffset = 4 + static_cast<std::size_t>(d.DescriptorSize);
    const auto area = Multiply(static_cast<std::size_t>(d.Height), static_cast<std::size_t>(d.RowBytes));
    const auto end = area ? Add(layout.PixelOffset, *area) : std::nullopt;
    if (!end || *end > size)
        return std::nullopt;
    layout.PixelEnd = *end;

    const std::size_t rest = size - layout.PixelEnd;
    if (rest > kTransferTrailerThreshold &&
        std::memcmp(data + layout.PixelEnd, kExifTag, sizeof kExifTag) == 0) {
        const std::int32_t length = ReadInt32(data + layout.PixelEnd + 4);
        if (length > 0 && static_cast<std::size_t>(length) <= kMaxExifLength &&
            static_cast<std::size_t>(length) <= rest - 8) {
            layout.ExifOffset = layout.PixelEnd + 8;
            layout.ExifLength = static_cast<std::size_t>(length);
        }
    }
    return layout;
}

void BlockToBgr(const std::uint8_t* data, const TTransferLayout& layout, std::uint8_t* bgr,
                std::size_t bgrStride)
{
    const TTransferDescriptor& d = layout.Descriptor;
    const auto planes = static_cast<std::size_t>(d.Planes);
    for (std::int32_t y = 0; y < d.Height; ++y) {
        const std::uint8_t* source = data + layout.PixelOffset + static_cast<std::size_t>(y) * d.RowBytes;
        std::uint8_t* target = bgr + static_cast<std::size_t>(y) * bgrStride;
        for (std::int32_t x = 0; x < d.Width; ++x, source += planes, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
    }
}

void BgrToBlock(const std::uint8_t* bgr, std::size_t bgrStride, std::int32_t width, std::int32_t height,
                std::uint8_t* pixels, std::size_t rowBytes)
{
    const std::size_t used = static_cast<std::size_t>(width) * 3;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* source = bgr + static_cast<std::size_t>(y) * bgrStride;
        std::uint8_t* target = pixels + static_cast<std::size_t>(y) * rowBytes;
        for (std::int32_t x = 0; x < width; ++x, source += 3, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
        std::memset(target, 0, rowBytes - used);
    }
}

TResultStatus CopyTransferResult(const std::uint8_t* data, std::size_t size, const TTransferDescriptor& sent,
                                 std::uint8_t* hostOut, std::size_t hostRowBytes, std::int32_t hostPlanes)
{
    if (!HasTransferMagic(data, size))
        return TResultStatus::NotABlock;
    const auto layout = CheckTransferBlock(data, size, TBlockReader::PlugIn);
    if (!layout || hostOut == nullptr || hostPlanes < 1)
        return TResultStatus::Rejected;
    const TTransferDescriptor& d = layout->Descriptor;
    if (d.Width != sent.Width || d.Height != sent.Height || d.Mode != sent.Mode)
        return TResultStatus::Rejected;

    const auto blockRowBytes = static_cast<std::size_t>(d.RowBytes);
    const std::uint8_t* rows = data + layout->PixelOffset;
    if (d.Planes == hostPlanes) {
        // Only the rectangle's own pixels: past them the host's row holds pixels outside the filter
        // rectangle, or nothing at all after the last row.
        const std::size_t pixelBytes = static_cast<std::size_t>(d.Width) * static_cast<std::size_t>(d.Planes);
        const std::size_t length = std::min({blockRowBytes, hostRowBytes, pixelBytes});
        for (std::int32_t y = 0; y < d.Height; ++y)
            std::memcpy(hostOut + static_cast<std::size_t>(y) * hostRowBytes,
                        rows + static_cast<std::size_t>(y) * blockRowBytes, length);
        return TResultStatus::Accepted;
    }
    // A host with fewer than three planes would have its pixels overrun by a 3-byte copy.
    const std::size_t channels = std::min<std::size_t>(3, static_cast<std::size_t>(hostPlanes));
    for (std::int32_t y = 0; y < d.Height; ++y) {
        const std::uint8_t* source = rows + static_cast<std::size_t>(y) * blockRowBytes;
        std::uint8_t* target = hostOut + static_cast<std::size_t>(y) * hostRowBytes;
        for (std::int32_t x = 0; x < d.Width; ++x, source += d.Planes, target += hostPlanes)
            std::memcpy(target, source, channels);
    }
    return TResultStatus::Accepted;
}

std::optional<TTransferImage> LoadTransferBlock(const std::string& path)
{
    TFileMapping mapping;
    if (!mapping.OpenReadOnly(path))
        return std::nullopt;
    const std::size_t size = mapping.Size();
    const std::uint8_t* data = mapping.Map(0, 0, TMapAccess::Read);
    if (data == nullptr)
        return std::nullopt;
    const auto layout = CheckTransferBlock(data, size, TBlockReader::Program);
    if (!layout || layout->Descriptor.Mode != kTransferModeRgb)
        return std::nullopt;

    TTransferImage image;
    image.Width = layout->Descriptor.Width;
    image.Height = layout->Descriptor.Height;
    const auto stride = ProgramRowBytes(image.Width);
    const auto bytes = stride ? Multiply(*stride, static_cast<std::size_t>(image.Height)) : std::nullopt;
    if (!bytes)
        return std::nullopt;
    image.Stride = *stride;
    image.Pixels.assign(*bytes, 0);
    BlockToBgr(data, *layout, image.Pixels.data(), image.Stride);
    if (layout->ExifLength > 0)
        image.Exif.assign(data + layout->ExifOffset, data + layout->ExifOffset + layout->ExifLength);
    return image;
}

bool SaveTransferBlock(const std::string& path, std::int32_t width, std::int32_t height,
                       const std::uint8_t* bgr, std::size_t bgrStride)
{
    const auto rowBytes = ProgramRowBytes(width);
    if (width < 1 || height < 1 || !rowBytes || *rowBytes > 0x7fffffff)
        return false;
    const auto size = TransferBlockSize(height, static_cast<std::int32_t>(*rowBytes));
    TFileMapping mapping;
    if (!size || !mapping.Create(path) || !mapping.SetSize(*size))
        return false;
    std::uint8_t* data = mapping.Map(0, 0, TMapAccess::Write);
    if (data == nullptr)
        return false;
    TTransferDescriptor d;
    d.Width = width;
    d.Height = height;
    d.RowBytes = static_cast<std::int32_t>(*rowBytes);
    WriteTransferHeader(data, d);
    BgrToBlock(bgr, bgrStride, width, height, data + kTransferHeaderSize, *rowBytes);
    mapping.Unmap(data);
    return true;
}
