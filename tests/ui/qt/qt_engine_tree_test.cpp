// The engine tree's site pictures: which icon files give an item a picture, that the picture is
// the file's own, and that later files replace earlier ones.
#include "ui/qt/qt_engine_tree.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "icons/default_icon.h"

namespace trasslo {
namespace {

ByteBuffer encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return ByteBuffer(bytes.begin(), bytes.end());
}

ByteBuffer filled(QColor colour, int size, const char* format) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return encoded(image, format);
}

// The colour in the middle of the item's 16 x 16 picture.
QColor centre_of(const QtEngineTree& tree, int index) {
    const QImage picture = tree.topLevelItem(index)->icon(0).pixmap(16, 16).toImage();
    return picture.pixelColor(8, 8);
}

class QtEngineTreeIcons : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) tree.add_item("e");
    }
    QtEngineTree tree;
};

TEST_F(QtEngineTreeIcons, PicturesInEveryFormatASiteMaySendShowTheirOwnColours) {
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);
    tree.set_item_icon(0, filled(red, 32, "PNG"));  // larger than 16: scaled down
    tree.set_item_icon(1, filled(blue, 16, "BMP"));
    // XPM starts with no magic bytes of its own: the decoder's probe finds it.
    tree.set_item_icon(2, filled(red, 16, "XPM"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(tree.item_has_icon(i)) << i;
    EXPECT_EQ(centre_of(tree, 0), red);
    EXPECT_EQ(centre_of(tree, 1), blue);
    EXPECT_EQ(centre_of(tree, 2), red);
}

TEST_F(QtEngineTreeIcons, DefaultIconIsDrawnAsTheIcoFileHoldsIt) {
    const ByteBuffer& icon = default_icon_bytes();
    tree.set_item_icon(0, icon);
    tree.set_item_icon(1, icon);
    ASSERT_TRUE(tree.item_has_icon(0));
    QImage direct;
    ASSERT_TRUE(direct.loadFromData(icon.data(), static_cast<int>(icon.size()), "ICO"));
    direct = direct.convertToFormat(QImage::Format_ARGB32);
    const QImage shown = tree.topLevelItem(0)->icon(0).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
    EXPECT_EQ(shown, direct);
    EXPECT_EQ(tree.topLevelItem(1)->icon(0).pixmap(16, 16).toImage().convertToFormat(
                  QImage::Format_ARGB32),
              direct);
}

TEST_F(QtEngineTreeIcons, EmptyOrUnusableFilesGiveNoPictureAndLaterFilesReplaceEarlier) {
    const std::string text = "not an image at all";
    const ByteBuffer garbage(text.begin(), text.end());
    // Starts like an ICO file but holds nothing an icon needs.
    const ByteBuffer broken_ico = {0, 0, 1, 0, 1, 0, 16, 16};
    tree.set_item_icon(0, garbage);
    tree.set_item_icon(1, broken_ico);
    tree.set_item_icon(2, {});
    EXPECT_FALSE(tree.item_has_icon(0));
    EXPECT_FALSE(tree.item_has_icon(1));
    EXPECT_FALSE(tree.item_has_icon(2));

    tree.set_item_icon(0, filled(QColor(0, 255, 0), 16, "PNG"));
    EXPECT_EQ(centre_of(tree, 0), QColor(0, 255, 0));
    tree.set_item_icon(0, filled(QColor(0, 0, 255), 16, "PNG"));
    EXPECT_EQ(centre_of(tree, 0), QColor(0, 0, 255));
    tree.set_item_icon(0, garbage);
    EXPECT_FALSE(tree.item_has_icon(0));
    // Out of range: nothing happens.
    tree.set_item_icon(7, default_icon_bytes());
    EXPECT_EQ(tree.item_count(), 3);
}

}  // namespace
}  // namespace trasslo
