// One complete footprint repair on a real 3 MP photo, as the hand tool runs it on a click and while the
// source follows the pointer, for footprints of 25, 100 and 264 pixels across; then each stage alone, to
// show what dominates.

#include "inpainting/AreaCorrelator.h"
#include "inpainting/KMean.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <cstring>
#include <memory>

namespace {

// The photo as pfBGR24, loaded once; empty when the test photos are missing.
const TQpPixelBuffer& Photo()
{
    static const std::unique_ptr<TQpPixelBuffer> photo = [] {
        auto buffer = std::make_unique<TQpPixelBuffer>();
        const QImage image = QImage(QString(VELMORA_TESTDATA_DIR) + "/photos/nuthatch_3mp.jpg")
                                 .convertToFormat(QImage::Format_BGR888);
        if (image.isNull() || !buffer->SetFormatAndBounds(pfBGR24, {0, 0, image.width(), image.height()}))
            return buffer;
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(buffer->PixelPtr(0, y), image.constScanLine(y),
                        static_cast<std::size_t>(image.width()) * 3);
        return buffer;
    }();
    return *photo;
}

struct TScene
{
    TQpPixelBuffer Destination;
    TQpRect Target;
    int SourceX = 0;
    int SourceY = 0;

    explicit TScene(int diameter)
    {
        const TQpPixelBuffer& photo = Photo();
        Destination.SetFormatAndBounds(pfBGR24, photo.GetBounds());
        Destination.CopyFrom(photo);
        // The tool's square for a pointer at (1000, 700): left = x - (s + 1) div 2.
        const int left = 1000 - (diameter + 1) / 2;
        const int top = 700 - (diameter + 1) / 2;
        Target = {left, top, left + diameter, top + diameter};
        SourceX = left + diameter + 40;
        SourceY = top + 15;
    }

    std::unique_ptr<TAreaCorrelator> MakeCorrelator()
    {
        auto correlator = std::make_unique<TAreaCorrelator>(Target, Destination, Photo(), 2);
        const int d = Target.Width();
        for (int x = 0; x < d; ++x) {
            for (int y = 0; y < d; ++y) {
                const int dx = 2 * x + 1 - d;
                const int dy = 2 * y + 1 - d;
                correlator->SetMask(Target.Left + x, Target.Top + y, dx * dx + dy * dy <= d * d ? 1 : 0);
            }
        }
        return correlator;
    }
};

bool HavePhoto(benchmark::State& state)
{
    if (Photo().Data)
        return true;
    state.SkipWithError("test photos not found");
    return false;
}

void BM_CompleteRepair(benchmark::State& state)
{
    if (!HavePhoto(state))
        return;
    TScene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<TAreaCorrelator> correlator = scene.MakeCorrelator();
        correlator->Prepare();
        correlator->RemoveMinorityColours(0.2);
        correlator->ComputeSeamWeights();
        const int k =
            correlator->BestReflection({scene.SourceX, scene.SourceY, scene.SourceX + scene.Target.Width(),
                                        scene.SourceY + scene.Target.Height()});
        correlator->Transfer(scene.SourceX, scene.SourceY, k, true, TAreaCorrelator::kModeColour, 2);
        benchmark::DoNotOptimize(scene.Destination.Data);
    }
}
BENCHMARK(BM_CompleteRepair)->Arg(25)->Arg(100)->Arg(264)->Unit(benchmark::kMillisecond);

// What every pointer move costs once the lists exist: the orientation choice and the transfer.
void BM_PointerMove(benchmark::State& state)
{
    if (!HavePhoto(state))
        return;
    TScene scene(static_cast<int>(state.range(0)));
    std::unique_ptr<TAreaCorrelator> correlator = scene.MakeCorrelator();
    correlator->Prepare();
    correlator->RemoveMinorityColours(0.2);
    correlator->ComputeSeamWeights();
    for (auto _ : state) {
        const int k =
            correlator->BestReflection({scene.SourceX, scene.SourceY, scene.SourceX + scene.Target.Width(),
                                        scene.SourceY + scene.Target.Height()});
        correlator->Transfer(scene.SourceX, scene.SourceY, k, true, TAreaCorrelator::kModeColour, 2);
        benchmark::DoNotOptimize(scene.Destination.Data);
    }
}
BENCHMARK(BM_PointerMove)->Arg(25)->Arg(100)->Arg(264)->Unit(benchmark::kMillisecond);

enum class TStage
{
    CreateAndMask,
    Prepare,
    RemoveMinorityColours,
    ComputeSeamWeights,
    BestReflection,
    Transfer
};

void BM_Stage(benchmark::State& state, TStage stage)
{
    if (!HavePhoto(state))
        return;
    TScene scene(static_cast<int>(state.range(0)));
    const TQpRect source{scene.SourceX, scene.SourceY, scene.SourceX + scene.Target.Width(),
                         scene.SourceY + scene.Target.Height()};
    for (auto _ : state) {
        if (stage == TStage::CreateAndMask) {
            benchmark::DoNotOptimize(scene.MakeCorrelator());
            continue;
        }
        state.PauseTiming();
        std::unique_ptr<TAreaCorrelator> correlator = scene.MakeCorrelator();
        if (stage != TStage::Prepare)
            correlator->Prepare();
        if (stage == TStage::ComputeSeamWeights || stage == TStage::BestReflection ||
            stage == TStage::Transfer)
            correlator->RemoveMinorityColours(0.2);
        if (stage == TStage::BestReflection || stage == TStage::Transfer)
            correlator->ComputeSeamWeights();
        state.ResumeTiming();
        switch (stage) {
        case TStage::Prepare:
            correlator->Prepare();
            break;
        case TStage::RemoveMinorityColours:
            correlator->RemoveMinorityColours(0.2);
            break;
        case TStage::ComputeSeamWeights:
            correlator->ComputeSeamWeights();
            break;
        case TStage::BestReflection:
            benchmark::DoNotOptimize(correlator->BestReflection(source));
            break;
        case TStage::Transfer:
            correlator->Transfer(scene.SourceX, scene.SourceY, 0, true, TAreaCorrelator::kModeColour, 2);
            break;
        default:
            break;
        }
        state.PauseTiming();
        correlator.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_Stage, CreateAndMask, TStage::CreateAndMask)->Arg(264)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stage, Prepare, TStage::Prepare)->Arg(264)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stage, RemoveMinorityColours, TStage::RemoveMinorityColours)
    ->Arg(264)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stage, ComputeSeamWeights, TStage::ComputeSeamWeights)
    ->Arg(264)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stage, BestReflection, TStage::BestReflection)->Arg(264)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stage, Transfer, TStage::Transfer)->Arg(264)->Unit(benchmark::kMicrosecond);

// The colour table: a fresh 32 MiB fill against the reused table with only its touched entries reset.
void BM_KMeanFirstColourTable(benchmark::State& state)
{
    for (auto _ : state) {
        TKMean holder(16, 2); // keeps the spare table busy, so the next one is freshly filled
        TKMean fresh(16, 2);
        benchmark::DoNotOptimize(fresh.AddColor(0x123456));
    }
}
BENCHMARK(BM_KMeanFirstColourTable)->Unit(benchmark::kMicrosecond);

void BM_KMeanReusedColourTable(benchmark::State& state)
{
    for (auto _ : state) {
        TKMean kMean(16, 2);
        benchmark::DoNotOptimize(kMean.AddColor(0x123456));
    }
}
BENCHMARK(BM_KMeanReusedColourTable)->Unit(benchmark::kMicrosecond);

} // namespace
