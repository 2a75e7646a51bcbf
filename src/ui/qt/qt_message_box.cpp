#include "ui/qt/qt_message_box.h"

#include <QEventLoop>
#include <QMessageBox>

#include "base/message_box.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

QMessageBox::Icon qt_icon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::information:
            return QMessageBox::Information;
        case MessageIcon::question:
            return QMessageBox::Question;
        case MessageIcon::warning:
            return QMessageBox::Warning;
        case MessageIcon::error:
            return QMessageBox::Critical;
        case MessageIcon::none:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qt_buttons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::ok_cancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::yes_no:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::ok:
            break;
    }
    return QMessageBox::Ok;
}

MessageAnswer answer_of(int button, MessageButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::ok;
        case QMessageBox::Yes:
            return MessageAnswer::yes;
        case QMessageBox::No:
            return MessageAnswer::no;
        case QMessageBox::Cancel:
            return MessageAnswer::cancel;
        default:
            break;
    }
    // Closed by its close box or Escape: the negative answer of the box.
    switch (buttons) {
        case MessageButtons::ok_cancel:
            return MessageAnswer::cancel;
        case MessageButtons::yes_no:
            return MessageAnswer::no;
        case MessageButtons::ok:
            break;
    }
    return MessageAnswer::ok;
}

int modeless_depth = 0;

}  // namespace

ModelessMessageScope::ModelessMessageScope() {
    ++modeless_depth;
}
ModelessMessageScope::~ModelessMessageScope() {
    --modeless_depth;
}
bool ModelessMessageScope::active() {
    return modeless_depth > 0;
}

MessageAnswer show_qt_message_box(const MessageRequest& request, QWidget* owner,
                                  bool keep_owner_usable) {
    // A box without a caption of its own bears the program's name rather than the executable's.
    const QString title =
        request.caption.empty() ? QStringLiteral("Tandel·Trasslo") : to_qstring(request.caption);
    QMessageBox box(qt_icon(request.icon), title, to_qstring(request.text),
                    qt_buttons(request.buttons), keep_owner_usable ? nullptr : owner);
    if (!keep_owner_usable) return answer_of(box.exec(), request.buttons);
    box.setWindowModality(Qt::NonModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QEventLoop loop;
    int result = QMessageBox::Cancel;
    QObject::connect(&box, &QMessageBox::finished, &loop, [&](int r) {
        result = r;
        loop.quit();
    });
    box.show();
    loop.exec();
    return answer_of(result, request.buttons);
}

}  // namespace trasslo
