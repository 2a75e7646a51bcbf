#include "ui/qt/qt_file_dialog.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace trasslo {
namespace {

QLocale chinese() {
    return QLocale(QLocale::Chinese, QLocale::China);
}

// The file list's dates: the file system model writes them in the system's locale.
class ChineseDates : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        // Column 3 of the file system model is the modification date.
        if (role == Qt::DisplayRole && index.column() == 3) {
            if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel()))
                return chinese_file_time(files->lastModified(mapToSource(index)));
        }
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

QString chinese_file_time(const QDateTime& time) {
    return chinese().toString(time, QLocale::ShortFormat);
}

void make_chinese_file_dialog(QFileDialog& dialog) {
    dialog.setObjectName(QStringLiteral("通用对话框"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLocale(chinese());
    dialog.setProxyModel(new ChineseDates(&dialog));
}

}  // namespace trasslo
