// The built-in default icon must be a well-formed 16 x 16, 32-bit ICO of exactly 1150 bytes.
#include "icons/default_icon.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trasslo {
namespace {

std::uint32_t u16_at(const ByteBuffer& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}
std::uint32_t u32_at(const ByteBuffer& b, std::size_t at) {
    return u16_at(b, at) | (u16_at(b, at + 2) << 16);
}

TEST(DefaultIcon, IsOneSixteenPixelThirtyTwoBitImageOf1150Bytes) {
    const ByteBuffer& ico = default_icon_bytes();
    ASSERT_EQ(ico.size(), 1150u);
    EXPECT_EQ(u16_at(ico, 0), 0u);   // reserved
    EXPECT_EQ(u16_at(ico, 2), 1u);   // icon, not cursor
    EXPECT_EQ(u16_at(ico, 4), 1u);   // one image
    EXPECT_EQ(ico[6], 16);           // width
    EXPECT_EQ(ico[7], 16);           // height
    EXPECT_EQ(u16_at(ico, 10), 1u);  // planes
    EXPECT_EQ(u16_at(ico, 12), 32u);
    const std::uint32_t image_size = u32_at(ico, 14);
    const std::uint32_t offset = u32_at(ico, 18);
    EXPECT_EQ(offset, 22u);
    EXPECT_EQ(image_size, 1128u);
    EXPECT_EQ(offset + image_size, ico.size());
}

TEST(DefaultIcon, BitmapHeaderDescribesColourAndMaskRows) {
    const ByteBuffer& ico = default_icon_bytes();
    ASSERT_EQ(ico.size(), 1150u);
    const std::size_t h = 22;
    EXPECT_EQ(u32_at(ico, h), 40u);
    EXPECT_EQ(u32_at(ico, h + 4), 16u);
    EXPECT_EQ(u32_at(ico, h + 8), 32u);  // colour rows plus mask rows
    EXPECT_EQ(u16_at(ico, h + 12), 1u);
    EXPECT_EQ(u16_at(ico, h + 14), 32u);
    EXPECT_EQ(u32_at(ico, h + 16), 0u);  // uncompressed
}

TEST(DefaultIcon, MaskAgreesWithAlphaAndPictureIsNotBlank) {
    const ByteBuffer& ico = default_icon_bytes();
    ASSERT_EQ(ico.size(), 1150u);
    const std::size_t pixels = 22 + 40;
    const std::size_t mask = pixels + 1024;
    int opaque = 0, transparent = 0;
    for (int row = 0; row < 16; ++row) {
        for (int x = 0; x < 16; ++x) {
            std::uint8_t alpha = ico[pixels + (row * 16 + x) * 4 + 3];
            bool masked = ico[mask + row * 4 + x / 8] & (0x80 >> (x % 8));
            EXPECT_EQ(masked, alpha == 0) << "row " << row << " column " << x;
            if (alpha == 255) ++opaque;
            if (alpha == 0) ++transparent;
        }
        // The padding bytes of each mask row stay zero.
        EXPECT_EQ(ico[mask + row * 4 + 2], 0);
        EXPECT_EQ(ico[mask + row * 4 + 3], 0);
    }
    EXPECT_GT(opaque, 64);
    EXPECT_GT(transparent, 8);  // the corners around the disc
}

TEST(DefaultIcon, SameBytesOnEveryCall) {
    EXPECT_EQ(&default_icon_bytes(), &default_icon_bytes());
    EXPECT_EQ(default_icon_bytes(), default_icon_bytes());
}

}  // namespace
}  // namespace trasslo
