// Qt's own texts (the buttons of message boxes, the file dialogs) in the program's language.
// The program's texts are Chinese, so Qt's English would sit among them wherever the user's
// locale has no translation of its own.
#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>

namespace trasslo {

// Qt's translation for `locale` from the system's translations folder (Debian's
// qt6-translations-l10n): the locale's own for a language Qt translates other than English,
// otherwise Simplified Chinese. Null when no file could be loaded.
std::unique_ptr<QTranslator> load_qt_translation(const QLocale& locale);

// Installs the translation for the user's locale into the running application; once, at
// start-up. Returns whether one was installed.
bool install_qt_translations();

}  // namespace trasslo
