// Page storage: every block arrives zero-filled, whichever source it comes from, and goes back to the
// allocator that made it.

#include "imaging/PageAllocator.h"
#include "imaging/QpPixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool AllZero(const TPageBlock& block)
{
    return std::all_of(block.Data(), block.Data() + block.Size(), [](std::uint8_t b) { return b == 0; });
}

TEST(PageAllocatorTest, SmallAndLargeBlocksArriveZeroFilledEvenWhenReused)
{
    // Sizes on both sides of the heap limit, each written over completely, freed and asked for again.
    for (const std::size_t bytes : {std::size_t(1), std::size_t(120000), std::size_t(1) << 20,
                                    (std::size_t(1) << 20) - 1, std::size_t(3) << 20}) {
        SCOPED_TRACE(bytes);
        for (int round = 0; round < 3; ++round) {
            TPageBlock block;
            ASSERT_TRUE(block.Allocate(bytes));
            ASSERT_NE(nullptr, block.Data());
            EXPECT_EQ(bytes, block.Size());
            EXPECT_TRUE(AllZero(block));
            std::memset(block.Data(), 0xA5, bytes);
        }
    }
}

TEST(PageAllocatorTest, ReallocatingReplacesTheBlockByZeroBytes)
{
    TPageBlock block;
    ASSERT_TRUE(block.Allocate(4000));
    std::memset(block.Data(), 7, block.Size());
    ASSERT_TRUE(block.Allocate(5 << 20));
    EXPECT_TRUE(AllZero(block));
    std::memset(block.Data(), 7, block.Size());
    ASSERT_TRUE(block.Allocate(4000));
    EXPECT_TRUE(AllZero(block));
    ASSERT_TRUE(block.Allocate(0));
    EXPECT_EQ(nullptr, block.Data());
    EXPECT_EQ(0u, block.Size());
}

TEST(PageAllocatorTest, MovedBlocksKeepTheirBytesAndFreeOnce)
{
    TPageBlock first;
    ASSERT_TRUE(first.Allocate(300));
    first.Data()[299] = 9;
    TPageBlock second(std::move(first));
    EXPECT_EQ(nullptr, first.Data());
    EXPECT_EQ(9, second.Data()[299]);
    TPageBlock third;
    ASSERT_TRUE(third.Allocate(2 << 20));
    third = std::move(second);
    EXPECT_EQ(300u, third.Size());
    EXPECT_EQ(9, third.Data()[299]);
}

TEST(PageAllocatorTest, SmallPixelBuffersStayUsableAcrossManySteps)
{
    // The shape of brush undo steps: many small buffers made and dropped in turn.
    std::vector<TQpPixelBuffer> steps(50);
    for (int k = 0; k < 200; ++k) {
        TQpPixelBuffer& buffer = steps[static_cast<std::size_t>(k) % steps.size()];
        ASSERT_TRUE(buffer.SetFormatAndBounds(pfBGR24, {k, k, k + 200, k + 200}));
        for (int y = buffer.Top; y < buffer.Top + buffer.Height; ++y) {
            const std::uint8_t* row = buffer.PixelPtr(buffer.Left, y);
            ASSERT_TRUE(std::all_of(row, row + buffer.Width * 3, [](std::uint8_t b) { return b == 0; }));
        }
        std::memset(buffer.Data, k & 0xFF, static_cast<std::size_t>(buffer.Stride) * buffer.Height);
    }
}

} // namespace
