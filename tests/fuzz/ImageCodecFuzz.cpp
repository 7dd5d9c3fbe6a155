// Feeds arbitrary bytes to the image codec as a file's contents: the memory decoder (JPEG through
// libjpeg-turbo, PNG through libpng, everything else through Qt's plug-ins) and the header reader.
#include "FuzzSupport.h"
#include "platform/ImageCodec.h"

#include <QCoreApplication>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseExactPageAllocator();
    // Far below the fuzzer's memory limit, so a huge declared size is refused, not attempted.
    platform::TImageCodec::SetMaxPixelCount(4'000'000);
    // Qt finds its image plug-ins through the application object; never destroyed, as in the program.
    static int argc = 1;
    static char name[] = "image_codec_fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TQpPixelBuffer pixels;
    platform::TImageInfo info;
    if (platform::TImageCodec::DecodeMemory(data, size, pixels, info) &&
        (pixels.Format != pfBGR24 || pixels.Width != info.Width || pixels.Height != info.Height ||
         !platform::TImageCodec::IsAcceptableSize(pixels.Width, pixels.Height)))
        std::abort();

    static fuzz::TInputFile file("image");
    platform::TImageInfo header;
    if (platform::TImageCodec::ReadInfo(file.Write(data, size), header) &&
        (header.Width < 1 || header.Height < 1))
        std::abort();
    return 0;
}
