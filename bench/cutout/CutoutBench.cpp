// GrowCut on the shared cutout cases and on a 12-megapixel one, the box mean at the largest radius, and
// the column loops of the marked region.

#include "cutout/GrowCut.h"
#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QImage>
#include <QString>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

struct TCase
{
    TQpPixelBuffer Photo;
    std::vector<std::uint8_t> Marks; // [x][y]
    int Width = 0, Height = 0;
};

// Loads a case, optionally scaled to about `megapixels` (marks by nearest neighbour).
std::unique_ptr<TCase> LoadCase(const char* name, double megapixels = 0)
{
    const QString dir = QString(VELMORA_TESTDATA_DIR) + "/cutout/" + name + "/";
    QImage image = QImage(dir + "image.png").convertToFormat(QImage::Format_RGB888);
    QImage marks = QImage(dir + "marks.png").convertToFormat(QImage::Format_Grayscale8);
    if (image.isNull() || marks.isNull())
        return nullptr;
    if (megapixels > 0) {
        const double f = std::sqrt(megapixels * 1e6 / (double(image.width()) * image.height()));
        const QSize size(int(image.width() * f), int(image.height() * f));
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        marks = marks.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    auto c = std::make_unique<TCase>();
    c->Width = image.width();
    c->Height = image.height();
    c->Photo.SetFormatAndBounds(pfBGR24, {0, 0, c->Width, c->Height});
    c->Marks.resize(static_cast<std::size_t>(c->Width) * c->Height);
    for (int y = 0; y < c->Height; ++y) {
        const uchar* rgb = image.constScanLine(y);
        const uchar* m = marks.constScanLine(y);
        std::uint8_t* out = c->Photo.PixelPtr(0, y);
        for (int x = 0; x < c->Width; ++x) {
            out[3 * x] = rgb[3 * x + 2];
            out[3 * x + 1] = rgb[3 * x + 1];
            out[3 * x + 2] = rgb[3 * x];
            c->Marks[static_cast<std::size_t>(x) * c->Height + y] = m[x];
        }
    }
    return c;
}

TCase* Cached(const char* name, double megapixels = 0)
{
    static std::map<std::string, std::unique_ptr<TCase>> cache;
    const std::string key = std::string(name) + std::to_string(megapixels);
    auto& slot = cache[key];
    if (!slot)
        slot = LoadCase(name, megapixels);
    return slot.get();
}

void Mark(TMarkedRegion& region, const TCase& c)
{
    for (int x = 0; x < c.Width; ++x)
        for (int y = 0; y < c.Height; ++y)
            region.SetLabel(x, y, c.Marks[static_cast<std::size_t>(x) * c.Height + y]);
}

struct TQuietHost : ISeparationHost
{
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Prepare to Run returning 0, with the commit loop, on a region marked as the case says.
void GrowCutOnCase(benchmark::State& state, const char* name, double megapixels)
{
    TCase* c = Cached(name, megapixels);
    if (!c) {
        state.SkipWithError("cutout cases not found");
        return;
    }
    TMarkedRegion region;
    region.Attach(&c->Photo);
    TLabelSet free;
    for (int label : {0, 6, 7, 8})
        free.set(static_cast<std::size_t>(label));
    region.SetFreeLabels(free);
    Mark(region, *c);
    std::size_t slices = 0;
    for (auto _ : state) {
        TGrowCut growCut;
        growCut.Prepare(region, region.Bounds());
        std::size_t n = 0;
        slices = 0;
        while ((n = growCut.Run(3)) != 0) {
            for (std::size_t i = 0; i < n; ++i)
                growCut.Commit(i);
            ++slices;
        }
    } // freeing the automaton, which stores the labels, is part of the run
    state.counters["slices"] = static_cast<double>(slices);
    state.counters["MP"] = c->Width * double(c->Height) / 1e6;
    state.counters["process_peak_MB"] = PeakMegabytes();
}

// The whole separation as the tool runs it: commits shown as labels 7 and 8, the boundary pass, the
// stored result.
void SeparationOnCase(benchmark::State& state, const char* name, double megapixels)
{
    TCase* c = Cached(name, megapixels);
    if (!c) {
        state.SkipWithError("cutout cases not found");
        return;
    }
    TQuietHost host;
    TQpPixelBuffer photo;
    photo.SetFormatAndBounds(pfBGR24, c->Photo.GetBounds());
    for (auto _ : state) {
        state.PauseTiming();
        photo.CopyFrom(c->Photo); // the marks drawn last round are in the pixels
        TMarkedRegion region;
        region.Attach(&photo);
        ApplySeparationDisplayModes(region, TBackgroundEffect::Color);
        Mark(region, *c);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RunSeparation(region, TSeparationRegime::Full, host));
        state.PauseTiming();
        region.Attach(nullptr);
        state.ResumeTiming();
    }
    state.counters["MP"] = c->Width * double(c->Height) / 1e6;
    state.counters["process_peak_MB"] = PeakMegabytes();
}

void BoxMean12MP(benchmark::State& state)
{
    const int w = 4000, h = 3000;
    TArithmeticMean mean;
    mean.SetSize(w, h);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            mean.Set(x, y, static_cast<std::uint32_t>((x * 2654435761u) ^ (y * 40503u)) & 0xFFFFFF);
    for (auto _ : state)
        mean.Compute(static_cast<int>(state.range(0)));
    state.counters["MP"] = 12.0;
}

// SetMode with a blur (builds the blur image) and RefreshColumn over every column, per megapixel.
void BlurModeAndRefresh(benchmark::State& state)
{
    TCase* c = Cached("bowl_meadow");
    if (!c) {
        state.SkipWithError("cutout cases not found");
        return;
    }
    TQpPixelBuffer photo;
    photo.SetFormatAndBounds(pfBGR24, c->Photo.GetBounds());
    photo.CopyFrom(c->Photo);
    TMarkedRegion region;
    region.Attach(&photo);
    region.SetBlurLevel(5);
    region.SetMode(5, kModeFill);
    for (int x = 0; x < c->Width; ++x)
        for (int y = 0; y < c->Height; ++y)
            region.SetLabel(x, y, 5);
    const bool refresh = state.range(0) != 0;
    for (auto _ : state) {
        if (refresh) {
            for (int x = 0; x < region.Width(); ++x)
                benchmark::DoNotOptimize(region.RefreshColumn(x, 5));
        } else {
            region.SetMode(5, kModeBlur);
        }
    }
    state.counters["MP"] = c->Width * double(c->Height) / 1e6;
    state.counters["per_MP_ms"] =
        benchmark::Counter(c->Width * double(c->Height) / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK_CAPTURE(GrowCutOnCase, bowl_meadow, "bowl_meadow", 0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(GrowCutOnCase, ornament_peaks, "ornament_peaks", 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GrowCutOnCase, nuthatch_forest, "nuthatch_forest", 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GrowCutOnCase, flower_sunset, "flower_sunset", 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GrowCutOnCase, bowl_meadow_12MP, "bowl_meadow", 12.0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(SeparationOnCase, bowl_meadow, "bowl_meadow", 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(SeparationOnCase, bowl_meadow_12MP, "bowl_meadow", 12.0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BoxMean12MP)->Arg(243)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BlurModeAndRefresh)
    ->ArgName("refresh")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
