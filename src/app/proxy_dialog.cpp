#include "app/proxy_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

#include "net/curl_request.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

constexpr long kTestDeadlineMs = 15000;

LocalText failure_text(const HttpResponse& response) {
    if (response.proxy_fault) return local("代理无法使用（无法连接、超时、登录被拒或拒绝转发）");
    switch (response.error) {
        case RequestError::resolve:
            return local("域名无法解析");
        case RequestError::timeout:
            return local("超时");
        case RequestError::tls:
            return local("证书错误");
        default:
            return local("无法连接测试地址");
    }
}

}  // namespace

LocalText proxy_test_line(const ProxyEndpoint& endpoint, std::string_view test_address) {
    HttpRequest request;
    request.url = std::string(test_address);
    request.user_agent = kBrowserAgent;
    request.deadline_ms = kTestDeadlineMs;
    ProxyRoute route;
    route.endpoint = endpoint;
    route.apply(request);
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse response = perform_request(request);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    const LocalText name = endpoint.direct ? LocalText("direct") : endpoint.label();
    if (response.ok() && response.status >= 200 && response.status <= 399)
        return name + "  ok " + std::to_string(ms) + " ms";
    if (response.ok())
        return name + local("  失败：测试地址返回状态码 ") + std::to_string(response.status);
    return name + local("  失败：") + failure_text(response);
}

ProxyDialog::ProxyDialog(const ProxySettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName(ui_text("代理设置"));
    setWindowTitle(ui_text("代理设置"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(ui_text("每行一个代理：http、https、socks4、socks4a、socks5 或 socks5h，"
                           "登录写作 用户:密码@，direct 表示不用代理；# 开头的行是注释。"),
                   this));
    list_ = new QPlainTextEdit(this);
    list_->setObjectName(ui_text("代理列表"));
    list_->setPlainText(QString::fromUtf8(settings.list.c_str()));
    layout->addWidget(list_);

    auto* form = new QFormLayout;
    rotation_ = new QComboBox(this);
    rotation_->setObjectName(ui_text("轮换方式"));
    rotation_->addItem(ui_text("每个网站固定一个代理"), QStringLiteral("site"));
    rotation_->addItem(ui_text("每次访问换下一个代理"), QStringLiteral("visit"));
    rotation_->setCurrentIndex(settings.rotation == ProxyRotation::visit ? 1 : 0);
    form->addRow(ui_text("轮换："), rotation_);
    test_address_ = new QLineEdit(QStringLiteral("http://www.baidu.com/"), this);
    test_address_->setObjectName(ui_text("测试地址"));
    form->addRow(ui_text("测试地址："), test_address_);
    layout->addLayout(form);

    test_ = new QPushButton(ui_text("测试"), this);
    test_->setObjectName(ui_text("测试"));
    connect(test_, &QPushButton::clicked, this, &ProxyDialog::test_proxies);
    layout->addWidget(test_);
    results_ = new QPlainTextEdit(this);
    results_->setObjectName(ui_text("测试结果"));
    results_->setReadOnly(true);
    layout->addWidget(results_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 460);
}

ProxySettings ProxyDialog::settings() const {
    ProxySettings settings;
    settings.list = list_->toPlainText().toUtf8().toStdString();
    settings.rotation = rotation_->currentIndex() == 1 ? ProxyRotation::visit : ProxyRotation::site;
    return settings;
}

void ProxyDialog::test_proxies() {
    test_->setEnabled(false);
    results_->clear();
    const ProxyList list = read_proxy_list(settings().list, "代理列表");
    for (const std::string& warning : list.warnings)
        results_->appendPlainText(QString::fromUtf8(warning.c_str()));
    if (list.proxies.empty()) results_->appendPlainText(ui_text("列表中没有代理"));
    const LocalText address = from_qstring(test_address_->text().trimmed());
    for (const ProxyEndpoint& endpoint : list.proxies) {
        // Each result shows as it comes; the request pumps the window's events meanwhile.
        results_->appendPlainText(to_qstring(proxy_test_line(endpoint, address)));
    }
    test_->setEnabled(true);
}

}  // namespace trasslo
