// The dialog "代理设置" on the offscreen platform: reached from the engine list's menu, its test
// button fetching a site through a real proxy (and failing through one that is down), and the
// proxies kept in the settings file, which is then its owner's alone.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <sys/stat.h>

#include "app/proxy_dialog.h"
#include "app_fixture.h"
#include "settings/settings_store.h"
#include "support/proxy_servers.h"
#include "ui/qt/qt_text.h"

namespace trasslo::support {
namespace {

class ProxyDialogTest : public AppTest {};

TEST_F(ProxyDialogTest, TheTestButtonShowsEachProxysResultAndTheListIsKeptPrivately) {
    TestProxy proxy(TestProxy::Kind::http, "127.0.0.3");
    if (!proxy.start()) GTEST_SKIP() << proxy.error();
    LocalSite site;
    const std::string dead = "socks5://u:p@127.0.0.1:" + std::to_string(unused_loopback_port());

    ProxyDialog dialog(ProxySettings{});
    dialog.list_edit()->setPlainText(QString::fromStdString(
        "# mine\n" + proxy.address_with_login() + "\nnot-a-proxy\n" + dead + "\n"));
    dialog.test_address_edit()->setText(QString::fromStdString(site.url("/s?q=1")));
    dialog.test_button()->click();
    const QStringList lines = dialog.results()->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3) << dialog.results()->toPlainText().toStdString();
    EXPECT_TRUE(lines[0].startsWith(ui_text("代理列表:3: "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QString::fromStdString(proxy.address() + "  ok ")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" ms"));
    EXPECT_TRUE(lines[2].contains(ui_text("失败：代理无法使用"))) << lines[2].toStdString();
    ASSERT_EQ(site.count("/s"), 1u);
    EXPECT_EQ(site.requests().back().peer, "127.0.0.3");

    // From the menu: what the dialog holds when OK is pressed is kept, the file 0600.
    MainWindow& main = open_window();
    QMenu* menu = main.findChild<QMenu*>(ui_text("引擎列表菜单"));
    ASSERT_TRUE(menu);
    QAction* open = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == ui_text("代理设置..")) open = action;
    ASSERT_TRUE(open);
    open->trigger();
    auto* shown = main.findChild<ProxyDialog*>();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isVisible());
    shown->list_edit()->setPlainText(QString::fromStdString(proxy.address_with_login()));
    shown->rotation_box()->setCurrentIndex(1);
    shown->accept();
    // The settings are saved from the event loop.
    struct stat info {};
    for (int turns = 0; turns < 10000 && (info.st_mode & 0777) != 0600; ++turns) {
        QCoreApplication::processEvents();
        ASSERT_EQ(::stat(settings_file_path(folder()).c_str(), &info), 0);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const ProxySettings kept = read_proxy_settings(settings_store());
    EXPECT_EQ(kept.list, proxy.address_with_login() + "\n");
    EXPECT_EQ(kept.rotation, ProxyRotation::visit);
}

}  // namespace
}  // namespace trasslo::support
