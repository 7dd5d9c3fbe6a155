// Storing a cut-out object from a 12-megapixel photograph: the shared cutout cases scaled up, their
// known answer shown as the separation result (object 4, background 5 filled white).

#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"
#include "imaging/ThumbnailFiles.h"
#include "model/ObjectStore.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <string>

namespace {

struct TQuietHost : ISeparationHost
{
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

struct TShownCase
{
    TQpPixelBuffer Photo;
    TMarkedRegion Region;
};

// The case's photo and truth scaled to about `megapixels`, the truth shown as the result.
std::unique_ptr<TShownCase> LoadShownCase(const char* name, double megapixels)
{
    const QString dir = QString(VELMORA_TESTDATA_DIR) + "/cutout/" + name + "/";
    QImage image = QImage(dir + "image.png").convertToFormat(QImage::Format_RGB888);
    QImage truth = QImage(dir + "truth.png").convertToFormat(QImage::Format_Grayscale8);
    if (image.isNull() || truth.isNull())
        return nullptr;
    const double f = std::sqrt(megapixels * 1e6 / (double(image.width()) * image.height()));
    const QSize size(int(image.width() * f), int(image.height() * f));
    image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    truth = truth.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    auto c = std::make_unique<TShownCase>();
    if (!c->Photo.SetFormatAndBounds(pfBGR24, {0, 0, size.width(), size.height()}))
        return nullptr;
    for (int y = 0; y < size.height(); ++y) {
        const uchar* rgb = image.constScanLine(y);
        std::uint8_t* out = c->Photo.PixelPtr(0, y);
        for (int x = 0; x < size.width(); ++x) {
            out[3 * x] = rgb[3 * x + 2];
            out[3 * x + 1] = rgb[3 * x + 1];
            out[3 * x + 2] = rgb[3 * x];
        }
    }
    if (!c->Region.Attach(&c->Photo))
        return nullptr;
    ApplySeparationDisplayModes(c->Region, TBackgroundEffect::Color);
    for (int y = 0; y < size.height(); ++y) {
        const uchar* t = truth.constScanLine(y);
        for (int x = 0; x < size.width(); ++x)
            c->Region.SetLabel(x, y, t[x] >= 128 ? kLabelObject : kLabelBackground);
    }
    TQuietHost host;
    if (!ShowSeparationResult(c->Region, TBackgroundEffect::Color, host))
        return nullptr;
    return c;
}

void BM_StoreObject12MP(benchmark::State& state, const char* name)
{
    static std::unique_ptr<TShownCase> shown;
    static std::string loaded;
    if (loaded != name) {
        shown = LoadShownCase(name, 12.0);
        loaded = name;
    }
    QTemporaryDir dir;
    if (!shown || !dir.isValid()) {
        state.SkipWithError("cannot load the case or make a folder");
        return;
    }
    const std::filesystem::path folder = ObjectsFolder(QFile::encodeName(dir.path()).toStdString());
    const TQpRect object = shown->Region.BoundsOfLabel(kLabelResultObject);
    for (auto _ : state) {
        std::string item;
        QString error;
        if (!StoreObject(shown->Photo, shown->Region, folder, 80, item, error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        state.PauseTiming();
        DeleteItemFiles(folder, item);
        state.ResumeTiming();
    }
    state.counters["object_MP"] = double(object.Width()) * object.Height() / 1e6;
    state.counters["image_MP"] = double(shown->Photo.Width) * shown->Photo.Height / 1e6;
}

BENCHMARK_CAPTURE(BM_StoreObject12MP, flower_sunset, "flower_sunset")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StoreObject12MP, bowl_meadow, "bowl_meadow")->Unit(benchmark::kMillisecond);

} // namespace
