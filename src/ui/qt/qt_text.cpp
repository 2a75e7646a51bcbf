#include "ui/qt/qt_text.h"

namespace trasslo {

QString to_qstring(std::string_view local_text) {
    return QString::fromStdU16String(local_text_to_utf16(local_text));
}

LocalText from_qstring(const QString& text) {
    return utf16_to_local_text(text.toStdU16String());
}

}  // namespace trasslo
