// The separation tool on a 12-megapixel photograph, offscreen but with its real editor, view and
// repaints: the whole Separate with the shared case's marks, the longest stretch without message
// processing, the peak memory, each background effect applied to the shown result, and the undo and
// redo of one brush stroke.

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "tools/separation/SeparationTool.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>

namespace {

// Peak resident memory of the process in kB since the last reset.
long PeakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void ResetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One editor with the separation tool and the case's photo scaled to about `megapixels` open in a
// view; the marks kept aside to be put back before every run.
class TBench
{
public:
    static TBench& Instance()
    {
        static TBench bench("bowl_meadow", 12.0);
        return bench;
    }

    bool Ok() const { return m_ok; }
    TQpSeparationTool& Tool() { return *QpSeparationTool; }

    // The marks as they were painted, in the Full regime.
    void PutMarksBack()
    {
        TQpSeparationTool& tool = Tool();
        tool.ClearLabels(m_quietHost);
        tool.SetRegime(TQpSeparationTool::kFull);
        tool.SetPreviousRegime(TQpSeparationTool::kFull);
        TMarkedRegion& region = tool.Region();
        for (int y = 0; y < m_marks.height(); ++y) {
            const uchar* row = m_marks.constScanLine(y);
            for (int x = 0; x < m_marks.width(); ++x)
                if (row[x] == 1 || row[x] == 2)
                    region.SetLabel(x, y, row[x]);
        }
        region.Backup(region.Bounds());
        QCoreApplication::processEvents();
    }

private:
    struct TQuietHost : ISeparationHost
    {
        void Repaint(const TQpRect&) override {}
        void ProcessMessages() override {}
        bool AbortRequested() override { return false; }
    };

    TBench(const char* name, double megapixels)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char arg0[] = "tools_bench";
        static char* argv[] = {arg0, nullptr};
        m_qt = std::make_unique<QApplication>(argc, argv);
        framework::SetMessageBoxHook([](const QString&, const QString&, int) { return framework::kIdOk; });

        const QString dir = QString(VELMORA_TESTDATA_DIR) + "/cutout/" + name + "/";
        QImage image = QImage(dir + "image.png").convertToFormat(QImage::Format_RGB888);
        QImage marks = QImage(dir + "marks.png").convertToFormat(QImage::Format_Grayscale8);
        if (image.isNull() || marks.isNull() || !m_dir.isValid())
            return;
        const double f = std::sqrt(megapixels * 1e6 / (double(image.width()) * image.height()));
        const QSize size(int(image.width() * f), int(image.height() * f));
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_marks = marks.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QString path = m_dir.filePath("photo.bmp");
        if (!image.save(path, "BMP"))
            return;

        m_application = std::make_unique<TQpApplication>();
        m_application->SetSettingsFileName(m_dir.filePath("cfg/Velmora.cfg"));
        TQpGraphicsEditor* editor = nullptr;
        m_application->CreateModule(editor);
        TQpToolPanelModule* panel = nullptr;
        m_application->CreateModule(panel);
        TQpSeparationTool* tool = nullptr;
        m_application->CreateModule(tool);
        MainForm->resize(1280, 900);
        MainForm->show();
        QCoreApplication::processEvents();
        TQpDocument* document = nullptr;
        if (!editor->OpenFile(path, document, false) || !document)
            return;
        editor->SetActiveTool(tool);
        QCoreApplication::processEvents();
        m_ok = true;
    }

    std::unique_ptr<QApplication> m_qt;
    QTemporaryDir m_dir;
    QImage m_marks;
    std::unique_ptr<TQpApplication> m_application;
    TQuietHost m_quietHost;
    bool m_ok = false;
};

// Times every pass of the event loop while it is alive: a zero timer fires once per pass.
class TMessageGaps
{
public:
    TMessageGaps()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            ++m_passes;
        });
        m_clock.start();
        m_timer.start();
    }
    // Includes the stretch from the last pass to now.
    double LongestMs()
    {
        m_longest = std::max(m_longest, m_clock.nsecsElapsed() - m_last);
        return m_longest / 1e6;
    }
    long Passes() const { return m_passes; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    long m_passes = 0;
};

void Separate12MP(benchmark::State& state)
{
    TBench& bench = TBench::Instance();
    if (!bench.Ok()) {
        state.SkipWithError("shared cutout case missing");
        return;
    }
    double longest = 0;
    long passes = 0;
    long peak = 0;
    long before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench.PutMarksBack();
        before = ResidentKb();
        ResetPeakResident();
        state.ResumeTiming();

        TMessageGaps gaps;
        bench.Tool().Separate();
        longest = std::max(longest, gaps.LongestMs());
        passes = gaps.Passes();
        peak = std::max(peak, PeakResidentKb() - before);
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["message_passes"] = double(passes);
    state.counters["peak_extra_MB"] = peak / 1024.0;
}

// The tool with a separation's result shown in the Effect regime; null, the benchmark skipped, without
// the shared case.
TQpSeparationTool* ToolShowingResult(benchmark::State& state)
{
    TBench& bench = TBench::Instance();
    if (!bench.Ok()) {
        state.SkipWithError("shared cutout case missing");
        return nullptr;
    }
    TQpSeparationTool& tool = bench.Tool();
    if (!tool.Region().HasLabel(kLabelResultBackground)) {
        bench.PutMarksBack();
        tool.Separate();
        tool.RegimeEffectTBXButtonClick();
    }
    return &tool;
}

// Each background effect applied to the shown result, as the radio group's click does it; undoing it
// afterwards must not copy the image.
void ApplyEffect12MP(benchmark::State& state)
{
    TQpSeparationTool* shown = ToolShowingResult(state);
    if (!shown)
        return;
    TQpSeparationTool& tool = *shown;
    const int effect = static_cast<int>(state.range(0));
    double undoMs = 0;
    long undoGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tool.BackgroundEffectTntRadioGroupClick(effect == 0 ? 3 : 0);
        state.ResumeTiming();
        tool.BackgroundEffectTntRadioGroupClick(effect);
        state.PauseTiming();
        const long resident = ResidentKb();
        QElapsedTimer clock;
        clock.start();
        QpGraphicsEditor->Undo();
        undoMs = clock.nsecsElapsed() / 1e6;
        undoGrowth = ResidentKb() - resident;
        state.ResumeTiming();
    }
    state.counters["undo_ms"] = undoMs;
    state.counters["undo_rss_growth_MB"] = undoGrowth / 1024.0;
}

// The blur image rebuilt at level 5 (radius 243) under the Blur effect.
void BlurLevel5Rebuild12MP(benchmark::State& state)
{
    TQpSeparationTool* shown = ToolShowingResult(state);
    if (!shown)
        return;
    TQpSeparationTool& tool = *shown;
    tool.BackgroundEffectTntRadioGroupClick(2);
    for (auto _ : state) {
        state.PauseTiming();
        tool.SetBlurLevel(4);
        state.ResumeTiming();
        tool.SetBlurLevel(5);
    }
}

// One pointer event on the view at an image point.
void SendMouse(TQpGraphicsView& view, QEvent::Type type, TQpPoint image, Qt::MouseButtons buttons)
{
    const TQpPoint client = view.MapMode().SourceToTarget(image);
    const QPointF local(client.X, client.Y);
    QMouseEvent event(type, local, view.mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

// Undo and redo of one short stroke of a 60-pixel brush across the middle of the photo, in the Full
// regime with the case's marks: the step's rectangle is about 260 x 61 of the 12 million pixels.
void UndoRedoStroke12MP(benchmark::State& state)
{
    TBench& bench = TBench::Instance();
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    if (!bench.Ok() || !view) {
        state.SkipWithError("shared cutout case missing");
        return;
    }
    TQpSeparationTool& tool = bench.Tool();
    bench.PutMarksBack();
    tool.SetSize(60);
    TQpGraphicsDocument& document = view->Document();
    const std::size_t steps = document.History().Position();
    const TQpPoint centre{document.Width() / 2, document.Height() / 2};
    SendMouse(*view, QEvent::MouseMove, centre, Qt::NoButton);
    SendMouse(*view, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    for (int dx = 0; dx <= 200; dx += 20)
        SendMouse(*view, QEvent::MouseMove, {centre.X + dx, centre.Y}, Qt::LeftButton);
    SendMouse(*view, QEvent::MouseButtonRelease, {centre.X + 200, centre.Y}, Qt::NoButton);
    QCoreApplication::processEvents();
    if (document.History().Position() != steps + 1) {
        state.SkipWithError("the stroke made no undo step");
        return;
    }
    const auto* step = dynamic_cast<const TQpCustomGraphicsCommandState*>(document.History().NextUndoState());
    const TQpRect rect = step ? step->Rect() : TQpRect{};
    for (auto _ : state) {
        QpGraphicsEditor->Undo();
        QpGraphicsEditor->Redo();
    }
    state.counters["step_width"] = rect.Width();
    state.counters["step_height"] = rect.Height();
}

BENCHMARK(Separate12MP)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(ApplyEffect12MP)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BlurLevel5Rebuild12MP)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(UndoRedoStroke12MP)->Unit(benchmark::kMillisecond);

} // namespace
