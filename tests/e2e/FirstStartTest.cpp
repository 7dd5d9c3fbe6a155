// The first start as a new user sees it, in English and German on two common screen sizes: each on a
// virtual X server of its own, read back from the server's frame buffer file.

#include "e2e/XvfbSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// A virtual X server of the given size whose screen is a file in X window dump format.
class TScreenServer
{
public:
    TScreenServer(int width, int height)
    {
        int fds[2];
        if (!m_folder.isValid() || pipe(fds) != 0)
            return;
        m_server.setProgram("Xvfb");
        m_server.setArguments({"-displayfd", QString::number(fds[1]), "-screen", "0",
                               QStringLiteral("%1x%2x24").arg(width).arg(height), "-fbdir", m_folder.path(),
                               "-nolisten", "tcp"});
        m_server.setChildProcessModifier([fd = fds[0]] { ::close(fd); });
        m_server.start();
        ::close(fds[1]);
        std::string number;
        char c;
        if (m_server.waitForStarted(5000))
            while (::read(fds[0], &c, 1) == 1 && c != '\n')
                number += c;
        ::close(fds[0]);
        if (!number.empty())
            m_display = ":" + QString::fromStdString(number);
    }
    ~TScreenServer()
    {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    QString Display() const { return m_display; }

    QImage Grab() const
    {
        QFile file(m_folder.filePath("Xvfb_screen0"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray dump = file.readAll();
        if (dump.size() < 100)
            return {};
        const auto field = [&](int index) {
            return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(dump.constData()) + index * 4);
        };
        const quint32 headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7),
                      bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
        const qint64 start = qint64(headerSize) + qint64(colours) * 12;
        if (bitsPerPixel != 32 || width == 0 || height == 0 || width > 8192 || height > 8192 ||
            start + qint64(bytesPerLine) * height > dump.size())
            return {};
        QImage image(int(width), int(height), QImage::Format_RGB32);
        for (quint32 y = 0; y < height; ++y) {
            const auto* row =
                reinterpret_cast<const uchar*>(dump.constData() + start + qint64(y) * bytesPerLine);
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            for (quint32 x = 0; x < width; ++x)
                out[x] = (byteOrder == 0 ? qFromLittleEndian<quint32>(row + x * 4)
                                         : qFromBigEndian<quint32>(row + x * 4)) |
                         0xFF000000u;
        }
        return image;
    }

private:
    QTemporaryDir m_folder;
    QProcess m_server;
    QString m_display;
};

struct TCase
{
    const char* Language;
    const char* Locale;
    int Width;
    int Height;
};

void PrintTo(const TCase& c, std::ostream* out)
{
    *out << c.Language << " " << c.Width << "x" << c.Height;
}

class FirstStartTest : public testing::TestWithParam<TCase>
{
};

TEST_P(FirstStartTest, WindowTakesMostOfTheScreenCentred)
{
    const TCase c = GetParam();
    TScreenServer server(c.Width, c.Height);
    if (server.Display().isEmpty())
        GTEST_SKIP() << "no virtual X server";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = XvfbSession::Environment(home.path(), server.Display());
    env.insert("LANG", c.Locale);
    env.insert("LC_ALL", c.Locale);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(VELMORA_PROGRAM, {QStringLiteral(VELMORA_SOURCE_DIR "/resources/samples/coffee.png")});
    ASSERT_TRUE(program.waitForStarted(10000));

    // Painted once two grabs a moment apart agree.
    QImage shot, last;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        QThread::msleep(700);
        shot = server.Grab();
        if (!shot.isNull() && shot == last && XvfbSession::PaintedBounds(shot).width() > 400)
            break;
        last = shot;
    }
    const QString folder = QStringLiteral(VELMORA_BINARY_DIR "/artifacts");
    QDir().mkpath(folder);
    shot.save(folder +
              QStringLiteral("/first-start-%1-%2x%3.png").arg(c.Language).arg(c.Width).arg(c.Height));
    program.terminate();
    program.waitForFinished(5000);

    ASSERT_FALSE(shot.isNull());
    const QRect window = XvfbSession::PaintedBounds(shot);
    EXPECT_NEAR(window.width(), c.Width * 4 / 5, 8);
    EXPECT_NEAR(window.height(), c.Height * 4 / 5, 8);
    EXPECT_NEAR(window.center().x(), c.Width / 2, 8);
    EXPECT_NEAR(window.center().y(), c.Height / 2, 8);
}

INSTANTIATE_TEST_SUITE_P(Screens, FirstStartTest,
                         testing::Values(TCase{"en", "en_US.UTF-8", 1600, 1000},
                                         TCase{"en", "en_US.UTF-8", 1280, 720},
                                         TCase{"de", "de_DE.UTF-8", 1600, 1000},
                                         TCase{"de", "de_DE.UTF-8", 1280, 720}),
                         [](const testing::TestParamInfo<TCase>& info) {
                             return std::string(info.param.Language) + "_" +
                                    std::to_string(info.param.Width) + "x" +
                                    std::to_string(info.param.Height);
                         });

} // namespace
