#include "ui/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "ui/qt/qt_text.h"

namespace trasslo {

LocalText clipboard_text() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    return from_qstring(clipboard->text());
}

void set_clipboard_text(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) clipboard->setText(to_qstring(text));
}

}  // namespace trasslo
