// Qt's own texts (the buttons of message boxes, the file dialogs) in the program's language.
// The program's texts are Chinese, so Qt's texts are Chinese too, whatever the user's locale:
// a German or an English dialog would sit among them otherwise.
#pragma once

#include <QTranslator>
#include <memory>

namespace trasslo {

// Qt's Simplified Chinese translation from the system's translations folder (Debian's
// qt6-translations-l10n). Null when it could not be loaded.
std::unique_ptr<QTranslator> load_qt_translation();

// Installs that translation into the running application; once, at start-up. Returns whether
// it was installed.
bool install_qt_translations();

}  // namespace trasslo
