// The notification-area icon, behind one small class: a left click shows or hides the window,
// a right click asks whether to quit.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

class QWidget;

namespace trasslo {

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    // `window` is the window the icon toggles; `tip` the icon's tip (cut to 127 bytes of local
    // text, as the tip field holds); `quit` runs after the quit question was answered OK.
    TrayIcon(QWidget* window, const QIcon& icon, const QString& tip, std::function<void()> quit,
             QObject* parent = nullptr);

    // Left click: hide a visible window; show a hidden one restored, in front and focused.
    void on_left_click();
    // Right click: asks the quit question; on OK runs `quit`. Returns whether it did.
    bool on_right_click();

    // Whether a notification area exists (none on the offscreen platform or a bare X server).
    bool available() const;
    QString tip() const;
    void hide();

  private:
    void on_activated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> window_;
    QSystemTrayIcon icon_;
    std::function<void()> quit_;
};

}  // namespace trasslo
