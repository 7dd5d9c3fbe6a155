// The whole cutout of a big photograph as a user makes it in the editor, offscreen: open, the marks,
// Separate, the colour effect, Done and Save as JPEG, with the process's peak resident memory from the
// open on. 24 MP must stay within 1.5 GB and 50 MP (10000 x 5000) within 3 GB.

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsFormats.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "model/QpGraphicsImage.h"
#include "tools/separation/SeparationTool.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <string>

namespace {

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return 0;
}

struct TQuietHost : ISeparationHost
{
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

// One program: the editor with the separation tool in an offscreen main window.
class TProgram
{
public:
    static TProgram& Instance()
    {
        static TProgram program;
        return program;
    }
    TQpGraphicsEditor* Editor = nullptr;
    TQpSeparationTool* Tool = nullptr;
    QTemporaryDir Folder;

private:
    TProgram()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char arg0[] = "tools_cutout_bench";
        static char* argv[] = {arg0, nullptr};
        m_qt = std::make_unique<QApplication>(argc, argv);
        framework::SetMessageBoxHook([](const QString&, const QString&, int) { return framework::kIdNo; });
        m_application = std::make_unique<TQpApplication>();
        m_application->SetSettingsFileName(Folder.filePath("cfg/Velmora.cfg"));
        m_application->CreateModule(Editor);
        TQpToolPanelModule* panel = nullptr;
        m_application->CreateModule(panel);
        m_application->CreateModule(Tool);
        if (auto* formats = dynamic_cast<TQpGraphicsFormats*>(&Editor->Formats()))
            formats->SetQualityQuestion([](int& quality, bool*) {
                quality = 90;
                return true;
            });
        MainForm->resize(1280, 900);
        MainForm->show();
        QCoreApplication::processEvents();
    }
    std::unique_ptr<QApplication> m_qt;
    std::unique_ptr<TQpApplication> m_application;
};

void WholeCutout(benchmark::State& state, int width, int height)
{
    TProgram& program = TProgram::Instance();
    const QString dir = QString(VELMORA_TESTDATA_DIR) + "/cutout/bowl_meadow/";
    const QString photo = program.Folder.filePath("big.bmp");
    std::vector<std::uint8_t> marks;
    {
        QImage image = QImage(dir + "image.png").convertToFormat(QImage::Format_RGB888);
        QImage drawn = QImage(dir + "marks.png").convertToFormat(QImage::Format_Grayscale8);
        if (image.isNull() || drawn.isNull() || !program.Folder.isValid()) {
            state.SkipWithError("shared cutout case missing");
            return;
        }
        if (!image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                 .save(photo, "BMP")) {
            state.SkipWithError("no room for the photo");
            return;
        }
        drawn = drawn.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        marks.resize(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            std::memcpy(marks.data() + static_cast<std::size_t>(y) * width, drawn.constScanLine(y),
                        static_cast<std::size_t>(width));
    }
    long peak = 0;
    for (auto _ : state) {
        std::ofstream("/proc/self/clear_refs") << "5";
        TQpDocument* document = nullptr;
        if (!program.Editor->OpenFile(photo, document, false) || !document) {
            state.SkipWithError("the photo did not open");
            return;
        }
        program.Editor->SetActiveTool(program.Tool);
        TQpSeparationTool& tool = *program.Tool;
        TQuietHost host;
        tool.SetRegime(TQpSeparationTool::kFull);
        TMarkedRegion& region = tool.Region();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (const std::uint8_t label = marks[static_cast<std::size_t>(y) * width + x];
                    label == 1 || label == 2)
                    region.SetLabel(x, y, label);
        region.Backup(region.Bounds());
        tool.Separate();
        tool.RegimeEffectTBXButtonClick();
        tool.Done();
        const bool saved = document->SaveToFile(program.Folder.filePath("cut.jpg"), kJpegFormat);
        peak = StatusKb("VmHWM:");
        document->CloseQuery();
        QCoreApplication::processEvents();
        if (!saved) {
            state.SkipWithError("the cut-out was not saved");
            return;
        }
    }
    state.counters["MP"] = width * double(height) / 1e6;
    state.counters["process_peak_MB"] = peak / 1024.0;
}

BENCHMARK_CAPTURE(WholeCutout, 24MP, 6000, 4000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WholeCutout, 50MP, 10000, 5000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
