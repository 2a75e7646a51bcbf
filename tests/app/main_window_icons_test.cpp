// The main window's site icons against sites on the loopback: a start with an empty cache
// fetches each site's "/favicon.ico" once, tries the three base addresses when a site answers
// with HTML, and the tree shows the new pictures once the worker's refresh reaches the window.
#include <QBuffer>
#include <QImage>
#include <QTreeWidgetItem>
#include <thread>

#include "app_fixture.h"
#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/site_icons.h"
#include "support/host_sites.h"
#include "ui/qt/qt_engine_tree.h"

namespace trasslo::support {
namespace {

using namespace std::chrono_literals;

std::string png_of(QColor colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

QColor centre_of(QtEngineTree& tree, int index) {
    return tree.topLevelItem(index)->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8);
}

QImage picture_of(QtEngineTree& tree, int index) {
    return tree.topLevelItem(index)->icon(0).pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_ARGB32);
}

QImage default_picture() {
    QImage picture;
    const ByteBuffer& icon = default_icon_bytes();
    EXPECT_TRUE(picture.loadFromData(icon.data(), static_cast<int>(icon.size()), "ICO"));
    return picture.convertToFormat(QImage::Format_ARGB32);
}

class MainWindowIconsTest : public AppTest {
  protected:
    void TearDown() override {
        sites.release();
        AppTest::TearDown();
    }
    // Processes events until `done` holds or about ten seconds have passed.
    template <typename Condition>
    bool wait_until(Condition done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            wait_icon_downloads(10ms);
        }
        return done();
    }
    std::filesystem::path cached(const std::string& host) const {
        return icon_cache_folder(folder()) / (sites.authority(host) + ".ico");
    }

    HostSites sites;
};

TEST_F(MainWindowIconsTest, EmptyCacheIsFilledFromTheSitesAndTheTreeShowsTheNewPictures) {
    const QColor red(255, 0, 0);
    const QColor green(0, 160, 0);
    sites.serve("s.red.localhost", "/favicon.ico", png_of(red));
    sites.serve("s.green.localhost", "/favicon.ico", png_of(green));
    // HTML at the host, at its main domain and at "www." + the main domain: no icon.
    for (const char* host : {"s.page.localhost", "page.localhost", "www.page.localhost"}) {
        sites.serve(host, "/favicon.ico", "<html><body>no icon</body></html>");
    }
    // HTML at the host, an icon at the main domain.
    sites.serve("s.blue.localhost", "/favicon.ico", "<html></html>");
    sites.serve("blue.localhost", "/favicon.ico", png_of(QColor(0, 0, 255)));
    write_engine_file({
        "真|0|红|" + sites.url("s.red.localhost", "/s?q={*}"),
        "真|0|绿一|" + sites.url("s.green.localhost", "/a?q={*}"),
        "真|0|页|" + sites.url("s.page.localhost", "/s?q={*}"),
        "真|0|绿二|" + sites.url("s.green.localhost", "/b?w={*}"),
        "真|0|蓝|" + sites.url("s.blue.localhost", "/s?q={*}"),
    });

    MainWindow& w = open_window();
    QtEngineTree& tree = *w.engine_tree();
    // Until the worker has been heard from, every item shows the default icon.
    ASSERT_TRUE(wait_until([&] { return centre_of(tree, 0) == red; }))
        << "the worker's refresh never reached the tree";
    EXPECT_EQ(centre_of(tree, 1), green);
    EXPECT_EQ(centre_of(tree, 3), green) << "engines of one host share its file";
    EXPECT_EQ(centre_of(tree, 4), QColor(0, 0, 255));
    EXPECT_EQ(picture_of(tree, 2), default_picture());

    EXPECT_EQ(sites.requests(), (std::vector<std::string>{
                                    "s.red.localhost /favicon.ico",
                                    "s.green.localhost /favicon.ico",
                                    "s.page.localhost /favicon.ico",
                                    "page.localhost /favicon.ico",
                                    "www.page.localhost /favicon.ico",
                                    "s.blue.localhost /favicon.ico",
                                    "blue.localhost /favicon.ico",
                                }));
    EXPECT_EQ(read_file_bytes(cached("s.red.localhost")), png_of(red));
    EXPECT_EQ(read_file_bytes(cached("s.green.localhost")), png_of(green));
    EXPECT_FALSE(std::filesystem::exists(cached("s.page.localhost")));

    // The next start asks no site: every icon it could get is cached.
    close_window();
    window.reset();
    open_window();
    // The worker starts once the window has been drawn.
    ASSERT_TRUE(wait_until([&] { return sites.requests().size() >= 10; }));
    EXPECT_TRUE(wait_icon_downloads(10s));
    const std::vector<std::string> seen = sites.requests();
    ASSERT_EQ(seen.size(), 10u) << "only the site without an icon is asked again";
    EXPECT_EQ(
        std::vector<std::string>(seen.begin() + 7, seen.end()),
        (std::vector<std::string>{"s.page.localhost /favicon.ico", "page.localhost /favicon.ico",
                                  "www.page.localhost /favicon.ico"}));
    EXPECT_EQ(centre_of(*window->engine_tree(), 0), red) << "shown from the cache at once";
}

TEST_F(MainWindowIconsTest, NotFoundTextIsNotKeptAndAFileWithoutAPictureShowsTheDefault) {
    sites.serve("s.gone.localhost", "/favicon.ico", "no icon", 404);
    // A site's "not found" text kept as its icon by an earlier version.
    std::filesystem::create_directories(icon_cache_folder(folder()));
    write_file_bytes(cached("s.kept.localhost"), "no icon");
    write_engine_file({"真|0|无|" + sites.url("s.gone.localhost", "/s?q={*}"),
                       "真|0|旧|" + sites.url("s.kept.localhost", "/s?q={*}")});
    MainWindow& w = open_window();
    ASSERT_TRUE(wait_until([&] { return !sites.requests().empty(); }));
    EXPECT_TRUE(wait_icon_downloads(10s));
    QApplication::processEvents();
    EXPECT_EQ(sites.requests(), std::vector<std::string>{"s.gone.localhost /favicon.ico"});
    EXPECT_FALSE(std::filesystem::exists(cached("s.gone.localhost")));
    for (int i : {0, 1}) EXPECT_EQ(picture_of(*w.engine_tree(), i), default_picture()) << i;
}

TEST_F(MainWindowIconsTest, DownloadStartsOnceTheWindowHasBeenDrawn) {
    sites.serve("s.late.localhost", "/favicon.ico", png_of(QColor(255, 0, 0)));
    write_engine_file({"真|0|迟|" + sites.url("s.late.localhost", "/s?q={*}")});
    window = std::make_unique<MainWindow>(folder());
    window->set_process_ender([this](int status) { ended_with = status; });
    QApplication::processEvents();
    std::this_thread::sleep_for(200ms);  // time enough for a worker to ask
    QApplication::processEvents();
    EXPECT_TRUE(sites.requests().empty()) << "asked a site before the window was shown";
    window->show();
    ASSERT_TRUE(wait_until([&] { return !sites.requests().empty(); }));
    EXPECT_EQ(sites.requests(), std::vector<std::string>{"s.late.localhost /favicon.ico"});
}

TEST_F(MainWindowIconsTest, WindowGoneBeforeTheWorkerEndsLeavesTheWorkerHarmless) {
    sites.serve("s.slow.localhost", "/favicon.ico", png_of(QColor(255, 0, 0)));
    sites.hold("s.slow.localhost");
    write_engine_file({"真|0|慢|" + sites.url("s.slow.localhost", "/s?q={*}")});
    open_window();
    ASSERT_TRUE(wait_until([&] { return !sites.requests().empty(); }));
    window.reset();  // the worker is still inside its request
    sites.release();
    EXPECT_TRUE(wait_icon_downloads(10s));
    // Its refresh was dropped with the window; the icon it fetched is kept for the next start.
    QApplication::processEvents();
    EXPECT_EQ(read_file_bytes(cached("s.slow.localhost")), png_of(QColor(255, 0, 0)));
}

}  // namespace
}  // namespace trasslo::support
