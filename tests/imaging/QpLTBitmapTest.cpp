#include "imaging/QpLTBitmap.h"
#include "imaging/Resampler.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Pixel (x, y) of a test image: blue = x, green = y, red = a fixed mark, so positions can be read back.
void FillPositions(TQpLTBitmap& bitmap, int mark = 7)
{
    TQpPixels* pixels = bitmap.GetPixels();
    for (int y = 0; y < pixels->Height; ++y)
        for (int x = 0; x < pixels->Width; ++x) {
            std::uint8_t* p = pixels->PixelPtr(x, y);
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = std::uint8_t(mark);
        }
}

std::vector<int> At(TQpLTBitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.GetPixels()->PixelPtr(x, y);
    return {p[0], p[1], p[2]};
}

std::vector<std::uint8_t> Bytes(TQpLTBitmap& bitmap)
{
    std::vector<std::uint8_t> bytes;
    const TQpPixels* p = bitmap.GetPixels();
    for (int y = 0; y < p->Height; ++y)
        bytes.insert(bytes.end(), p->PixelPtr(0, y), p->PixelPtr(0, y) + p->Width * p->BytesPerPixel);
    return bytes;
}

int g_allowed = 0;
TPageAllocator g_system = SystemPageAllocator();
void* LimitedAllocate(std::size_t bytes)
{
    return g_allowed-- > 0 ? g_system.Allocate(bytes) : nullptr;
}

// Lets `allowed` page allocations through and refuses the rest while it lives.
struct TAllocationBudget
{
    explicit TAllocationBudget(int allowed) { g_allowed = allowed; }
    TPageAllocator previous = SetPageAllocator({&LimitedAllocate, g_system.Free});
    ~TAllocationBudget() { SetPageAllocator(previous); }
};

} // namespace

// A bitmap owns its storage and is neither copied nor moved, so tests build it in place.
#define MAKE_BITMAP(name, w, h)                                                                              \
    TQpLTBitmap name;                                                                                        \
    ASSERT_TRUE(name.SetSize(w, h, pfBGR24));                                                                \
    FillPositions(name)

TEST(LTBitmap, StorageHasPaddedRowsAndStartsBlack)
{
    TQpLTBitmap bitmap;
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.GetPixels(), nullptr);
    ASSERT_TRUE(bitmap.SetSize(5, 3, pfBGR24));
    EXPECT_EQ(bitmap.GetWidth(), 5);
    EXPECT_EQ(bitmap.GetHeight(), 3);
    EXPECT_EQ(bitmap.GetPixels()->Stride, 16);
    EXPECT_EQ(bitmap.GetPixels()->GetBounds(), (TQpRect{0, 0, 5, 3}));
    for (std::uint8_t byte : Bytes(bitmap))
        EXPECT_EQ(byte, 0);
    EXPECT_FALSE(bitmap.SetSize(0, 3, pfBGR24));
    EXPECT_FALSE(bitmap.SetSize(3, 3, 0x1010));
    EXPECT_FALSE(bitmap.SetSize(kMaxImageSide + 1, 1, pfBGR24));
    EXPECT_EQ(bitmap.GetWidth(), 5); // every refusal kept the image
}

TEST(LTBitmap, RotateLeftOfThreeByTwo)
{
    MAKE_BITMAP(bitmap, 3, 2);
    ASSERT_TRUE(bitmap.RotateLeft());
    EXPECT_EQ(bitmap.GetWidth(), 2);
    EXPECT_EQ(bitmap.GetHeight(), 3);
    // Old (x, y) goes to (y, w - 1 - x): the old top-right (2, 0) is the new top-left.
    EXPECT_EQ(At(bitmap, 0, 0), (std::vector<int>{2, 0, 7}));
    EXPECT_EQ(At(bitmap, 1, 0), (std::vector<int>{2, 1, 7}));
    EXPECT_EQ(At(bitmap, 0, 2), (std::vector<int>{0, 0, 7}));
    EXPECT_EQ(At(bitmap, 1, 1), (std::vector<int>{1, 1, 7}));
}

TEST(LTBitmap, RotateRightOfThreeByTwo)
{
    MAKE_BITMAP(bitmap, 3, 2);
    ASSERT_TRUE(bitmap.RotateRight());
    EXPECT_EQ(bitmap.GetWidth(), 2);
    EXPECT_EQ(bitmap.GetHeight(), 3);
    // Old (x, y) goes to (h - 1 - y, x): the old bottom-left (0, 1) is the new top-left.
    EXPECT_EQ(At(bitmap, 0, 0), (std::vector<int>{0, 1, 7}));
    EXPECT_EQ(At(bitmap, 1, 0), (std::vector<int>{0, 0, 7}));
    EXPECT_EQ(At(bitmap, 0, 2), (std::vector<int>{2, 1, 7}));
}

TEST(LTBitmap, MirrorAndFlipOfThreeByTwo)
{
    MAKE_BITMAP(mirrored, 3, 2);
    ASSERT_TRUE(mirrored.Mirror());
    EXPECT_EQ(At(mirrored, 0, 0), (std::vector<int>{2, 0, 7}));
    EXPECT_EQ(At(mirrored, 2, 1), (std::vector<int>{0, 1, 7}));
    MAKE_BITMAP(flipped, 3, 2);
    ASSERT_TRUE(flipped.Flip());
    EXPECT_EQ(At(flipped, 0, 0), (std::vector<int>{0, 1, 7}));
    EXPECT_EQ(At(flipped, 2, 1), (std::vector<int>{2, 0, 7}));
}

TEST(LTBitmap, TiledTurnsMatchThePerPixelMappingOnLargeOddImages)
{
    // Larger than one tile in both directions, with rows that need padding (and so start at any
    // alignment), with rows that are 16-byte aligned, and large enough (over 4 MB) for streaming stores.
    for (auto [w, h] : {std::pair{203, 131}, std::pair{256, 96}, std::pair{1366, 1025}}) {
        std::mt19937 random(5);
        TQpLTBitmap original;
        ASSERT_TRUE(original.SetSize(w, h, pfBGR24));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    original.GetPixels()->PixelPtr(x, y)[c] = std::uint8_t(random());
        auto same = [&](TQpLTBitmap& turned, int tx, int ty, int x, int y) {
            return std::memcmp(turned.GetPixels()->PixelPtr(tx, ty), original.GetPixels()->PixelPtr(x, y),
                               3) == 0;
        };

        std::unique_ptr<TQpLTBitmap> left = original.Clone();
        std::unique_ptr<TQpLTBitmap> right = original.Clone();
        std::unique_ptr<TQpLTBitmap> mirror = original.Clone();
        std::unique_ptr<TQpLTBitmap> flip = original.Clone();
        ASSERT_TRUE(left && right && mirror && flip);
        ASSERT_TRUE(left->RotateLeft());
        ASSERT_TRUE(right->RotateRight());
        ASSERT_TRUE(mirror->Mirror());
        ASSERT_TRUE(flip->Flip());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_TRUE(same(*left, y, w - 1 - x, x, y)) << w << "x" << h << " at " << x << "," << y;
                ASSERT_TRUE(same(*right, h - 1 - y, x, x, y)) << w << "x" << h << " at " << x << "," << y;
                ASSERT_TRUE(same(*mirror, w - 1 - x, y, x, y)) << w << "x" << h << " at " << x << "," << y;
                ASSERT_TRUE(same(*flip, x, h - 1 - y, x, y)) << w << "x" << h << " at " << x << "," << y;
            }
        // Four left turns give the image back.
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(left->RotateLeft());
        EXPECT_EQ(Bytes(*left), Bytes(original));
    }
}

TEST(LTBitmap, TurnsAndMirrorsRefuseOtherFormats)
{
    TQpLTBitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(4, 3, pfBGRA32));
    const std::uint8_t* data = bitmap.GetPixels()->Data;
    EXPECT_FALSE(bitmap.Mirror());
    EXPECT_FALSE(bitmap.Flip());
    EXPECT_FALSE(bitmap.RotateLeft());
    EXPECT_FALSE(bitmap.RotateRight());
    EXPECT_FALSE(bitmap.Resize(8, 6));
    EXPECT_EQ(bitmap.GetPixels()->Data, data);
    EXPECT_EQ(bitmap.GetWidth(), 4);
    // Crop and canvas work on any format.
    EXPECT_TRUE(bitmap.Crop({1, 1, 3, 3}));
    EXPECT_EQ(bitmap.GetPixels()->Stride, 8);
}

TEST(LTBitmap, CropTakesTheIntersection)
{
    MAKE_BITMAP(bitmap, 10, 8);
    ASSERT_TRUE(bitmap.Crop({6, -2, 14, 3}));
    EXPECT_EQ(bitmap.GetWidth(), 4);
    EXPECT_EQ(bitmap.GetHeight(), 3);
    EXPECT_EQ(At(bitmap, 0, 0), (std::vector<int>{6, 0, 7}));
    EXPECT_EQ(At(bitmap, 3, 2), (std::vector<int>{9, 2, 7}));
}

TEST(LTBitmap, CropOutsideTheImageFailsAndChangesNothing)
{
    MAKE_BITMAP(bitmap, 10, 8);
    const std::vector<std::uint8_t> before = Bytes(bitmap);
    EXPECT_FALSE(bitmap.Crop({10, 0, 20, 8}));
    EXPECT_FALSE(bitmap.Crop({-5, -5, 0, 0}));
    EXPECT_EQ(bitmap.GetWidth(), 10);
    EXPECT_EQ(Bytes(bitmap), before);
}

TEST(LTBitmap, ResizeCanvasKeepsTheTopLeftAndFillsBlack)
{
    MAKE_BITMAP(bitmap, 3, 2);
    ASSERT_TRUE(bitmap.ResizeCanvas(5, 4));
    EXPECT_EQ(bitmap.GetWidth(), 5);
    EXPECT_EQ(bitmap.GetHeight(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(At(bitmap, x, y),
                      (x < 3 && y < 2) ? (std::vector<int>{x, y, 7}) : (std::vector<int>{0, 0, 0}))
                << x << "," << y;
    ASSERT_TRUE(bitmap.ResizeCanvas(2, 1));
    EXPECT_EQ(At(bitmap, 1, 0), (std::vector<int>{1, 0, 7}));
    EXPECT_FALSE(bitmap.ResizeCanvas(0, 4));
}

TEST(LTBitmap, ResizeUsesQuickDraftOnlyWhileTheFlagIsSet)
{
    // A 4 x 1 image reduced to 2 x 1: m = -0.5 + (i + 0.5) * 2 = 0.5 and 2.5, so point sampling takes
    // columns floor(m) = 0 and 2, while Lanczos mixes the neighbours.
    MAKE_BITMAP(draft, 4, 1);
    for (int x = 0; x < 4; ++x)
        draft.GetPixels()->PixelPtr(x, 0)[2] = std::uint8_t(x * 80);
    std::unique_ptr<TQpLTBitmap> fine = draft.Clone();
    QuickDraftResampling = true;
    ASSERT_TRUE(draft.Resize(2, 1));
    QuickDraftResampling = false;
    EXPECT_EQ(At(draft, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(At(draft, 1, 0), (std::vector<int>{2, 0, 160}));
    ASSERT_TRUE(fine->Resize(2, 1));
    // Red 0, 80, 160, 240 with weights (128, 114, 35, -21): (9120 + 5600 - 5040) / 256 = 37.8.
    EXPECT_EQ(At(*fine, 0, 0)[2], 37);
}

TEST(LTBitmap, AssignCloneAndCopyTo)
{
    TQpPixelBuffer buffer;
    ASSERT_TRUE(buffer.SetFormatAndBounds(pfBGR24, {5, 5, 8, 7}));
    buffer.PixelPtr(5, 5)[0] = 11;
    buffer.PixelPtr(7, 6)[2] = 22;
    TQpLTBitmap bitmap;
    ASSERT_TRUE(bitmap.Assign(buffer));
    EXPECT_EQ(bitmap.GetWidth(), 3);
    EXPECT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(At(bitmap, 0, 0)[0], 11);
    EXPECT_EQ(At(bitmap, 2, 1)[2], 22);

    std::unique_ptr<TQpLTBitmap> copy = bitmap.Clone();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->GetPixels()->Data, bitmap.GetPixels()->Data);
    EXPECT_EQ(Bytes(*copy), Bytes(bitmap));

    TQpPixelBuffer out;
    ASSERT_TRUE(bitmap.CopyTo(out));
    EXPECT_EQ(out.GetBounds(), (TQpRect{0, 0, 3, 2}));
    EXPECT_EQ(out.Format, pfBGR24);
    EXPECT_EQ(out.PixelPtr(2, 1)[2], 22);
}

TEST(LTBitmap, AFailedAllocationKeepsTheOldImageInEveryOperation)
{
    MAKE_BITMAP(bitmap, 9, 7);
    const std::vector<std::uint8_t> before = Bytes(bitmap);
    const std::uint8_t* data = bitmap.GetPixels()->Data;
    TAllocationBudget none(0);
    EXPECT_FALSE(bitmap.SetSize(20, 20, pfBGR24));
    EXPECT_FALSE(bitmap.Crop({1, 1, 5, 5}));
    EXPECT_FALSE(bitmap.ResizeCanvas(12, 12));
    EXPECT_FALSE(bitmap.Resize(18, 14));
    EXPECT_FALSE(bitmap.Mirror());
    EXPECT_FALSE(bitmap.Flip());
    EXPECT_FALSE(bitmap.RotateLeft());
    EXPECT_FALSE(bitmap.RotateRight());
    EXPECT_FALSE(bitmap.Clone());
    EXPECT_EQ(bitmap.GetPixels()->Data, data);
    EXPECT_EQ(bitmap.GetWidth(), 9);
    EXPECT_EQ(bitmap.GetHeight(), 7);
    EXPECT_EQ(Bytes(bitmap), before);
}

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_UNDER_ASAN 1
#endif
#endif

TEST(LTBitmapDeathTest, AnImpossibleImageUnderAMemoryLimitLeavesTheOldOne)
{
#ifdef VELMORA_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under an address-space limit";
#else
    // In a child process: cap the address space well below the 3.2 GB a 32767 x 32767 image needs.
    EXPECT_EXIT(
        {
            TQpLTBitmap bitmap;
            bool ok = bitmap.SetSize(64, 48, pfBGR24);
            FillPositions(bitmap);
            const std::vector<std::uint8_t> before = Bytes(bitmap);
            // The limit leaves 512 MB above what the process already maps, so ordinary allocations go on.
            long pages = 0;
            if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
                ok = ok && std::fscanf(statm, "%ld", &pages) == 1;
                std::fclose(statm);
            }
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(512) << 20);
            ok = ok && setrlimit(RLIMIT_AS, &limit) == 0;
            ok = ok && !bitmap.SetSize(kMaxImageSide, kMaxImageSide, pfBGR24);
            ok = ok && !bitmap.ResizeCanvas(kMaxImageSide, kMaxImageSide);
            TQpPixelBuffer buffer;
            ok = ok && !buffer.SetFormatAndBounds(pfBGR24, {0, 0, kMaxImageSide, kMaxImageSide});
            ok = ok && buffer.Data == nullptr && buffer.Width == 0;
            ok = ok && bitmap.GetWidth() == 64 && bitmap.GetHeight() == 48 && Bytes(bitmap) == before;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

// --- Painting and printing -------------------------------------------------------------------------------

TEST(LTBitmap, PaintDrawsTheProgramsOwnPixels)
{
    MAKE_BITMAP(bitmap, 6, 4);
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(qRgb(1, 2, 3));
    {
        QPainter painter(&target);
        const TQpRect source{2, 1, 5, 3}; // 3 x 2 pixels
        EXPECT_TRUE(bitmap.Paint(painter, {4, 4, 7, 6}, nullptr, &source));
    }
    // Pixel (x, y) of the bitmap has blue x, green y, red 7.
    EXPECT_EQ(target.pixel(4, 4), qRgb(7, 1, 2));
    EXPECT_EQ(target.pixel(6, 5), qRgb(7, 2, 4));
    EXPECT_EQ(target.pixel(3, 4), qRgb(1, 2, 3));
    EXPECT_EQ(target.pixel(7, 5), qRgb(1, 2, 3));
}

TEST(LTBitmap, PaintScalesWithoutSmoothingAndHonoursTheClip)
{
    MAKE_BITMAP(bitmap, 4, 4);
    QImage target(8, 8, QImage::Format_RGB32);
    target.fill(qRgb(0, 0, 0));
    {
        QPainter painter(&target);
        const TQpRect clip{2, 0, 6, 8};
        EXPECT_TRUE(bitmap.Paint(painter, {0, 0, 8, 8}, &clip, nullptr));
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QRgb expected = (x >= 2 && x < 6) ? qRgb(7, y / 2, x / 2) : qRgb(0, 0, 0);
            ASSERT_EQ(target.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(LTBitmap, PaintAndPrintFailWithoutAnImage)
{
    TQpLTBitmap empty;
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter painter(&target);
    EXPECT_FALSE(empty.Paint(painter, {0, 0, 4, 4}, nullptr, nullptr));
    EXPECT_FALSE(empty.Print(painter, {0, 0, 4, 4}));
}

TEST(LTBitmap, PrintDrawsTheWholeImageIntoThePageRectangle)
{
    MAKE_BITMAP(bitmap, 40, 30);
    QImage page(200, 200, QImage::Format_RGB32);
    page.fill(qRgb(255, 255, 255));
    {
        QPainter painter(&page);
        EXPECT_TRUE(bitmap.Print(painter, {20, 10, 100, 70}));
    }
    EXPECT_EQ(page.pixel(20, 10), qRgb(7, 0, 0));
    EXPECT_EQ(page.pixel(99, 69), qRgb(7, 29, 39));
    EXPECT_EQ(page.pixel(100, 69), qRgb(255, 255, 255));

    // A paged device, as a printer is, gets the image too.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        QPainter painter(&writer);
        EXPECT_TRUE(bitmap.Print(painter, {100, 100, 2100, 1600}));
    }
    EXPECT_GT(pdf.data().size(), 500);
    EXPECT_TRUE(pdf.data().startsWith("%PDF"));
}
