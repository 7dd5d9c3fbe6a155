// Repainting the image view of a 24-megapixel photograph at three zooms, and committing a brush-sized
// edit on it as one undo step.

#include "documents/QpGraphicsCommandState.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsView.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "imaging/PageAllocator.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kImageWidth = 6000;
constexpr int kImageHeight = 4000;

class TBenchTool : public TQpGraphicsTool
{
public:
    TBenchTool() { SetDemoName(QStringLiteral("Bench")); }
    // One stroke: fills `rect` and commits it.
    void Stroke(TQpGraphicsView* view, const TQpRect& rect, std::uint8_t value)
    {
        BeginDocumentEdit(view);
        TQpPixels& pixels = *CurrentPixels();
        for (int y = rect.Top; y < rect.Bottom; ++y)
            std::fill_n(pixels.PixelPtr(rect.Left, y), static_cast<std::size_t>(rect.Width()) * 3, value);
        AddDirtyRect(rect, false);
        EndDocumentEdit();
    }
};

// One application, editor and 24-megapixel document for the whole run, with a 1920 x 1080 client area.
struct TSetup
{
    TSetup()
    {
        static int argc = 1;
        static char name[] = "documents-bench";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        platformApplication = std::make_unique<QApplication>(argc, argv);
        application = std::make_unique<TQpApplication>();
        application->CreateModule(editor);
        application->CreateModule(tool);
        TQpDocument* created = nullptr;
        editor->NewDocument(created);
        document = static_cast<TQpGraphicsDocument*>(created);
        document->SetImageSize(kImageWidth, kImageHeight, true);
        document->PrepareEdit();
        // A photograph-like pattern: smooth gradients with fine texture.
        TQpPixels& pixels = *document->CurrentPixels();
        for (int y = 0; y < kImageHeight; ++y) {
            std::uint8_t* p = pixels.PixelPtr(0, y);
            for (int x = 0; x < kImageWidth; ++x, p += 3) {
                p[0] = static_cast<std::uint8_t>(x / 24 + (x * y) % 7);
                p[1] = static_cast<std::uint8_t>(y / 16 + (x ^ y) % 5);
                p[2] = static_cast<std::uint8_t>((x + y) / 40);
            }
        }
        document->ResetUndoBase();
        view = document->GraphicsView();
        view->DocumentView()->SetVisible(true);
        const int bar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        view->resize(1920 + bar, 1080 + bar);
    }
    ~TSetup()
    {
        application->DestroyComponents();
        application.reset();
    }

    std::unique_ptr<QApplication> platformApplication;
    std::unique_ptr<TQpApplication> application;
    TQpGraphicsEditor* editor = nullptr;
    TBenchTool* tool = nullptr;
    TQpGraphicsDocument* document = nullptr;
    TQpGraphicsView* view = nullptr;
};

TSetup& Setup()
{
    static TSetup setup;
    return setup;
}

// arg 0: the zoom's denominator; 3 and 6 need scaling on top of the reduced copy.
void BM_RepaintViewport(benchmark::State& state)
{
    TSetup& s = Setup();
    s.view->SetZoom(1, static_cast<int>(state.range(0)));
    const QRegion client(s.view->ClientRect());
    s.view->Render(client); // builds the reduced copy once
    for (auto _ : state)
        benchmark::DoNotOptimize(s.view->Render(client).constBits());
    state.counters["reduction"] = s.view->DocumentView()->ReductionFor(s.view->MapMode());
    state.SetLabel("1920x1080 client, 6000x4000 image");
}
BENCHMARK(BM_RepaintViewport)->Arg(1)->Arg(3)->Arg(4)->Arg(6)->Arg(16)->Unit(benchmark::kMillisecond);

// For comparison: the same frame painted straight from the full image, scaled by the painter.
void BM_RepaintWithoutReducedCopy(benchmark::State& state)
{
    TSetup& s = Setup();
    const int denominator = static_cast<int>(state.range(0));
    QImage target(1920, 1080, QImage::Format_BGR888);
    const TQpRect dest{0, 0, kImageWidth / denominator, kImageHeight / denominator};
    const TQpRect clip{0, 0, 1920, 1080};
    const TQpRect source{0, 0, kImageWidth, kImageHeight};
    for (auto _ : state) {
        QPainter painter(&target);
        s.document->CurrentImage().Paint(painter, dest, &clip, &source);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_RepaintWithoutReducedCopy)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The first frame after the image changed size: the reduced copy is rebuilt from the whole image.
void BM_FirstFrameAfterGeometryChange(benchmark::State& state)
{
    TSetup& s = Setup();
    s.view->SetZoom(1, static_cast<int>(state.range(0)));
    const QRegion client(s.view->ClientRect());
    for (auto _ : state) {
        s.view->DocumentView()->GeometryChanged();
        benchmark::DoNotOptimize(s.view->Render(client).constBits());
    }
}
BENCHMARK(BM_FirstFrameAfterGeometryChange)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// A 200 x 200 stroke committed as one undo step: the step and the undo base cost the rectangle.
void BM_Commit200x200Edit(benchmark::State& state)
{
    TSetup& s = Setup();
    s.view->SetZoom(1, 4);
    std::uint8_t value = 0;
    for (auto _ : state) {
        s.tool->Stroke(s.view, {2900, 1900, 3100, 2100}, ++value);
        state.PauseTiming();
        // Keeps the history from growing: the next commit discards this undone step.
        s.document->History().Undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Commit200x200Edit)->Unit(benchmark::kMicrosecond);

// The same with the step's buffers from the heap instead of fresh mappings: shows how much of the
// commit is the kernel mapping, faulting and unmapping small buffers.
void BM_Commit200x200EditHeapBuffers(benchmark::State& state)
{
    TSetup& s = Setup();
    s.view->SetZoom(1, 4);
    const TPageAllocator previous = SetPageAllocator({[](std::size_t bytes) { return std::calloc(bytes, 1); },
                                                      [](void* pages, std::size_t) { std::free(pages); }});
    std::uint8_t value = 0;
    for (auto _ : state) {
        s.tool->Stroke(s.view, {2900, 1900, 3100, 2100}, ++value);
        state.PauseTiming();
        s.document->History().Undo();
        state.ResumeTiming();
    }
    SetPageAllocator(previous);
}
BENCHMARK(BM_Commit200x200EditHeapBuffers)->Unit(benchmark::kMicrosecond);

// Bytes held by the undo steps of a session of 100 strokes, each a 400 x 40 band.
void BM_HundredStrokeSessionMemory(benchmark::State& state)
{
    TSetup& s = Setup();
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int k = 0; k < 100; ++k)
            s.tool->Stroke(s.view, {100 + k * 50, 100 + k * 30, 500 + k * 50, 140 + k * 30},
                           static_cast<std::uint8_t>(k));
        // What the steps really hold, read back from the history while it is undone.
        bytes = 0;
        for (int k = 0; k < 100; ++k) {
            if (auto* step = dynamic_cast<TQpGraphicsCommandState*>(s.document->History().NextUndoState()))
                bytes += step->PixelBytes();
            s.document->History().Undo();
        }
    }
    state.counters["undo_bytes"] = static_cast<double>(bytes);
    state.counters["image_bytes"] = static_cast<double>(RowStride(pfBGR24, kImageWidth) * kImageHeight);
}
BENCHMARK(BM_HundredStrokeSessionMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
