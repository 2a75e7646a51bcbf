// The built-in default icon: a 16 x 16, 32-bit ICO file of 1150 bytes whose directory says so
// (what a reader picks the image by), and whose mask agrees with its alpha so that a reader that
// draws with the mask shows the same globe. That a real decoder reads it is tested where one is
// at hand (the Qt engine tree's tests).
#include "icons/default_icon.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trasslo {
namespace {

// The little-endian number of `width` bytes at `at`.
std::uint32_t number_at(const ByteBuffer& b, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | b[at + static_cast<std::size_t>(i)];
    return value;
}

TEST(DefaultIcon, DirectoryOffersOneSixteenPixelThirtyTwoBitImageFillingTheFile) {
    const ByteBuffer& ico = default_icon_bytes();
    ASSERT_EQ(ico.size(), 1150u);
    EXPECT_EQ(&default_icon_bytes(), &ico) << "the same bytes on every call";
    struct Field {
        const char* what;
        std::size_t at;
        int width;
        std::uint32_t expected;
    };
    const Field fields[] = {
        {"type (1: an icon, not a cursor)", 2, 2, 1},
        {"images", 4, 2, 1},
        {"width", 6, 1, 16},
        {"height", 7, 1, 16},
        {"bits per pixel", 12, 2, 32},
        {"image bytes", 14, 4, 1128},
        {"image offset: behind the 6-byte header and the one 16-byte entry", 18, 4, 22},
    };
    for (const Field& f : fields) EXPECT_EQ(number_at(ico, f.at, f.width), f.expected) << f.what;
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

}  // namespace
}  // namespace trasslo
