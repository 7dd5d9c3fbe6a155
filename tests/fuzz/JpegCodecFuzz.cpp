// Feeds arbitrary bytes to the lossless JPEG codec, then edits what it loaded so that the coefficient
// reader and the block moves run on them too.
#include "FuzzSupport.h"
#include "platform/ImageCodec.h"
#include "platform/JpegCodec.h"

#include <cstdlib>
#include <vector>

namespace {

// Touches the first and the last coefficient of every grid, which must lie inside its storage.
void ReadCorners(const platform::TJpegCodec& codec)
{
    if (!codec.CoefficientsRead() || !codec.CoefficientsInStep())
        return;
    volatile int sink = 0;
    for (int c = 0; c < codec.ComponentCount(); ++c) {
        if (codec.BlocksWide(c) < 1 || codec.BlocksHigh(c) < 1)
            std::abort();
        sink = sink + codec.Block(c, 0, 0)[0] +
               codec.Block(c, codec.BlocksWide(c) - 1, codec.BlocksHigh(c) - 1)[63];
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseExactPageAllocator();
    platform::TImageCodec::SetMaxPixelCount(4'000'000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::TJpegCodec codec;
    TQpPixelBuffer pixels;
    if (!codec.LoadMemory(std::vector<std::uint8_t>(data, data + size), pixels))
        return 0;
    if (pixels.Width != codec.Width() || pixels.Height != codec.Height() || codec.ComponentCount() < 1)
        std::abort();
    // While the file is untouched, a turn on whole blocks transforms its bytes and reads the result's header.
    if (codec.Height() % codec.BlockHeight() == 0)
        codec.RotateRight();
    // Then the coefficient reader on what the codec holds, and moves of whole blocks among them.
    codec.Block(0, 0, 0);
    ReadCorners(codec);
    if (codec.Width() % codec.BlockWidth() == 0)
        codec.RotateLeft();
    if (codec.Width() > codec.BlockWidth())
        codec.Crop({codec.BlockWidth(), 0, codec.Width(), codec.Height()});
    ReadCorners(codec);
    return 0;
}
