#pragma once
// The byte layout of the transfer block through which the plug-in and the program hand an image to
// each other, its checks and the pixel conversions of both sides. Every field of a block is treated
// as untrusted: a block is used only when its pixel area and trailer lie inside the file.
//
//   0  "PSPF"            4  descriptor size (32)   8  image mode (3 = RGB)   12 left   16 top
//   20 width             24 height                 28 row bytes              32 planes
//   36 height x row bytes of pixels, red-green-blue then further planes, top row first
//   optional trailer after the pixels: "EXIF", a 32-bit length L, L bytes of EXIF body
// All integers are 32-bit little-endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr char kTransferMagic[4] = {'P', 'S', 'P', 'F'};
inline constexpr std::int32_t kTransferDescriptorSize = 32;
inline constexpr std::size_t kTransferHeaderSize = 36;
inline constexpr std::int32_t kTransferModeRgb = 3;
// A trailer is looked for only when more than this many bytes follow the pixels.
inline constexpr std::size_t kTransferTrailerThreshold = 496;
// The body is later wrapped in a JPEG APP1 segment whose 16-bit length counts 8 more bytes.
inline constexpr std::size_t kMaxExifLength = 65527;

struct TTransferDescriptor
{
    std::int32_t DescriptorSize = kTransferDescriptorSize;
    std::int32_t Mode = kTransferModeRgb;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t RowBytes = 0;
    std::int32_t Planes = 3;
    friend bool operator==(const TTransferDescriptor&, const TTransferDescriptor&) = default;
};

// Who reads a block: the program expects exactly the 32-byte descriptor and pixels at 36; the plug-in
// finds the pixels at 4 + descriptor size.
enum class TBlockReader
{
    Program,
    PlugIn
};

// A block whose descriptor has been checked against the file's size.
struct TTransferLayout
{
    TTransferDescriptor Descriptor;
    std::size_t PixelOffset = 0;
    std::size_t PixelEnd = 0;
    std::size_t ExifOffset = 0; // 0 when the block has no usable trailer
    std::size_t ExifLength = 0;
};

bool HasTransferMagic(const std::uint8_t* data, std::size_t size);
// Needs at least kTransferHeaderSize bytes.
TTransferDescriptor ReadTransferDescriptor(const std::uint8_t* data);
// Writes the magic and the descriptor into the first kTransferHeaderSize bytes.
void WriteTransferHeader(std::uint8_t* data, const TTransferDescriptor& descriptor);

// 36 + height x row bytes; nothing when a value is negative or the size does not fit.
std::optional<std::size_t> TransferBlockSize(std::int32_t height, std::int32_t rowBytes);
// The program's 24-bit row stride: width x 3 rounded up to a multiple of 4.
std::optional<std::size_t> ProgramRowBytes(std::int32_t width);

// The block's layout when the magic is there and width, height, row bytes, planes and descriptor size
// describe a pixel area inside the file; nothing otherwise. The image mode is not judged here.
std::optional<TTransferLayout> CheckTransferBlock(const std::uint8_t* data, std::size_t size,
                                                  TBlockReader reader);

// Program side, reading: block red-green-blue (planes apart) into blue-green-red rows `bgrStride` apart.
void BlockToBgr(const std::uint8_t* data, const TTransferLayout& layout, std::uint8_t* bgr,
                std::size_t bgrStride);
// Program side, writing: blue-green-red rows into 3-byte red-green-blue pixels, rows `rowBytes` apart;
// the bytes after each row's pixels are zeroed.
void BgrToBlock(const std::uint8_t* bgr, std::size_t bgrStride, std::int32_t width, std::int32_t height,
                std::uint8_t* pixels, std::size_t rowBytes);

enum class TResultStatus
{
    NotABlock, // no magic: nothing copied, nothing said
    Rejected,  // a size, mode or bounds mismatch: nothing copied
    Accepted
};

// Plug-in side: copies the program's result into the host's output buffer (`hostRowBytes` apart,
// `hostPlanes` bytes a pixel) when the block matches what was sent. Equal planes copy each row's pixels
// whole; otherwise red, green and blue are copied per pixel and further host planes keep their values.
// Nothing outside the rectangle's pixels is written.
TResultStatus CopyTransferResult(const std::uint8_t* data, std::size_t size, const TTransferDescriptor& sent,
                                 std::uint8_t* hostOut, std::size_t hostRowBytes, std::int32_t hostPlanes);

// The image of a transfer block as the program holds it.
struct TTransferImage
{
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::size_t Stride = 0;
    std::vector<std::uint8_t> Pixels; // blue-green-red rows, Stride apart
    std::vector<std::uint8_t> Exif;   // the trailer's EXIF body, empty when there is none
};

// Reads a file as a transfer block without creating or changing it; nothing when the file is no
// transfer block (no magic, a mode other than RGB, or a descriptor that does not fit the file).
std::optional<TTransferImage> LoadTransferBlock(const std::string& path);
// Writes an image back into the block file: sized to exactly 36 + height x the program's stride, so a
// trailer is dropped. False when the file cannot be opened, sized or mapped.
bool SaveTransferBlock(const std::string& path, std::int32_t width, std::int32_t height,
                       const std::uint8_t* bgr, std::size_t bgrStride);
