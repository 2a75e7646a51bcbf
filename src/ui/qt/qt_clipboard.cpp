#include "ui/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "text/lossless_text.h"
#include "ui/qt/qt_text.h"

namespace trasslo {

LocalText clipboard_text() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    return from_qstring(clipboard->text());
}

LocalText clipboard_lossless_text() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    return lossless_from_utf16(clipboard->text().toStdU16String());
}

void set_clipboard_text(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) clipboard->setText(to_qstring(text));
}

}  // namespace trasslo
