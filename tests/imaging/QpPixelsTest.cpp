#include "imaging/QpPixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Fills every byte of the window with a value that names its image position and channel.
void FillPattern(TQpPixels& pixels, int seed)
{
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        for (int x = pixels.Left; x < pixels.Left + pixels.Width; ++x)
            for (int c = 0; c < pixels.BytesPerPixel; ++c)
                pixels.PixelPtr(x, y)[c] = std::uint8_t(seed + x * 7 + y * 13 + c * 3);
}

TQpPixelBuffer MakeBuffer(const TQpRect& rect, int format = pfBGR24)
{
    TQpPixelBuffer buffer;
    EXPECT_TRUE(buffer.SetFormatAndBounds(format, rect));
    return buffer;
}

std::vector<std::uint8_t> Snapshot(const TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        bytes.insert(bytes.end(), pixels.PixelPtr(pixels.Left, y),
                     pixels.PixelPtr(pixels.Left, y) + pixels.Width * pixels.BytesPerPixel);
    return bytes;
}

} // namespace

TEST(PixelFormat, BitsPerPixelFollowsTheCodeRules)
{
    EXPECT_EQ(BitsPerPixel(pfBGR24), 24);
    EXPECT_EQ(BitsPerPixel(pfBGRA32), 32);
    EXPECT_EQ(BitsPerPixel(0x1010), 0); // low nibble 0: unknown model
    EXPECT_EQ(BitsPerPixel(0x0001), 8);
    EXPECT_EQ(BitsPerPixel(0x0006), 32);
    EXPECT_EQ(BitsPerPixel(0x0009), 0);
    EXPECT_EQ(BitsPerPixel(0x0022), 48);  // 0x20 doubles
    EXPECT_EQ(BitsPerPixel(0x0032), 48);  // 0x30 doubles
    EXPECT_EQ(BitsPerPixel(0x0042), 96);  // 0x40 quadruples
    EXPECT_EQ(BitsPerPixel(0x0046), 128); // 128 still fits the 8 bits
    EXPECT_EQ(BitsPerPixel(0x0146), 160); // (32 + 8) * 4 = 160
    EXPECT_EQ(BitsPerPixel(0x0246), 128); // bits 8-11 = 2: no alpha byte
    EXPECT_EQ(BitsPerPixel(0x0056), 32);  // 0x50 leaves the count
    EXPECT_EQ(FormatBytesPerPixel(pfBGR24), 3);
    EXPECT_EQ(FormatBytesPerPixel(pfBGRA32), 4);
    EXPECT_EQ(FormatBytesPerPixel(0x0146), 20);
}

TEST(PixelBuffer, StrideIsRoundedUpToFourBytes)
{
    EXPECT_EQ(MakeBuffer({0, 0, 3, 1}).Stride, 12); // 9 bytes rounded up
    EXPECT_EQ(MakeBuffer({0, 0, 4, 1}).Stride, 12);
    EXPECT_EQ(MakeBuffer({0, 0, 1, 1}).Stride, 4);
    EXPECT_EQ(MakeBuffer({0, 0, 5, 2}).Stride, 16);
    EXPECT_EQ(MakeBuffer({0, 0, 3, 1}, pfBGRA32).Stride, 12);
}

TEST(PixelBuffer, FreshStorageIsZeroAndEmptyRowsHaveNone)
{
    TQpPixelBuffer buffer = MakeBuffer({-5, 7, 20, 30});
    EXPECT_EQ(buffer.Left, -5);
    EXPECT_EQ(buffer.Top, 7);
    EXPECT_EQ(buffer.Width, 25);
    EXPECT_EQ(buffer.Height, 23);
    for (std::uint8_t byte : Snapshot(buffer))
        ASSERT_EQ(byte, 0);

    TQpPixelBuffer noWidth = MakeBuffer({3, 3, 3, 10});
    EXPECT_EQ(noWidth.Data, nullptr);
    TQpPixelBuffer unknown = MakeBuffer({0, 0, 10, 10}, 0x1010);
    EXPECT_EQ(unknown.Data, nullptr);
    EXPECT_EQ(unknown.Stride, 0);
}

TEST(PixelBuffer, PixelPtrAddressesImageCoordinates)
{
    TQpPixelBuffer buffer = MakeBuffer({10, 20, 14, 23});
    EXPECT_EQ(buffer.PixelPtr(10, 20), buffer.Data);
    EXPECT_EQ(buffer.PixelPtr(13, 22), buffer.Data + 3 * 3 + 2 * 12);
}

TEST(PixelBuffer, SetBoundsWithTheSameRectangleKeepsEveryPixel)
{
    for (bool keep : {false, true}) {
        TQpPixelBuffer buffer = MakeBuffer({2, 3, 9, 8});
        FillPattern(buffer, 1);
        const std::vector<std::uint8_t> before = Snapshot(buffer);
        const std::uint8_t* data = buffer.Data;
        EXPECT_TRUE(buffer.SetBounds({2, 3, 9, 8}, keep));
        EXPECT_EQ(buffer.Data, data);
        EXPECT_EQ(Snapshot(buffer), before);
    }
}

TEST(PixelBuffer, SetBoundsWithoutKeepZeroesEverything)
{
    TQpPixelBuffer buffer = MakeBuffer({0, 0, 10, 10});
    FillPattern(buffer, 1);
    EXPECT_TRUE(buffer.SetBounds({5, 5, 20, 12}, false));
    EXPECT_EQ(buffer.GetBounds(), (TQpRect{5, 5, 20, 12}));
    for (std::uint8_t byte : Snapshot(buffer))
        ASSERT_EQ(byte, 0);
}

TEST(PixelBuffer, SetBoundsWithKeepKeepsTheOverlapAtItsImageCoordinates)
{
    TQpPixelBuffer buffer = MakeBuffer({0, 0, 10, 10});
    FillPattern(buffer, 1);
    EXPECT_TRUE(buffer.SetBounds({5, -3, 17, 8}, true));
    EXPECT_EQ(buffer.Stride, 36);
    for (int y = -3; y < 8; ++y) {
        for (int x = 5; x < 17; ++x) {
            const bool inOld = x < 10 && y >= 0;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(buffer.PixelPtr(x, y)[c], inOld ? std::uint8_t(1 + x * 7 + y * 13 + c * 3) : 0)
                    << x << "," << y;
        }
    }
}

TEST(PixelBuffer, ChangingTheFormatMakesNewStorageEvenForTheSameRectangle)
{
    TQpPixelBuffer buffer = MakeBuffer({0, 0, 4, 4});
    FillPattern(buffer, 1);
    EXPECT_TRUE(buffer.SetFormatAndBounds(pfBGRA32, {0, 0, 4, 4}));
    EXPECT_EQ(buffer.BytesPerPixel, 4);
    EXPECT_EQ(buffer.Stride, 16);
    for (std::uint8_t byte : Snapshot(buffer))
        ASSERT_EQ(byte, 0);
}

TEST(PixelBuffer, NegativeExtentsBecomeZero)
{
    TQpPixelBuffer buffer = MakeBuffer({10, 10, 5, 2});
    EXPECT_EQ(buffer.Width, 0);
    EXPECT_EQ(buffer.Height, 0);
    EXPECT_EQ(buffer.Data, nullptr);
}

TEST(PixelBuffer, ReleaseZeroesGeometryAndKeepsTheFormat)
{
    TQpPixelBuffer buffer = MakeBuffer({1, 2, 5, 6});
    buffer.Release();
    EXPECT_EQ(buffer.Data, nullptr);
    EXPECT_EQ(buffer.GetBounds(), (TQpRect{0, 0, 0, 0}));
    EXPECT_EQ(buffer.Stride, 0);
    EXPECT_EQ(buffer.Format, pfBGR24);
}

TEST(PixelBuffer, MovingHandsTheStorageOver)
{
    TQpPixelBuffer a = MakeBuffer({1, 1, 4, 4});
    std::uint8_t* data = a.Data;
    TQpPixelBuffer b(std::move(a));
    EXPECT_EQ(b.Data, data);
    EXPECT_EQ(a.Data, nullptr);
    EXPECT_EQ(a.Width, 0);
    a = std::move(b);
    EXPECT_EQ(a.Data, data);
    EXPECT_EQ(a.GetBounds(), (TQpRect{1, 1, 4, 4}));
}

// --- Allocation failure -----------------------------------------------------------------------------------

namespace {
int g_refusals = 0;
void* RefusingAllocate(std::size_t)
{
    return ++g_refusals, nullptr;
}
void NeverFree(void*, std::size_t) {}

// Makes every page allocation fail while it lives.
struct TRefusingAllocator
{
    TPageAllocator previous = SetPageAllocator({&RefusingAllocate, &NeverFree});
    ~TRefusingAllocator() { SetPageAllocator(previous); }
};
} // namespace

TEST(PixelBuffer, AFailedAllocationLeavesAnEmptyBufferAndReportsIt)
{
    TQpPixelBuffer buffer = MakeBuffer({0, 0, 8, 8});
    FillPattern(buffer, 1);
    {
        TRefusingAllocator refuse;
        EXPECT_FALSE(buffer.SetBounds({0, 0, 100, 100}, true));
    }
    EXPECT_GT(g_refusals, 0);
    EXPECT_EQ(buffer.Data, nullptr);
    EXPECT_EQ(buffer.Width, 0);
    EXPECT_EQ(buffer.Height, 0);
    EXPECT_EQ(buffer.Stride, 0);
    // Usable again once memory is there.
    EXPECT_TRUE(buffer.SetBounds({0, 0, 2, 2}, false));
    EXPECT_NE(buffer.Data, nullptr);
}

TEST(PixelBuffer, OversizedWindowsAreRefusedCleanly)
{
    TQpPixelBuffer buffer = MakeBuffer({0, 0, 2, 2});
    EXPECT_FALSE(buffer.SetBounds({0, 0, kMaxImageSide + 1, 1}, false));
    EXPECT_EQ(buffer.Data, nullptr);
    EXPECT_EQ(buffer.Width, 0);
    // A span that overflows 32 bits counts as oversized, not as small.
    EXPECT_FALSE(buffer.SetBounds({-2147483647 - 1, 0, 2147483647, 1}, false));
    EXPECT_EQ(buffer.Width, 0);
}

// --- CopyRect ---------------------------------------------------------------------------------------------

namespace {
// The obvious per-pixel copy: every source pixel of srcRect ∩ source bounds whose shifted position lies
// inside the destination is copied.
void ReferenceCopyRect(TQpPixels& dest, int destX, int destY, const TQpRect& srcRect, const TQpPixels& src)
{
    for (int y = srcRect.Top; y < srcRect.Bottom; ++y) {
        for (int x = srcRect.Left; x < srcRect.Right; ++x) {
            const int tx = destX + x - srcRect.Left;
            const int ty = destY + y - srcRect.Top;
            const bool inSource =
                x >= src.Left && x < src.Left + src.Width && y >= src.Top && y < src.Top + src.Height;
            const bool inDest = tx >= dest.Left && tx < dest.Left + dest.Width && ty >= dest.Top &&
                                ty < dest.Top + dest.Height;
            if (inSource && inDest)
                std::memcpy(dest.PixelPtr(tx, ty), src.PixelPtr(x, y), 3);
        }
    }
}
} // namespace

TEST(CopyRect, ClipsAtAllFourSidesWithNonZeroOrigins)
{
    TQpPixelBuffer src = MakeBuffer({-4, 6, 9, 17});
    FillPattern(src, 5);
    struct TCase
    {
        int destX, destY;
        TQpRect srcRect;
        TQpRect written;
    };
    // Destination window (10, 20) - (20, 28).
    const TCase cases[] = {
        {8, 22, {-4, 6, 1, 9}, {10, 22, 13, 25}},   // over the left side
        {17, 22, {-4, 6, 2, 9}, {17, 22, 20, 25}},  // over the right side
        {12, 18, {0, 8, 3, 12}, {12, 20, 15, 22}},  // over the top
        {12, 26, {0, 8, 3, 12}, {12, 26, 15, 28}},  // over the bottom
        {7, 17, {-6, 3, 20, 30}, {10, 20, 20, 28}}, // source rectangle beyond its own window too
        {30, 20, {-4, 6, 9, 17}, {}},               // misses the destination entirely
        {12, 22, {20, 20, 25, 25}, {}},             // misses the source entirely
    };
    for (const TCase& test : cases) {
        TQpPixelBuffer dest = MakeBuffer({10, 20, 20, 28});
        FillPattern(dest, 100);
        TQpPixelBuffer expected = MakeBuffer({10, 20, 20, 28});
        FillPattern(expected, 100);
        ReferenceCopyRect(expected, test.destX, test.destY, test.srcRect, src);

        EXPECT_EQ(dest.CopyRect(test.destX, test.destY, test.srcRect, src), test.written)
            << test.destX << "," << test.destY;
        EXPECT_EQ(Snapshot(dest), Snapshot(expected)) << test.destX << "," << test.destY;
    }
}

TEST(CopyRect, MatchesThePerPixelReferenceOnRandomRectangles)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-12, 30);
    for (int round = 0; round < 300; ++round) {
        const TQpRect srcBounds{coordinate(random), coordinate(random), coordinate(random),
                                coordinate(random)};
        const TQpRect destBounds{coordinate(random), coordinate(random), coordinate(random),
                                 coordinate(random)};
        TQpPixelBuffer src = MakeBuffer(srcBounds);
        TQpPixelBuffer dest = MakeBuffer(destBounds);
        TQpPixelBuffer expected = MakeBuffer(destBounds);
        FillPattern(src, 1);
        FillPattern(dest, 77);
        FillPattern(expected, 77);
        const TQpRect srcRect{coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
        const int destX = coordinate(random);
        const int destY = coordinate(random);
        dest.CopyRect(destX, destY, srcRect, src);
        ReferenceCopyRect(expected, destX, destY, srcRect, src);
        ASSERT_EQ(Snapshot(dest), Snapshot(expected)) << "round " << round;
    }
}

TEST(CopyRect, DifferentFormatsCopyNothing)
{
    TQpPixelBuffer src = MakeBuffer({0, 0, 4, 4}, pfBGRA32);
    FillPattern(src, 9);
    TQpPixelBuffer dest = MakeBuffer({0, 0, 4, 4});
    EXPECT_TRUE(dest.CopyFrom(src).IsEmpty());
    for (std::uint8_t byte : Snapshot(dest))
        ASSERT_EQ(byte, 0);
}

TEST(CopyFrom, CopiesExactlyTheOverlapAtIdenticalCoordinates)
{
    TQpPixelBuffer a = MakeBuffer({0, 0, 10, 10});
    TQpPixelBuffer b = MakeBuffer({5, 5, 20, 20});
    FillPattern(a, 3);
    EXPECT_EQ(b.CopyFrom(a), (TQpRect{5, 5, 10, 10}));
    for (int y = 5; y < 20; ++y)
        for (int x = 5; x < 20; ++x)
            ASSERT_EQ(b.PixelPtr(x, y)[0], (x < 10 && y < 10) ? std::uint8_t(3 + x * 7 + y * 13) : 0);

    TQpPixelBuffer apart = MakeBuffer({30, 30, 40, 40});
    EXPECT_TRUE(apart.CopyFrom(a).IsEmpty());
    for (std::uint8_t byte : Snapshot(apart))
        ASSERT_EQ(byte, 0);
}

TEST(CopyRect, OverlappingCopiesWithinOneStorageMoveCorrectly)
{
    for (int shift : {-3, -1, 1, 3}) {
        TQpPixelBuffer buffer = MakeBuffer({0, 0, 12, 12});
        FillPattern(buffer, 1);
        TQpPixelBuffer expected = MakeBuffer({0, 0, 12, 12});
        FillPattern(expected, 1);
        TQpPixelBuffer original = MakeBuffer({0, 0, 12, 12});
        FillPattern(original, 1);
        ReferenceCopyRect(expected, 2 + shift, 2 + shift, {2, 2, 10, 10}, original);

        TQpPixels view = buffer; // a second window onto the same memory
        buffer.CopyRect(2 + shift, 2 + shift, {2, 2, 10, 10}, view);
        EXPECT_EQ(Snapshot(buffer), Snapshot(expected)) << shift;
    }
}

TEST(PixelWindow, InitTakesNoOwnership)
{
    std::vector<std::uint8_t> memory(64, 0);
    TQpPixels pixels;
    pixels.Init({3, 4, 7, 6}, memory.data(), pfBGR24, 16);
    EXPECT_EQ(pixels.Width, 4);
    EXPECT_EQ(pixels.Height, 2);
    EXPECT_EQ(pixels.BytesPerPixel, 3);
    EXPECT_EQ(pixels.PixelPtr(6, 5), memory.data() + 16 + 9);
}

// --- Free functions ---------------------------------------------------------------------------------------

TEST(BlendPixel, RoundsEveryChannelDownward)
{
    std::uint8_t pixel[3] = {200, 200, 200};
    BlendPixel(pixel, 128, 0x000000); // 200 + floor(128 * -200 / 256) = 100
    EXPECT_EQ(pixel[0], 100);
    EXPECT_EQ(pixel[2], 100);

    std::uint8_t dark[3] = {10, 10, 10};
    BlendPixel(dark, 1, 0x000000); // floor(-10 / 256) = -1, not 0
    EXPECT_EQ(dark[0], 9);

    std::uint8_t up[3] = {0, 0, 0};
    BlendPixel(up, 254, 0xFFFFFF); // floor(254 * 255 / 256) = 253
    EXPECT_EQ(up[1], 253);

    // The packed colour is red * 65536 + green * 256 + blue; the bytes are blue, green, red.
    std::uint8_t set[3] = {1, 2, 3};
    BlendPixel(set, 255, 0x102030);
    EXPECT_EQ(set[0], 0x30);
    EXPECT_EQ(set[1], 0x20);
    EXPECT_EQ(set[2], 0x10);

    std::uint8_t kept[3] = {1, 2, 3};
    BlendPixel(kept, 0, 0xFFFFFF);
    EXPECT_EQ(kept[0], 1);
    EXPECT_EQ(kept[2], 3);

    std::uint8_t mixed[3] = {0, 100, 255};
    BlendPixel(mixed, 64, 0x00FF00); // blue 0→0: 0; green 100→255: 100 + floor(64*155/256) = 138;
                                     // red 255→0: 255 + floor(64*-255/256) = 255 - 64 = 191
    EXPECT_EQ(mixed[0], 0);
    EXPECT_EQ(mixed[1], 138);
    EXPECT_EQ(mixed[2], 191);
}

TEST(FitSize, KeepsTheAspectRatioInsideTheBox)
{
    int w = 0, h = 0;
    EXPECT_TRUE(FitSize(400, 200, 100, 100, w, h));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    EXPECT_TRUE(FitSize(200, 400, 100, 100, w, h));
    EXPECT_EQ(w, 50);
    EXPECT_EQ(h, 100);
    EXPECT_TRUE(FitSize(300, 300, 100, 50, w, h)); // 300/50 >= 300/100: height decides
    EXPECT_EQ(w, 50);
    EXPECT_EQ(h, 50);
    // Multiply-divide rounds halves away from zero: 5 * 1 / 2 = 2.5 gives 3.
    EXPECT_TRUE(FitSize(5, 2, 100, 1, w, h));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 1);
    // 2 * 100 / 3 = 66.67 gives 67.
    EXPECT_TRUE(FitSize(3, 2, 100, 100, w, h));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 67);
}

TEST(FitSize, FailsOnEmptySizesAndNeverGivesAZeroSide)
{
    int w = -1, h = -1;
    EXPECT_FALSE(FitSize(400, 200, 0, 100, w, h));
    EXPECT_FALSE(FitSize(400, 200, 100, 0, w, h));
    EXPECT_FALSE(FitSize(0, 200, 100, 100, w, h));
    EXPECT_FALSE(FitSize(200, 0, 100, 100, w, h));
    EXPECT_TRUE(FitSize(10000, 1, 100, 100, w, h)); // 1 * 100 / 10000 would round to 0
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 1);
}

TEST(Clamp, LimitsToTheRange)
{
    EXPECT_EQ(Clamp(-3, 0, 10), 0);
    EXPECT_EQ(Clamp(11, 0, 10), 10);
    EXPECT_EQ(Clamp(5, 0, 10), 5);
}

TEST(IntersectRect, IsEmptyWhenTheRectanglesOnlyTouch)
{
    EXPECT_EQ(IntersectRect({0, 0, 10, 10}, {5, -5, 20, 7}), (TQpRect{5, 0, 10, 7}));
    EXPECT_TRUE(IntersectRect({0, 0, 10, 10}, {10, 0, 20, 10}).IsEmpty());
}

// --- Mask ------------------------------------------------------------------------------------------------

TEST(PixelMask, ValuePtrIsNoneOutsideTheBounds)
{
    TQpPixelMask mask;
    EXPECT_EQ(mask.ValuePtr(0, 0), nullptr);
    ASSERT_TRUE(mask.SetBounds(0, 0, 3, 3));
    EXPECT_EQ(mask.ValuePtr(3, 3), nullptr);
    EXPECT_EQ(mask.ValuePtr(2, 2), mask.Values + 8);
    EXPECT_EQ(mask.ValuePtr(-1, 0), nullptr);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(mask.Values[i], 0);
}

TEST(PixelMask, MovesByAssigningTheOriginAndClampsNegativeExtents)
{
    TQpPixelMask mask;
    ASSERT_TRUE(mask.SetBounds(0, 0, 4, 2));
    mask.Left = 10;
    mask.Top = -5;
    EXPECT_EQ(mask.ValuePtr(13, -4), mask.Values + 7);
    EXPECT_EQ(mask.ValuePtr(0, 0), nullptr);
    EXPECT_EQ(mask.GetBounds(), (TQpRect{10, -5, 14, -3}));

    ASSERT_TRUE(mask.SetBounds(1, 1, -4, 5));
    EXPECT_EQ(mask.Width, 0);
    EXPECT_EQ(mask.Values, nullptr);
    EXPECT_EQ(mask.ValuePtr(1, 1), nullptr);

    EXPECT_FALSE(mask.SetBounds(0, 0, kMaxImageSide + 1, 2));
    EXPECT_EQ(mask.Width, 0);
    mask.SetBounds(0, 0, 2, 2);
    mask.Release();
    EXPECT_EQ(mask.Values, nullptr);
    EXPECT_EQ(mask.GetBounds(), (TQpRect{}));
}
