// Size changes refused before they allocate: the side limit, the reader's pixel limit and the free
// memory, each named in the reason, with the image left as it was.

#include "model/QpGraphicsImage.h"
#include "platform/ImageCodec.h"
#include "platform/ImageLimits.h"

#include <gtest/gtest.h>

namespace {

TEST(SizeLimits, ResizesBeyondALimitAreRefusedNamingItAndChangeNothing)
{
    TQpGraphicsImage image;
    ASSERT_TRUE(image.SetImageSize(40, 30, false));
    struct TCase
    {
        int Width;
        int Height;
        std::uint64_t FreeBytes; // 0: the machine's own figure
        const char* Reason;
    };
    const TCase cases[] = {
        {40000, 10, 0, "is larger than 32767 pixels per side"},
        {32767, 32767, 0, "is more than the 500000000 pixels this program handles"},
        {4000, 4000, 50u << 20, "would need 92 MB of memory, but only 50 MB are free"},
    };
    for (const TCase& c : cases) {
        platform::SetAvailableMemoryForTesting(c.FreeBytes);
        EXPECT_FALSE(image.ResizeImage(c.Width, c.Height, false, false)) << c.Width;
        EXPECT_NE(image.SizeRefusal().find(c.Reason), std::string::npos) << image.SizeRefusal();
        EXPECT_FALSE(image.SetImageSize(c.Width, c.Height, false)) << c.Width;
        EXPECT_EQ(image.Width(), 40);
        EXPECT_EQ(image.Height(), 30);
    }
    platform::SetAvailableMemoryForTesting(0);
    EXPECT_TRUE(image.ResizeImage(400, 300, false, false));
    EXPECT_TRUE(image.SizeRefusal().empty());
    EXPECT_EQ(image.Width(), 400);
}

} // namespace
