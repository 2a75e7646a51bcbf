#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace trasslo {

std::unique_ptr<QTranslator> load_qt_translation() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) return translator;
    return nullptr;
}

bool install_qt_translations() {
    std::unique_ptr<QTranslator> translator = load_qt_translation();
    if (!translator || !QCoreApplication::installTranslator(translator.get())) return false;
    // The application keeps it for as long as it runs.
    translator.release()->setParent(QCoreApplication::instance());
    return true;
}

}  // namespace trasslo
