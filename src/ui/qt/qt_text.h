// Conversions between Qt's strings and local (GBK) text, the one crossing point at the window.
#pragma once

#include <QString>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Local text to a QString, through UTF-16.
QString to_qstring(std::string_view local_text);

// A QString to local text; characters GBK lacks become '?'.
LocalText from_qstring(const QString& text);

// A UTF-8 source literal straight to a QString (same as QString::fromUtf8, named for intent).
inline QString ui_text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace trasslo
