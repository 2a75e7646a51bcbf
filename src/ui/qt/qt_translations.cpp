#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace trasslo {

std::unique_ptr<QTranslator> load_qt_translation(const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    // English is Qt's own untranslated text, and the C locale names no language at all.
    const bool own_language =
        locale.language() != QLocale::English && locale.language() != QLocale::C;
    if (own_language &&
        translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return translator;
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) return translator;
    return nullptr;
}

bool install_qt_translations() {
    std::unique_ptr<QTranslator> translator = load_qt_translation(QLocale::system());
    if (!translator || !QCoreApplication::installTranslator(translator.get())) return false;
    // The application keeps it for as long as it runs.
    translator.release()->setParent(QCoreApplication::instance());
    return true;
}

}  // namespace trasslo
