#include "app/tray_icon.h"

#include <QWidget>

#include "base/message_box.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

// The tip field holds 128 bytes with its terminator; cut on a character boundary.
QString cut_tip(const QString& tip) {
    LocalText text = from_qstring(tip);
    if (text.size() <= 127) return tip;
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t step = is_gbk_lead_byte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + step > 127) break;
        end += step;
    }
    return to_qstring(std::string_view(text).substr(0, end));
}

}  // namespace

TrayIcon::TrayIcon(QWidget* window, const QIcon& icon, const QString& tip,
                   std::function<void()> quit, QObject* parent)
    : QObject(parent), window_(window), icon_(icon), quit_(std::move(quit)) {
    icon_.setToolTip(cut_tip(tip));
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::on_activated);
    // Shown even without a tray: Qt registers the icon as soon as a tray appears.
    icon_.show();
}

bool TrayIcon::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QString TrayIcon::tip() const {
    return icon_.toolTip();
}

void TrayIcon::hide() {
    icon_.hide();
}

void TrayIcon::on_activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        on_left_click();
    } else if (reason == QSystemTrayIcon::Context) {
        on_right_click();
    }
}

void TrayIcon::on_left_click() {
    if (!window_) return;
    if (window_->isVisible()) {
        window_->hide();
        return;
    }
    if (window_->isMinimized()) {
        window_->showNormal();
    } else {
        window_->show();
    }
    window_->raise();
    window_->activateWindow();
}

bool TrayIcon::on_right_click() {
    MessageRequest request;
    request.text = local("确定要退出本软件《") + local("Tandel·Trasslo") + local("》吗？");
    request.caption = local("Tandel·Trasslo");
    request.buttons = MessageButtons::ok_cancel;
    request.icon = MessageIcon::question;
    if (show_message(request) != MessageAnswer::ok) return false;
    icon_.hide();
    if (quit_) quit_();
    return true;
}

}  // namespace trasslo
