// Speed of the imaging core on 24-megapixel images: copies against memcpy of the same bytes, quarter
// turns and mirrors against memcpy, and Lanczos resizing of real photographs.

#include "imaging/FreeRotation.h"
#include "imaging/PixelTransforms.h"
#include "imaging/QpLTBitmap.h"
#include "imaging/Resampler.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <cstring>
#include <random>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000; // 24 megapixels, 72 MB of pixels

void FillNoise(TQpPixels& pixels)
{
    std::mt19937 random(1);
    for (int y = 0; y < pixels.Height; ++y) {
        std::uint8_t* row = pixels.PixelPtr(pixels.Left, pixels.Top + y);
        for (int x = 0; x < pixels.Width * 3; ++x)
            row[x] = std::uint8_t(random());
    }
}

TQpPixelBuffer MakeBuffer(int w, int h, bool noise)
{
    TQpPixelBuffer buffer;
    buffer.SetFormatAndBounds(pfBGR24, {0, 0, w, h});
    if (noise)
        FillNoise(buffer);
    else
        std::memset(buffer.Data, 1, std::size_t(buffer.Stride) * h); // touch every page
    return buffer;
}

void SetBytes(benchmark::State& state, const TQpPixels& pixels)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * pixels.Stride * pixels.Height);
}

// --- Copies ----------------------------------------------------------------------------------------------

void BM_Memcpy24MP(benchmark::State& state)
{
    TQpPixelBuffer src = MakeBuffer(kWidth, kHeight, true);
    TQpPixelBuffer dest = MakeBuffer(kWidth, kHeight, false);
    const std::size_t bytes = std::size_t(src.Stride) * kHeight;
    for (auto _ : state) {
        std::memcpy(dest.Data, src.Data, bytes);
        benchmark::ClobberMemory();
    }
    SetBytes(state, src);
}
BENCHMARK(BM_Memcpy24MP)->Unit(benchmark::kMillisecond);

void BM_CopyFrom24MP(benchmark::State& state)
{
    TQpPixelBuffer src = MakeBuffer(kWidth, kHeight, true);
    TQpPixelBuffer dest = MakeBuffer(kWidth, kHeight, false);
    for (auto _ : state) {
        dest.CopyFrom(src);
        benchmark::ClobberMemory();
    }
    SetBytes(state, src);
}
BENCHMARK(BM_CopyFrom24MP)->Unit(benchmark::kMillisecond);

void BM_CopyRect24MPShiftedOrigins(benchmark::State& state)
{
    // A window at (100, 50) receiving the whole source placed at its own origin.
    TQpPixelBuffer src = MakeBuffer(kWidth, kHeight, true);
    TQpPixelBuffer dest;
    dest.SetFormatAndBounds(pfBGR24, {100, 50, 100 + kWidth, 50 + kHeight});
    std::memset(dest.Data, 1, std::size_t(dest.Stride) * kHeight);
    for (auto _ : state) {
        dest.CopyRect(100, 50, src.GetBounds(), src);
        benchmark::ClobberMemory();
    }
    SetBytes(state, src);
}
BENCHMARK(BM_CopyRect24MPShiftedOrigins)->Unit(benchmark::kMillisecond);

// --- Turns and mirrors into existing storage (the kernels) -------------------------------------------------

template <bool (*Transform)(const TQpPixels&, TQpPixels&), bool Turned>
void BM_Kernel(benchmark::State& state)
{
    TQpPixelBuffer src = MakeBuffer(kWidth, kHeight, true);
    TQpPixelBuffer dest = Turned ? MakeBuffer(kHeight, kWidth, false) : MakeBuffer(kWidth, kHeight, false);
    for (auto _ : state) {
        Transform(src, dest);
        benchmark::ClobberMemory();
    }
    SetBytes(state, src);
}
BENCHMARK(BM_Kernel<RotatePixelsLeft, true>)->Name("BM_RotateLeftPixels24MP")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kernel<RotatePixelsRight, true>)
    ->Name("BM_RotateRightPixels24MP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kernel<MirrorPixels, false>)->Name("BM_MirrorPixels24MP")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kernel<FlipPixels, false>)->Name("BM_FlipPixels24MP")->Unit(benchmark::kMillisecond);

// --- Whole bitmap operations: new storage (fresh pages), transform, release the old -----------------------

void BM_BitmapCloneBaseline24MP(benchmark::State& state)
{
    // New pages plus a memcpy of the same bytes: what any operation that builds a new image costs at least.
    TQpLTBitmap bitmap;
    bitmap.SetSize(kWidth, kHeight, pfBGR24);
    FillNoise(*bitmap.GetPixels());
    for (auto _ : state) {
        TQpLTBitmap copy;
        copy.SetSize(kWidth, kHeight, pfBGR24);
        std::memcpy(copy.GetPixels()->Data, bitmap.GetPixels()->Data,
                    std::size_t(bitmap.GetPixels()->Stride) * kHeight);
        benchmark::DoNotOptimize(copy.GetPixels()->Data);
    }
    SetBytes(state, *bitmap.GetPixels());
}
BENCHMARK(BM_BitmapCloneBaseline24MP)->Unit(benchmark::kMillisecond);

template <bool (TQpLTBitmap::*Operation)()> void BM_BitmapOperation(benchmark::State& state)
{
    TQpLTBitmap bitmap;
    bitmap.SetSize(kWidth, kHeight, pfBGR24);
    FillNoise(*bitmap.GetPixels());
    for (auto _ : state)
        benchmark::DoNotOptimize((bitmap.*Operation)());
    SetBytes(state, *bitmap.GetPixels());
}
BENCHMARK(BM_BitmapOperation<&TQpLTBitmap::RotateLeft>)
    ->Name("BM_BitmapRotateLeft24MP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapOperation<&TQpLTBitmap::RotateRight>)
    ->Name("BM_BitmapRotateRight24MP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapOperation<&TQpLTBitmap::Mirror>)
    ->Name("BM_BitmapMirror24MP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BitmapOperation<&TQpLTBitmap::Flip>)->Name("BM_BitmapFlip24MP")->Unit(benchmark::kMillisecond);

// --- Lanczos resizing of photographs -----------------------------------------------------------------------

// Loads a test photograph into a bitmap, scaled to the given size with Lanczos when it does not have
// that size already (only the benchmark's input is made that way).
bool LoadPhoto(const char* name, int w, int h, TQpLTBitmap& bitmap)
{
    QImage image =
        QImage(QString(VELMORA_TESTDATA_DIR) + "/photos/" + name).convertToFormat(QImage::Format_BGR888);
    if (image.isNull())
        return false;
    TQpPixels pixels;
    pixels.Init({0, 0, image.width(), image.height()}, image.bits(), pfBGR24, int(image.bytesPerLine()));
    if (!bitmap.Assign(pixels))
        return false;
    return (bitmap.GetWidth() == w && bitmap.GetHeight() == h) || bitmap.Resize(w, h);
}

void BM_Resize(benchmark::State& state, const char* photo, int w, int h, int toW, int toH)
{
    TQpLTBitmap original;
    if (!LoadPhoto(photo, w, h, original)) {
        state.SkipWithError("test photograph missing");
        return;
    }
    const TQpLTPixels& src = static_cast<const TQpLTPixels&>(*original.GetPixels());
    TQpPixelBuffer dest = MakeBuffer(toW, toH, false);
    const TQpRect whole{0, 0, toW, toH};
    const TLanczosResampler lanczos;
    for (auto _ : state) {
        Resample(dest, whole, whole, lanczos, src.GetBounds(), src);
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] =
        benchmark::Counter(double(w) * h / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}
// dragonfly_12mp.jpg (4000 x 3000) enlarged to 6000 x 4000 for a 24-megapixel photograph, then halved.
BENCHMARK_CAPTURE(BM_Resize, Lanczos24MPToHalf, "dragonfly_12mp.jpg", 6000, 4000, 3000, 2000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);
// dogs_window.jpg (2056 x 3088, 6.3 megapixels) doubled.
BENCHMARK_CAPTURE(BM_Resize, Lanczos6MPToDouble, "dogs_window.jpg", 2056, 3088, 4112, 6176)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);

} // namespace

// The free rotation's renders: nearest neighbour for every drawn line, Hermite when finishing.
void BM_FreeRotation(benchmark::State& state, int width, int height, int filter)
{
    TQpPixelBuffer source;
    if (!source.SetFormatAndBounds(pfBGR24, {0, 0, width, height})) {
        state.SkipWithError("no memory");
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memset(source.PixelPtr(0, y), y & 0xFF, static_cast<std::size_t>(width) * 3);
    TQpPixelBuffer dest;
    std::vector<std::uint8_t> uncovered;
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderRotation(source, 0.1L, filter, dest, uncovered));
    state.counters["MP"] = width * double(height) / 1e6;
}
BENCHMARK_CAPTURE(BM_FreeRotation, Nearest12MP, 4000, 3000, 0)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_FreeRotation, Hermite2MP, 1600, 1200, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
