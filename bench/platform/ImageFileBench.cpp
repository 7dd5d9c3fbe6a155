// Opening and saving 24-megapixel photographs through the image document, side by side with a plain
// libjpeg-turbo decode, a file copy and jpegtran. The test JPEG is made at run time from a shared photo
// (12 MP scaled to 6000 x 4000, 4:2:0, quality 92); PNG and TIFF files are written from it.

#include "model/QpGraphicsImage.h"
#include "platform/ImageCodec.h"
#include "platform/JpegCodec.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <turbojpeg.h>

using namespace platform;

namespace {

struct TFiles
{
    QTemporaryDir Dir;
    std::string Jpeg;
    std::string Png;
    std::string Tiff;
    bool Ok = false;

    TFiles()
    {
        const QString photo = QStringLiteral(VELMORA_TESTDATA_DIR "/photos/dragonfly_12mp.jpg");
        QImage image(photo);
        if (image.isNull())
            return;
        image = image.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_BGR888);
        Jpeg = Dir.filePath("photo24.jpg").toStdString();
        Png = Dir.filePath("photo24.png").toStdString();
        Tiff = Dir.filePath("photo24.tif").toStdString();
        TQpPixels pixels;
        pixels.Init({0, 0, image.width(), image.height()}, image.bits(), pfBGR24, int(image.bytesPerLine()));
        tjhandle handle = tjInitCompress();
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, pixels.Data, pixels.Width, pixels.Stride, pixels.Height, TJPF_BGR, &buffer, &size,
                    TJSAMP_420, 92, 0);
        std::ofstream(Jpeg, std::ios::binary)
            .write(reinterpret_cast<const char*>(buffer), std::streamsize(size));
        tjFree(buffer);
        tjDestroy(handle);
        Ok = TImageCodec::Encode(pixels, Png, "image/png", 0) &&
             TImageCodec::Encode(pixels, Tiff, "image/tiff", 0);
    }
};

TFiles& Files()
{
    static TFiles files;
    return files;
}

bool Ready(benchmark::State& state)
{
    if (Files().Ok)
        return true;
    state.SkipWithError("shared photo missing");
    return false;
}

void BM_PlainTurboJpegDecode(benchmark::State& state)
{
    if (!Ready(state))
        return;
    std::vector<std::uint8_t> bytes;
    TImageCodec::ReadFileBytes(Files().Jpeg, bytes);
    TQpPixelBuffer pixels;
    pixels.SetFormatAndBounds(pfBGR24, {0, 0, 6000, 4000});
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        // Reading the file is part of opening it, as for the document.
        TImageCodec::ReadFileBytes(Files().Jpeg, bytes);
        tjDecompress2(handle, bytes.data(), bytes.size(), pixels.Data, 6000, pixels.Stride, 4000, TJPF_BGR,
                      0);
        benchmark::DoNotOptimize(pixels.Data[0]);
    }
    tjDestroy(handle);
}
BENCHMARK(BM_PlainTurboJpegDecode)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CodecOpenJpeg(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        TJpegCodec codec;
        TQpPixelBuffer pixels;
        benchmark::DoNotOptimize(codec.Load(Files().Jpeg, pixels));
    }
}
BENCHMARK(BM_CodecOpenJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DocumentOpenJpeg(benchmark::State& state)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        TQpGraphicsImage image;
        std::int32_t format = 0;
        benchmark::DoNotOptimize(image.LoadImageFile(Files().Jpeg, format));
    }
}
BENCHMARK(BM_DocumentOpenJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);

// What opening no longer pays: the original and the undo base get their own copies when the first edit
// of a freshly opened photograph begins.
void BM_DocumentFirstEditCopies(benchmark::State& state)
{
    if (!Ready(state))
        return;
    std::unique_ptr<TQpGraphicsImage> image;
    for (auto _ : state) {
        state.PauseTiming();
        image = std::make_unique<TQpGraphicsImage>();
        std::int32_t format = 0;
        image->LoadImageFile(Files().Jpeg, format);
        state.ResumeTiming();
        image->PrepareEdit();
    }
}
BENCHMARK(BM_DocumentFirstEditCopies)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FileCopy(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const std::string target = Files().Dir.filePath("copy.jpg").toStdString();
    for (auto _ : state)
        std::filesystem::copy_file(Files().Jpeg, target, std::filesystem::copy_options::overwrite_existing);
}
BENCHMARK(BM_FileCopy)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DocumentSaveUntouchedJpeg(benchmark::State& state)
{
    if (!Ready(state))
        return;
    TQpGraphicsImage image;
    std::int32_t format = 0;
    image.LoadImageFile(Files().Jpeg, format);
    const std::string target = Files().Dir.filePath("untouched.jpg").toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(image.SaveImageFile(target, kJpegFormat, 80));
}
BENCHMARK(BM_DocumentSaveUntouchedJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);

// A 40-pixel dab in the middle of the photograph, written into a document prepared for editing.
void Dab(TQpGraphicsImage& image)
{
    image.PrepareEdit();
    for (int y = 1980; y < 2020; ++y)
        for (int x = 2980; x < 3020; ++x)
            std::fill_n(image.CurrentPixels()->PixelPtr(x, y), 3, std::uint8_t{255});
}

void BM_DocumentSaveAfterBrushEdit(benchmark::State& state)
{
    if (!Ready(state))
        return;
    TQpGraphicsImage image;
    std::int32_t format = 0;
    image.LoadImageFile(Files().Jpeg, format);
    Dab(image);
    const std::string target = Files().Dir.filePath("edited.jpg").toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(image.SaveImageFile(target, kJpegFormat, 80));
}
BENCHMARK(BM_DocumentSaveAfterBrushEdit)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first save of a freshly opened photograph after one dab: it reads the coefficients too.
void BM_DocumentFirstSaveAfterBrushEdit(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const std::string target = Files().Dir.filePath("first.jpg").toStdString();
    std::unique_ptr<TQpGraphicsImage> image;
    for (auto _ : state) {
        state.PauseTiming();
        image = std::make_unique<TQpGraphicsImage>();
        std::int32_t format = 0;
        image->LoadImageFile(Files().Jpeg, format);
        Dab(*image);
        state.ResumeTiming();
        benchmark::DoNotOptimize(image->SaveImageFile(target, kJpegFormat, 80));
    }
}
BENCHMARK(BM_DocumentFirstSaveAfterBrushEdit)->Unit(benchmark::kMillisecond)->Iterations(5);

// Reading the coefficients of the whole file, which the first edited save needs.
void BM_CodecReadCoefficients(benchmark::State& state)
{
    if (!Ready(state))
        return;
    std::unique_ptr<TJpegCodec> codec;
    TQpPixelBuffer pixels;
    for (auto _ : state) {
        state.PauseTiming();
        codec = std::make_unique<TJpegCodec>();
        codec->Load(Files().Jpeg, pixels);
        state.ResumeTiming();
        benchmark::DoNotOptimize(codec->Block(0, 0, 0));
    }
}
BENCHMARK(BM_CodecReadCoefficients)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DocumentQuarterTurnJpeg(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const std::string target = Files().Dir.filePath("turned.jpg").toStdString();
    for (auto _ : state) {
        TQpGraphicsImage image;
        std::int32_t format = 0;
        image.LoadImageFile(Files().Jpeg, format);
        image.RotateRight();
        benchmark::DoNotOptimize(image.SaveImageFile(target, kJpegFormat, 80));
    }
}
BENCHMARK(BM_DocumentQuarterTurnJpeg)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_JpegtranRotate90(benchmark::State& state)
{
    if (!Ready(state))
        return;
    if (std::system("command -v jpegtran > /dev/null 2>&1") != 0) {
        state.SkipWithError("jpegtran not installed (libjpeg-turbo-progs)");
        return;
    }
    const std::string command = "jpegtran -rotate 90 -outfile '" +
                                Files().Dir.filePath("jpegtran.jpg").toStdString() + "' '" + Files().Jpeg +
                                "'";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
}
BENCHMARK(BM_JpegtranRotate90)->Unit(benchmark::kMillisecond)->Iterations(3);

void Open(benchmark::State& state, const std::string& path)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        TQpGraphicsImage image;
        std::int32_t format = 0;
        benchmark::DoNotOptimize(image.LoadImageFile(path, format));
    }
}

void Save(benchmark::State& state, const std::string& path, std::int32_t format, const char* name)
{
    if (!Ready(state))
        return;
    TQpGraphicsImage image;
    std::int32_t loaded = 0;
    image.LoadImageFile(path, loaded);
    const std::string target = Files().Dir.filePath(name).toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(image.SaveImageFile(target, format, 80));
}

void QtOpen(benchmark::State& state, const std::string& path)
{
    if (!Ready(state))
        return;
    for (auto _ : state) {
        QImage image(QString::fromStdString(path));
        benchmark::DoNotOptimize(image.bits());
    }
}

void QtSave(benchmark::State& state, const std::string& path, const char* name)
{
    if (!Ready(state))
        return;
    const QImage image(QString::fromStdString(path));
    const QString target = Files().Dir.filePath(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(image.save(target));
}

void BM_QtSavePng(benchmark::State& state)
{
    QtSave(state, Files().Png, "qt.png");
}
void BM_QtSaveTiff(benchmark::State& state)
{
    QtSave(state, Files().Tiff, "qt.tif");
}
BENCHMARK(BM_QtSavePng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_QtSaveTiff)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_DocumentOpenPng(benchmark::State& state)
{
    Open(state, Files().Png);
}
void BM_QtOpenPng(benchmark::State& state)
{
    QtOpen(state, Files().Png);
}
void BM_DocumentSavePng(benchmark::State& state)
{
    Save(state, Files().Png, kPngFormat, "saved.png");
}
void BM_DocumentOpenTiff(benchmark::State& state)
{
    Open(state, Files().Tiff);
}
void BM_QtOpenTiff(benchmark::State& state)
{
    QtOpen(state, Files().Tiff);
}
void BM_DocumentSaveTiff(benchmark::State& state)
{
    Save(state, Files().Tiff, kTiffFormat, "saved.tif");
}
BENCHMARK(BM_DocumentOpenPng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_QtOpenPng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DocumentSavePng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DocumentOpenTiff)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_QtOpenTiff)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DocumentSaveTiff)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
