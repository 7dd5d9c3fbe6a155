// velmora-cli cutout: separates the object from the background of a photo the way the separation tool
// does, from a marks image painted elsewhere (1 object, 2 background, 3 object or background, 0 undecided).

#include "app/cli/Arguments.h"
#include "app/cli/CliCommand.h"
#include "app/cli/ImageFile.h"
#include "core/ProgressMeter.h"
#include "cutout/BackgroundSettings.h"
#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"

#include <QImage>
#include <QImageWriter>
#include <QString>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "cutout PHOTO MARKS [--regime full|edge] [--labels LABELS.png] "
    "[--effect color=#RRGGBB|shadow=N|blur=N|mono=#RRGGBB] [--out RESULT] [--cutout OBJECT.png]";

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

bool ParseHexColor(const std::string& text, std::uint32_t& colorValue)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        rgb = rgb * 16 + static_cast<std::uint32_t>(digit);
    }
    colorValue = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

bool ParseEffect(const std::string& text, TBackgroundSettings& effect)
{
    const auto eq = text.find('=');
    if (eq == std::string::npos)
        return false;
    const std::string name = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (name == "color") {
        effect.Effect = TBackgroundEffect::Color;
        return ParseHexColor(value, effect.FillColor);
    }
    if (name == "mono") {
        effect.Effect = TBackgroundEffect::Monochrome;
        return ParseHexColor(value, effect.TintColor);
    }
    if (name == "shadow") {
        effect.Effect = TBackgroundEffect::Shadow;
        return cli::ParseInt(value, 1, 5, effect.ShadowLevel);
    }
    if (name == "blur") {
        effect.Effect = TBackgroundEffect::Blur;
        return cli::ParseInt(value, 1, 5, effect.BlurLevel);
    }
    return false;
}

void DrawBar(const char* what, int percent)
{
    const int filled = percent * 40 / 100;
    std::cerr << "\r" << what << " [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%"
              << std::flush;
}

// Shows a bar of the decided share while separating and of the blur's progress on a terminal; quiet
// otherwise.
class TTerminalHost : public ISeparationHost, public IProgressMeter
{
public:
    explicit TTerminalHost(const TMarkedRegion& region) : m_region(region), m_bar(isatty(STDERR_FILENO) != 0)
    {
        m_undecidedAtStart = Undecided();
    }
    ~TTerminalHost() override { EndBar(); }

    // Ends the bar's line; later messages start on a line of their own and the separation bar stays off.
    void EndBar()
    {
        if (m_shown && m_separating)
            DrawBar("separating", 100);
        if (m_shown)
            std::cerr << '\n';
        m_shown = false;
        m_separating = false;
    }

    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override
    {
        if (!m_bar || !m_separating || m_undecidedAtStart == 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (m_shown && now - m_lastDraw < std::chrono::milliseconds(200))
            return;
        m_lastDraw = now;
        const std::size_t undecided = std::min(Undecided(), m_undecidedAtStart);
        DrawBar("separating", static_cast<int>(100 - undecided * 100 / m_undecidedAtStart));
        m_shown = true;
    }
    bool AbortRequested() override { return g_interrupted != 0; }

    void Start(int steps) override
    {
        m_steps = steps;
        m_step = 0;
    }
    void Step() override
    {
        ++m_step;
        if (m_bar && m_steps > 0 && m_step % 64 == 0) {
            DrawBar("blurring  ", static_cast<int>(static_cast<long long>(m_step) * 100 / m_steps));
            m_shown = true;
        }
    }

private:
    std::size_t Undecided() const
    {
        return std::size_t{m_region.Counts()[kLabelUnmarked]} + m_region.Counts()[kLabelBoundary];
    }

    const TMarkedRegion& m_region;
    const bool m_bar;
    bool m_shown = false;
    bool m_separating = true;
    std::size_t m_undecidedAtStart = 0;
    std::chrono::steady_clock::time_point m_lastDraw;
    int m_steps = 0;
    int m_step = 0;
};

// The object's own colours with alpha 255, everything else transparent.
bool SaveCutout(const std::string& path, const TMarkedRegion& region, std::string& error)
{
    QImage image(region.Width(), region.Height(), QImage::Format_RGBA8888);
    if (image.isNull()) {
        error = "not enough memory for the cut-out image";
        return false;
    }
    for (int y = 0; y < region.Height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < region.Width(); ++x) {
            const TBgr c = region.UnderlyingColor(x, y);
            const bool object = region.StoredLabel(x, y) == kLabelObject;
            row[4 * x] = c.Red;
            row[4 * x + 1] = c.Green;
            row[4 * x + 2] = c.Blue;
            row[4 * x + 3] = object ? 255 : 0;
        }
    }
    return cli::WriteEncodedImage(path, image, "png", error);
}

int Run(const cli::CommandArgs& args)
{
    const cli::TArguments arguments(args, {"regime", "labels", "effect", "out", "cutout"});
    if (!arguments.Ok())
        return cli::Fail(arguments.Error() + "\nusage: velmora-cli " + kUsage);
    if (arguments.Positional().size() != 2)
        return cli::Fail(std::string("expected PHOTO and MARKS\nusage: velmora-cli ") + kUsage);
    const std::string& photoPath = arguments.Positional()[0];
    const std::string& marksPath = arguments.Positional()[1];

    TSeparationRegime regime = TSeparationRegime::Full;
    if (arguments.Has("regime")) {
        const std::string value = arguments.Value("regime");
        if (value == "edge")
            regime = TSeparationRegime::Edge;
        else if (value != "full")
            return cli::Fail("--regime must be full or edge, not \"" + value + "\"");
    }
    TBackgroundSettings effect;
    if (arguments.Has("effect") && !ParseEffect(arguments.Value("effect"), effect))
        return cli::Fail("--effect must be color=#RRGGBB, shadow=1..5, blur=1..5 or mono=#RRGGBB, not \"" +
                         arguments.Value("effect") + "\"");
    if (arguments.Has("effect") && !arguments.Has("out"))
        return cli::Fail("--effect needs --out RESULT to write the photo with the effect to");

    std::string error;
    // The separation works on the opened image's own pixels, as the tool does on the document's.
    TQpGraphicsImage image;
    if (!cli::LoadImageFile(photoPath, image, error))
        return cli::Fail(error);
    TQpPixels& photo = *image.CurrentPixels();
    TQpPixelMask marks;
    if (!cli::LoadMaskFile(marksPath, marks, error))
        return cli::Fail(error);
    if (marks.Width != photo.Width || marks.Height != photo.Height)
        return cli::Fail("the marks are " + std::to_string(marks.Width) + " x " +
                         std::to_string(marks.Height) + " but the photo is " + std::to_string(photo.Width) +
                         " x " + std::to_string(photo.Height));

    TMarkedRegion region;
    if (!region.Attach(&photo))
        return cli::Fail("not enough memory for the marks of a " + std::to_string(photo.Width) + " x " +
                         std::to_string(photo.Height) + " photo");
    // The effect itself is set when the result is shown; a blur built now would be built twice.
    ApplySeparationDisplayModes(region, TBackgroundEffect::Color);
    ApplyBackgroundParameters(region, effect);
    for (int y = 0; y < marks.Height; ++y)
        for (int x = 0; x < marks.Width; ++x) {
            const std::uint8_t mark = *marks.ValuePtr(x, y);
            if (mark > kLabelUnknown)
                return cli::Fail("the marks hold " + std::to_string(mark) + " at (" + std::to_string(x) +
                                 ", " + std::to_string(y) +
                                 "); only 0 undecided, 1 object, 2 background and " +
                                 "3 object or background are marks");
            region.SetLabel(x, y, mark);
        }

    TTerminalHost host(region);
    region.SetProgressMeter(&host);
    // Unknown marks in the full regime are split into components as switching to it would.
    if (regime == TSeparationRegime::Full)
        SplitUnknownComponents(region, host);
    std::signal(SIGINT, OnInterrupt);
    const auto start = std::chrono::steady_clock::now();
    const TSeparationResult result = RunSeparation(region, regime, host);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::signal(SIGINT, SIG_DFL);
    host.EndBar();
    switch (result.Outcome) {
    case TSeparationOutcome::Separated:
        break;
    case TSeparationOutcome::MissingMarks:
        return cli::Fail("the marks need both object (1) and background (2) strokes" +
                         std::string(regime == TSeparationRegime::Edge
                                         ? ", or object-or-background (3) areas split into at least two parts"
                                         : ""));
    case TSeparationOutcome::Aborted:
        return cli::Fail("interrupted; nothing written");
    case TSeparationOutcome::OutOfMemory:
        return cli::Fail("not enough memory to separate a " + std::to_string(photo.Width) + " x " +
                         std::to_string(photo.Height) + " photo");
    }

    std::size_t shares[3] = {};
    TQpPixelMask labels;
    if (!labels.SetBounds(0, 0, region.Width(), region.Height()))
        return cli::Fail("not enough memory for the labels");
    for (int y = 0; y < region.Height(); ++y)
        for (int x = 0; x < region.Width(); ++x) {
            const std::uint8_t stored = region.StoredLabel(x, y);
            *labels.ValuePtr(x, y) = stored;
            ++shares[stored <= kLabelBackground ? stored : 0];
        }
    const double total = static_cast<double>(region.PointCount());
    std::printf(
        "separated %d x %d in %.2f s (%zu slices): object %.1f %%, background %.1f %%, unreached %.1f %%\n",
        region.Width(), region.Height(), seconds, result.Slices, 100.0 * shares[1] / total,
        100.0 * shares[2] / total, 100.0 * shares[0] / total);

    if (arguments.Has("labels") && !cli::SaveMaskFile(arguments.Value("labels"), labels, error))
        return cli::Fail(error);
    if (arguments.Has("cutout") && !SaveCutout(arguments.Value("cutout"), region, error))
        return cli::Fail(error);
    if (arguments.Has("out")) {
        if (!ShowSeparationResult(region, effect.Effect, host))
            return cli::Fail("there is no result to show");
        if (!cli::SaveImageFile(arguments.Value("out"), photo, error))
            return cli::Fail(error);
    }
    return 0;
}

} // namespace

VELMORA_CLI_COMMAND("cutout", kUsage, Run);
