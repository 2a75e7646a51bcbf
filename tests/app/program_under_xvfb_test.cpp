// The real window program on a virtual X display, through scripts/screenshot: it starts, shows
// its main window, draws its Chinese captions with a CJK font, and ends with status 0 when its
// window is closed, having saved its files.
//
// What the picture check can and cannot tell: it sees that the window is painted (many colours)
// and that the ink of the Chinese caption "留痕引擎列表" spans about the width that the same
// text takes with the installed CJK font. Boxes drawn for missing glyphs are about half as wide,
// so a display without the font fails; it does not read the glyphs themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QSet>
#include <atomic>
#include <chrono>
#include <string>

#include "engines/engine_list_file.h"
#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "settings/settings_store.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace trasslo::support {
namespace {

// Darkest-to-lightest gray of a pixel.
int gray(QRgb pixel) {
    return qGray(pixel);
}

// The horizontal span of the pixels darker than mid-gray inside `area`; 0 when none.
int ink_width(const QImage& image, const QRect& area) {
    int left = -1;
    int right = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (gray(image.pixel(x, y)) < 128) {
                if (left < 0) left = x;
                right = x;
                break;
            }
        }
    }
    return left < 0 ? 0 : right - left + 1;
}

// Runs scripts/screenshot on the program in `folder`, closing the window afterwards.
ChildResult run_screenshot(const std::filesystem::path& folder,
                           const std::filesystem::path& picture) {
    return run_child(std::string(TRASSLO_SOURCE_DIR) + "/scripts/screenshot",
                     {"--program", TRASSLO_APP_PATH, "--folder", folder.string(), "--out",
                      picture.string(), "--close"},
                     folder.parent_path(), {}, std::chrono::minutes(4));
}

TEST(ProgramUnderXvfb, ShowsItsWindowWithChineseTextAndEndsCleanlyWhenClosed) {
    ASSERT_FALSE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        << "no CJK font installed (fonts-wqy-microhei)";

    TempDir dir;
    const std::filesystem::path folder = dir.path() / "program";
    const std::filesystem::path picture = dir.path() / "window.png";
    // The default engines name real sites: with their icons cached, the program asks nobody.
    std::filesystem::create_directories(icon_cache_folder(folder));
    for (const TraceEngine& engine : parse_engine_list_text(default_engine_list_text())) {
        ASSERT_TRUE(write_icon_file(icon_file_path(folder, engine.address), default_icon_bytes()));
    }

    const ChildResult screenshot = run_screenshot(folder, picture);
    const std::string output = screenshot.out + screenshot.err;
    EXPECT_EQ(screenshot.status, 0) << output;

    QImage image(QString::fromStdString(picture.string()));
    ASSERT_FALSE(image.isNull()) << output;
    // The designed 740 x 577 under the menu bar.
    const int bar = image.height() - 577;
    EXPECT_EQ(image.width(), 740);
    EXPECT_TRUE(bar > 10 && bar < 40) << image.height();

    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 30) << "the window looks unpainted";

    // "标签1" sits at 10,10 below the menu bar and is 200 x 20. Its full-width colon adds a few
    // pixels of ink at most; boxes for missing glyphs would span about two thirds of the expected
    // width.
    const int expected =
        QFontMetrics(QApplication::font()).horizontalAdvance(QString::fromUtf8("留痕引擎列表"));
    const int measured = ink_width(image, QRect(10, 10 + bar, 200, 20));
    EXPECT_GT(measured, expected * 17 / 20) << "expected about " << expected << " pixels of ink";
    EXPECT_LT(measured, expected * 5 / 4) << "expected about " << expected << " pixels of ink";

    // Closing saved the controls and the engine list beside the program.
    EXPECT_NE(read_file_bytes(settings_file_path(folder)).find(local("[主界面]")),
              std::string::npos);
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder))),
              parse_engine_list_text(default_engine_list_text()));
}

TEST(ProgramUnderXvfb, ClosedWhileAnIconDownloadHangsItStillEndsWithStatusZero) {
    // A site that takes every request and never answers: the icon worker sits in its request.
    std::atomic<int> asked{0};
    HttpTestServer silent([&asked](Connection& connection, const RecordedRequest&) {
        ++asked;
        connection.hold();
    });
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "program";
    std::filesystem::create_directories(folder);
    write_file_bytes(engine_list_file_path(folder),
                     local("真|0|静|" + silent.url("/s?q={*}") + "\r\n"));

    const ChildResult screenshot = run_screenshot(folder, dir.path() / "window.png");
    EXPECT_EQ(screenshot.status, 0) << screenshot.out << screenshot.err;
    EXPECT_EQ(asked.load(), 1) << "the worker was in its request when the window closed";
    EXPECT_EQ(parse_engine_list_text(read_file_bytes(engine_list_file_path(folder))).size(), 1u);
}

}  // namespace
}  // namespace trasslo::support
