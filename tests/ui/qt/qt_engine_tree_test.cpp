// The engine tree's site pictures: which icon files give an item a picture, that the picture is
// the file's own, and that later files replace earlier ones.
#include "ui/qt/qt_engine_tree.h"

#include <gtest/gtest.h>

#include <QApplication>
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
    // A 16 x 16 picture with alpha: a blue disc with transparent corners.
    EXPECT_EQ(direct.size(), QSize(16, 16));
    EXPECT_TRUE(direct.hasAlphaChannel());
    EXPECT_EQ(direct.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(direct.pixelColor(5, 5).alpha(), 255);
    EXPECT_GT(direct.pixelColor(5, 5).blue(), direct.pixelColor(5, 5).red());
    direct = direct.convertToFormat(QImage::Format_ARGB32);
    const QImage shown = tree.topLevelItem(0)->icon(0).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
    EXPECT_EQ(shown, direct);
    EXPECT_EQ(tree.topLevelItem(1)->icon(0).pixmap(16, 16).toImage().convertToFormat(
                  QImage::Format_ARGB32),
              direct);
}

// The default icon as the tree draws it.
QImage default_picture() {
    QtEngineTree reference;
    reference.add_item("d");
    reference.set_item_icon(0, default_icon_bytes());
    return reference.topLevelItem(0)->icon(0).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
}

QImage picture_of(const QtEngineTree& tree, int index) {
    return tree.topLevelItem(index)->icon(0).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
}

TEST_F(QtEngineTreeIcons, EmptyFilesGiveNoPictureUnusableOnesTheDefaultAndLaterFilesReplace) {
    const std::string text = "not an image at all";
    const ByteBuffer garbage(text.begin(), text.end());
    // Starts like an ICO file but holds nothing an icon needs.
    const ByteBuffer broken_ico = {0, 0, 1, 0, 1, 0, 16, 16};
    tree.set_item_icon(0, garbage);
    tree.set_item_icon(1, broken_ico);
    tree.set_item_icon(2, {});
    // A file without a picture keeps the row's icon column with the default icon.
    EXPECT_EQ(picture_of(tree, 0), default_picture());
    EXPECT_EQ(picture_of(tree, 1), default_picture());
    EXPECT_FALSE(tree.item_has_icon(2));

    tree.set_item_icon(0, filled(QColor(0, 255, 0), 16, "PNG"));
    EXPECT_EQ(centre_of(tree, 0), QColor(0, 255, 0));
    tree.set_item_icon(0, filled(QColor(0, 0, 255), 16, "PNG"));
    EXPECT_EQ(centre_of(tree, 0), QColor(0, 0, 255));
    tree.set_item_icon(0, garbage);
    EXPECT_EQ(picture_of(tree, 0), default_picture());
    // Out of range: nothing happens.
    tree.set_item_icon(7, default_icon_bytes());
    EXPECT_EQ(tree.item_count(), 3);
}

// Whether the drawn row of item `index` shows `colour` anywhere.
bool row_shows(QtEngineTree& tree, int index, QColor colour) {
    const QImage shot = tree.viewport()->grab().toImage();
    const QRect row = tree.visualItemRect(tree.topLevelItem(index));
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x <= row.right(); ++x) {
            if (shot.pixelColor(x, y) == colour) return true;
        }
    }
    return false;
}

TEST(QtEngineTreeIconSources, OnlyTheRowsDrawnReadTheirFilesAndARedrawnRowShowsItsNewFile) {
    QtEngineTree tree;
    std::vector<EngineTreeItem> items(1000, EngineTreeItem{"e", true});
    tree.add_items(items);
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);
    const ByteBuffer red_file = filled(red, 16, "PNG");
    std::vector<int> reads(1000, 0);
    for (int i = 0; i < 1000; ++i) {
        tree.set_item_icon_source(i, [&reads, &red_file, i] {
            ++reads[i];
            return red_file;
        });
    }
    tree.resize(200, 300);
    tree.show();
    QApplication::processEvents();
    ASSERT_TRUE(row_shows(tree, 0, red));
    const int read_files = static_cast<int>(std::count(reads.begin(), reads.end(), 1));
    EXPECT_GT(read_files, 0);
    EXPECT_LT(read_files, 100) << "rows never drawn read their files";
    EXPECT_EQ(std::count_if(reads.begin(), reads.end(), [](int n) { return n > 1; }), 0);

    // A row far below is read when it is asked for.
    EXPECT_TRUE(tree.item_has_icon(999));
    EXPECT_EQ(reads[999], 1);

    // A new file for a row already drawn reaches the screen; one that gives nothing takes the
    // picture away.
    const ByteBuffer blue_file = filled(blue, 16, "PNG");
    int blue_reads = 0;
    tree.set_item_icon_source(0, [&blue_file, &blue_reads] {
        ++blue_reads;
        return blue_file;
    });
    QApplication::processEvents();
    EXPECT_EQ(blue_reads, 1) << "the view did not redraw the row by itself";
    EXPECT_TRUE(row_shows(tree, 0, blue));
    EXPECT_FALSE(row_shows(tree, 0, red));
    tree.set_item_icon_source(0, [] { return ByteBuffer(); });
    EXPECT_FALSE(tree.item_has_icon(0));
}

}  // namespace
}  // namespace trasslo
