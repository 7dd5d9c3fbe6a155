// The whole plug-in path with nothing stood in: a test host loads the plug-in, the plug-in starts the
// program on the transfer block, the test presses the program's OK button with a real click through
// XTest, and the host receives the image back.

#ifdef VELMORA_XTEST

#include "e2e/XvfbSession.h"
#include "plugin/TestHost.h"

#include <QElapsedTimer>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
// Last: the X headers define macros (None, Bool) that clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace fs = std::filesystem;

namespace {

// Dark columns of a band, grouped into clusters of letters: the centres of the clusters, left to right.
std::vector<QRect> TextClusters(const QImage& image, int top, int bottom)
{
    std::vector<QRect> clusters;
    int start = -1;
    int last = -10;
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = top; y <= bottom && !dark; ++y)
            dark = qGray(image.pixel(x, y)) < 90;
        if (!dark)
            continue;
        if (x - last > 5) {
            if (start >= 0)
                clusters.push_back(QRect(QPoint(start, top), QPoint(last, bottom)));
            start = x;
        }
        last = x;
    }
    if (start >= 0)
        clusters.push_back(QRect(QPoint(start, top), QPoint(last, bottom)));
    return clusters;
}

// The processes this process started and has not yet reaped.
std::vector<pid_t> Children()
{
    std::vector<pid_t> result;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream file(task.path() / "children");
        pid_t pid = 0;
        while (file >> pid)
            result.push_back(pid);
    }
    return result;
}

// Puts the variables back as they were when it goes, so later tests see their own world.
class TEnvironmentGuard
{
public:
    explicit TEnvironmentGuard(std::vector<std::string> names) : m_names(std::move(names))
    {
        for (const std::string& name : m_names) {
            const char* value = std::getenv(name.c_str());
            m_values.emplace_back(value != nullptr, value != nullptr ? value : "");
        }
    }
    ~TEnvironmentGuard()
    {
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (m_values[i].first)
                ::setenv(m_names[i].c_str(), m_values[i].second.c_str(), 1);
            else
                ::unsetenv(m_names[i].c_str());
        }
    }

private:
    std::vector<std::string> m_names;
    std::vector<std::pair<bool, std::string>> m_values;
};

void Click(const QString& display, QPoint at)
{
    Display* connection = XOpenDisplay(display.toLocal8Bit().constData());
    ASSERT_NE(connection, nullptr);
    XTestFakeMotionEvent(connection, 0, at.x(), at.y(), CurrentTime);
    XSync(connection, False);
    QThread::msleep(100);
    XTestFakeButtonEvent(connection, 1, True, CurrentTime);
    XSync(connection, False);
    QThread::msleep(50);
    XTestFakeButtonEvent(connection, 1, False, CurrentTime);
    XSync(connection, False);
    XCloseDisplay(connection);
}

TEST(PluginRoundTripTest, OkInTheProgramSendsTheImageBackToTheHost)
{
    XvfbSession& x = XvfbSession::Instance();
    if (!x.Ok())
        GTEST_SKIP() << "no virtual X server";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const fs::path base = root.path().toStdString();
    for (const char* folder : {"config/Velmora", "system", "tmp", "lib", "data", "runtime"})
        fs::create_directories(base / folder);
    fs::permissions(base / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    std::ofstream(base / "config" / "Velmora" / "plugins.conf", std::ios::binary)
        << "SOFTWARE\\Brellix\\Photo Plugins\\Velmora=" << VELMORA_PROGRAM << "\n";
    // The program inherits this environment from the plug-in.
    const TEnvironmentGuard guard({"DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                   "XDG_RUNTIME_DIR", "XDG_CONFIG_DIRS", "TMPDIR"});
    const QProcessEnvironment env = x.Environment(root.path());
    for (const char* name :
         {"DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        ::setenv(name, env.value(name).toLocal8Bit().constData(), 1);
    ::setenv("XDG_CONFIG_DIRS", (base / "system").c_str(), 1);
    ::setenv("TMPDIR", (base / "tmp").c_str(), 1);

    TPluginModule module(VELMORA_PLUGIN_FILE, base / "lib" / "VelmoraPlugin.8bf");
    ASSERT_TRUE(module.IsLoaded()) << module.LoadError;
    TTestHost host(64, 48, 3, 64 * 3 + 1, {0, 0, 48, 64});
    std::future<std::int16_t> run =
        std::async(std::launch::async, [&] { return host.Run(module, kSelectorStart); });

    // The program is in plug-in mode once its toolbar ends in the OK and Cancel captions.
    QImage shot;
    std::vector<QRect> clusters;
    QElapsedTimer timer;
    timer.start();
    bool ready = false;
    while (timer.elapsed() < 20000 && !ready) {
        QThread::msleep(500);
        shot = x.Grab();
        const int top = XvfbSession::PaintedBounds(shot).top();
        clusters = TextClusters(shot, top + 28, top + 48);
        // The empty screen right of the window is one wide dark run, no caption.
        std::erase_if(clusters, [](const QRect& c) { return c.width() > 100; });
        ready = clusters.size() >= 6 && run.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    }
    QDir().mkpath(QStringLiteral(VELMORA_BINARY_DIR "/artifacts"));
    shot.save(QStringLiteral(VELMORA_BINARY_DIR "/artifacts/plugin-mode.png"));
    if (ready) {
        // The last caption is Cancel, the one before it OK.
        const QRect ok = clusters[clusters.size() - 2];
        Click(x.Display(), ok.center());
    }
    if (run.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        for (pid_t child : Children())
            ::kill(child, SIGKILL);
        run.wait();
        FAIL() << "the program did not end after OK";
    }
    ASSERT_TRUE(ready) << "no plug-in toolbar seen";
    EXPECT_EQ(run.get(), 0);
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_EQ(host.OutputRequests, 1) << "the host copied the result back";
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
    EXPECT_TRUE(fs::is_empty(base / "tmp")) << "the transfer block is gone";
}

} // namespace

#endif
