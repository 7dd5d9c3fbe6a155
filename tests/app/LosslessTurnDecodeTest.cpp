// velmora-cli's lossless JPEG turns and mirrors, checked through a small decoder whose pixels turn
// exactly with its coefficients: the inverse DCT is done in exact integers with one rounding at the end,
// the same 1-D transform for rows and columns, and chroma is upsampled by replication. Transposing a
// block's coefficients then transposes its pixels bit for bit, and negating the odd frequencies mirrors
// them, so every decoded pixel of the turned file must equal the turned pixel of the input.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace {

struct TRgbImage
{
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb; // rows top to bottom, 3 bytes a pixel

    const std::uint8_t* At(int x, int y) const
    {
        return Rgb.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
    }
};

// ---- Exact integer inverse DCT -------------------------------------------------------------------------

constexpr int kCosBits = 13;

// Basis(x, u) = round(2^13 * C(u) * sqrt(2) * cos((2x + 1) u pi / 16)) for x = 0..3, with C(0) = 1/sqrt(2):
// the DC term is cos(pi/4). The outputs 4..7 come from the butterfly, so they are exact mirrors.
const std::array<std::array<std::int64_t, 8>, 4>& Basis()
{
    static const auto basis = [] {
        std::array<std::int64_t, 9> cosine{}; // round(cos(k pi / 16) * 2^13), k = 0..8
        for (int k = 0; k <= 8; ++k)
            cosine[k] = std::lround(std::cos(k * M_PI / 16.0) * (1 << kCosBits));
        cosine[8] = 0;
        std::array<std::array<std::int64_t, 8>, 4> table{};
        for (int x = 0; x < 4; ++x)
            for (int u = 0; u < 8; ++u) {
                if (u == 0) {
                    table[x][u] = cosine[4];
                    continue;
                }
                int angle = ((2 * x + 1) * u) % 32;
                if (angle > 16)
                    angle = 32 - angle;
                table[x][u] = angle <= 8 ? cosine[angle] : -cosine[16 - angle];
            }
        return table;
    }();
    return basis;
}

// out[x] = sum_u Basis(x, u) in[u], unscaled; even and odd frequencies split so out[7 - k] mirrors out[k].
void Idct1D(const std::int64_t* in, std::size_t inStride, std::int64_t* out, std::size_t outStride)
{
    const auto& basis = Basis();
    for (int k = 0; k < 4; ++k) {
        std::int64_t even = 0, odd = 0;
        for (int u = 0; u < 8; u += 2)
            even += basis[k][u] * in[u * inStride];
        for (int u = 1; u < 8; u += 2)
            odd += basis[k][u] * in[u * inStride];
        out[k * outStride] = even + odd;
        out[(7 - k) * outStride] = even - odd;
    }
}

// `coefficients` dequantised, row-major (row = vertical frequency); writes 8 x 8 samples with the level
// shift, rounded once and clamped.
void InverseDct(const std::int64_t* coefficients, std::uint8_t* out, std::size_t outStride)
{
    std::array<std::int64_t, 64> rows{};
    for (int v = 0; v < 8; ++v)
        Idct1D(coefficients + v * 8, 1, rows.data() + v * 8, 1);
    std::array<std::int64_t, 64> full{};
    for (int x = 0; x < 8; ++x)
        Idct1D(rows.data() + x, 8, full.data() + x, 8);
    // Each pass scales by 2^13 and leaves out a factor 1/2.
    constexpr int shift = 2 * kCosBits + 2;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::int64_t value = ((full[y * 8 + x] + (std::int64_t{1} << (shift - 1))) >> shift) + 128;
            out[y * outStride + x] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
        }
}

// ---- Coefficients through libjpeg ----------------------------------------------------------------------

struct TComponent
{
    int H = 1;
    int V = 1;
    int BlocksWide = 0;
    int BlocksHigh = 0;
    std::array<std::int64_t, 64> Quant{};   // natural order
    std::vector<std::int16_t> Coefficients; // 64 a block, natural order, rows of blocks top to bottom
};

struct TCoefficientImage
{
    int Width = 0;
    int Height = 0;
    int MaxH = 1;
    int MaxV = 1;
    std::vector<TComponent> Components;
};

struct TJpegErrorManager
{
    jpeg_error_mgr Manager; // first, so libjpeg's pointer is ours
    std::jmp_buf Jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegErrorManager*>(info->err)->Jump, 1);
}

// Fills `image` from a baseline 8-bit YCbCr JPEG. Only trivially destructible objects live in this frame,
// so a longjmp out of libjpeg is well defined.
bool ReadCoefficients(const std::vector<std::uint8_t>& bytes, TCoefficientImage& image)
{
    jpeg_decompress_struct info;
    TJpegErrorManager errors;
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = OnJpegError;
    if (setjmp(errors.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.progressive_mode || info.arith_code ||
        info.data_precision != 8 || info.jpeg_color_space != JCS_YCbCr || info.num_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    image.Width = static_cast<int>(info.image_width);
    image.Height = static_cast<int>(info.image_height);
    image.MaxH = info.max_h_samp_factor;
    image.MaxV = info.max_v_samp_factor;
    image.Components.resize(3);
    for (int c = 0; c < 3; ++c) {
        const jpeg_component_info& from = info.comp_info[c];
        TComponent& to = image.Components[c];
        to.H = from.h_samp_factor;
        to.V = from.v_samp_factor;
        to.BlocksWide = static_cast<int>(from.width_in_blocks);
        to.BlocksHigh = static_cast<int>(from.height_in_blocks);
        const JQUANT_TBL* quant =
            from.quant_table ? from.quant_table : info.quant_tbl_ptrs[from.quant_tbl_no];
        for (int i = 0; i < 64; ++i)
            to.Quant[i] = quant->quantval[i];
        to.Coefficients.resize(static_cast<std::size_t>(to.BlocksWide) * to.BlocksHigh * 64);
        for (int by = 0; by < to.BlocksHigh; ++by) {
            JBLOCKARRAY row = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c],
                                                           static_cast<JDIMENSION>(by), 1, FALSE);
            for (int bx = 0; bx < to.BlocksWide; ++bx)
                std::copy(row[0][bx], row[0][bx] + 64,
                          to.Coefficients.begin() +
                              (static_cast<std::ptrdiff_t>(by) * to.BlocksWide + bx) * 64);
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

std::uint8_t Clamp(int value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// The reference decode: exact inverse DCT, chroma replicated over its box, JFIF YCbCr to RGB in 16-bit
// fixed point. Requires a size that is a whole number of minimum coded units.
bool ReferenceDecode(const std::vector<std::uint8_t>& bytes, TRgbImage& out)
{
    TCoefficientImage image;
    if (!ReadCoefficients(bytes, image) || image.Width % (8 * image.MaxH) || image.Height % (8 * image.MaxV))
        return false;
    std::vector<std::vector<std::uint8_t>> planes(3);
    std::array<int, 3> planeWidth{}, stepX{}, stepY{};
    for (int c = 0; c < 3; ++c) {
        const TComponent& component = image.Components[c];
        if (image.MaxH % component.H || image.MaxV % component.V)
            return false;
        stepX[c] = image.MaxH / component.H;
        stepY[c] = image.MaxV / component.V;
        planeWidth[c] = component.BlocksWide * 8;
        planes[c].resize(static_cast<std::size_t>(planeWidth[c]) * component.BlocksHigh * 8);
        std::array<std::int64_t, 64> dequantised{};
        for (int by = 0; by < component.BlocksHigh; ++by)
            for (int bx = 0; bx < component.BlocksWide; ++bx) {
                const std::int16_t* block = component.Coefficients.data() +
                                            (static_cast<std::size_t>(by) * component.BlocksWide + bx) * 64;
                for (int i = 0; i < 64; ++i)
                    dequantised[i] = block[i] * component.Quant[i];
                InverseDct(dequantised.data(),
                           planes[c].data() + static_cast<std::size_t>(by) * 8 * planeWidth[c] + bx * 8,
                           static_cast<std::size_t>(planeWidth[c]));
            }
    }
    out.Width = image.Width;
    out.Height = image.Height;
    out.Rgb.resize(static_cast<std::size_t>(out.Width) * out.Height * 3);
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x) {
            std::array<int, 3> s{};
            for (int c = 0; c < 3; ++c)
                s[c] = planes[c][static_cast<std::size_t>(y / stepY[c]) * planeWidth[c] + x / stepX[c]];
            const int luma = s[0], cb = s[1] - 128, cr = s[2] - 128;
            std::uint8_t* p = out.Rgb.data() + (static_cast<std::size_t>(y) * out.Width + x) * 3;
            p[0] = Clamp(luma + ((91881 * cr + 32768) >> 16));
            p[1] = Clamp(luma + ((-22554 * cb - 46802 * cr + 32768) >> 16));
            p[2] = Clamp(luma + ((116130 * cb + 32768) >> 16));
        }
    return true;
}

// ---- Helpers ------------------------------------------------------------------------------------------

std::vector<std::uint8_t> ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

// libjpeg-turbo's own decode: accurate integer IDCT and replicated chroma, the closest it comes.
bool TurboDecode(const std::vector<std::uint8_t>& bytes, TRgbImage& out)
{
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(handle, bytes.data(), bytes.size(), &width, &height, &subsampling,
                                  &colorspace) == 0;
    if (ok) {
        out.Width = width;
        out.Height = height;
        out.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
        ok = tjDecompress2(handle, bytes.data(), bytes.size(), out.Rgb.data(), width, width * 3, height,
                           TJPF_RGB, TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE) == 0;
    }
    tjDestroy(handle);
    return ok;
}

int MaxDifference(const TRgbImage& a, const TRgbImage& b)
{
    int worst = 0;
    for (std::size_t i = 0; i < a.Rgb.size(); ++i)
        worst = std::max(worst, std::abs(a.Rgb[i] - b.Rgb[i]));
    return worst;
}

class LosslessTurnDecode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(TestPhoto("nuthatch_3mp.jpg")))
            GTEST_SKIP() << "test photographs not found in " << VELMORA_TESTDATA_DIR;
        ASSERT_TRUE(m_dir.isValid());
    }

    // A 1024 x 768 part of a real photo, encoded with the given chroma sampling: a whole number of
    // minimum coded units either way, and not square, so a turn changes the shape.
    QString WriteInput(int subsampling)
    {
        const QImage photo = QImage(TestPhoto("nuthatch_3mp.jpg"))
                                 .convertToFormat(QImage::Format_RGB888)
                                 .copy(600, 400, 1024, 768);
        EXPECT_EQ(photo.size(), QSize(1024, 768));
        tjhandle handle = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        const int result =
            tjCompress2(handle, photo.constBits(), photo.width(), static_cast<int>(photo.bytesPerLine()),
                        photo.height(), TJPF_RGB, &jpeg, &size, subsampling, 90, TJFLAG_ACCURATEDCT);
        const QString path = m_dir.filePath("in.jpg");
        QFile file(path);
        const bool written = result == 0 && file.open(QIODevice::WriteOnly) &&
                             file.write(reinterpret_cast<const char*>(jpeg), static_cast<qint64>(size)) ==
                                 static_cast<qint64>(size);
        tjFree(jpeg);
        tjDestroy(handle);
        EXPECT_TRUE(written);
        return path;
    }

    void ExpectExactTurns(int subsampling)
    {
        const QString input = WriteInput(subsampling);
        const std::vector<std::uint8_t> inBytes = ReadBytes(input);
        TRgbImage original, turbo;
        ASSERT_TRUE(ReferenceDecode(inBytes, original));
        ASSERT_TRUE(TurboDecode(inBytes, turbo));
        ASSERT_EQ(original.Width, turbo.Width);
        ASSERT_EQ(original.Height, turbo.Height);
        EXPECT_LE(MaxDifference(original, turbo), 4) << "the reference decoder is not a JPEG decoder";

        const int w = original.Width, h = original.Height;
        struct TCase
        {
            const char* command;
            int width, height;
            std::function<const std::uint8_t*(int, int)> source; // the input pixel that lands at (x, y)
        };
        const TCase cases[] = {
            {"rotate-right", h, w, [&](int x, int y) { return original.At(y, h - 1 - x); }},
            {"rotate-left", h, w, [&](int x, int y) { return original.At(w - 1 - y, x); }},
            {"mirror", w, h, [&](int x, int y) { return original.At(w - 1 - x, y); }},
            {"flip", w, h, [&](int x, int y) { return original.At(x, h - 1 - y); }},
        };
        for (const TCase& test : cases) {
            const QString out = m_dir.filePath(QString(test.command) + ".jpg");
            const TCliRun run = RunCli({test.command, input, out});
            ASSERT_EQ(run.exitCode, 0) << test.command << ": " << run.errors.toStdString();
            const std::vector<std::uint8_t> outBytes = ReadBytes(out);
            TRgbImage turned, turboTurned;
            ASSERT_TRUE(ReferenceDecode(outBytes, turned)) << test.command;
            ASSERT_EQ(turned.Width, test.width) << test.command;
            ASSERT_EQ(turned.Height, test.height) << test.command;
            ASSERT_TRUE(TurboDecode(outBytes, turboTurned)) << test.command;
            EXPECT_LE(MaxDifference(turned, turboTurned), 4) << test.command;

            long mismatches = 0;
            int firstX = -1, firstY = -1;
            for (int y = 0; y < turned.Height; ++y)
                for (int x = 0; x < turned.Width; ++x)
                    if (!std::equal(turned.At(x, y), turned.At(x, y) + 3, test.source(x, y)) &&
                        mismatches++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
            EXPECT_EQ(0, mismatches) << test.command << ": first at " << firstX << "," << firstY;
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(LosslessTurnDecode, ChromaSampledTwoByTwoTurnsAndMirrorsExactly)
{
    ExpectExactTurns(TJSAMP_420);
}

TEST_F(LosslessTurnDecode, FullChromaTurnsAndMirrorsExactly)
{
    ExpectExactTurns(TJSAMP_444);
}

// The integer transform itself: within a level of the real inverse DCT, and exactly symmetric.
TEST(ExactInverseDct, MatchesTheRealTransformAndTurnsWithItsCoefficients)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coefficient(-300, 300);
    for (int trial = 0; trial < 200; ++trial) {
        std::array<std::int64_t, 64> in{}, transposed{}, oddNegated{};
        for (int i = 0; i < 64; ++i)
            in[i] = coefficient(random) / (1 + i / 4);
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                transposed[u * 8 + v] = in[v * 8 + u];
                oddNegated[v * 8 + u] = u % 2 ? -in[v * 8 + u] : in[v * 8 + u];
            }
        std::array<std::uint8_t, 64> out{}, outTransposed{}, outMirrored{};
        InverseDct(in.data(), out.data(), 8);
        InverseDct(transposed.data(), outTransposed.data(), 8);
        InverseDct(oddNegated.data(), outMirrored.data(), 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double real = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        real += (u ? 1.0 : M_SQRT1_2) * (v ? 1.0 : M_SQRT1_2) *
                                static_cast<double>(in[v * 8 + u]) * std::cos((2 * x + 1) * u * M_PI / 16) *
                                std::cos((2 * y + 1) * v * M_PI / 16);
                const double expected = std::clamp(real / 4 + 128, 0.0, 255.0);
                ASSERT_LE(std::abs(out[y * 8 + x] - expected), 1.0) << trial << ": " << x << "," << y;
                ASSERT_EQ(out[y * 8 + x], outTransposed[x * 8 + y]) << trial;
                ASSERT_EQ(out[y * 8 + x], outMirrored[y * 8 + 7 - x]) << trial;
            }
    }
}

} // namespace
