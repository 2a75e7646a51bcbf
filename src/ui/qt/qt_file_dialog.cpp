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

// The file list's size, type and date columns: the file system model writes them in the
// system's language and locale.
class ChineseColumns : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr || index.column() == 0)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        switch (index.column()) {
            case 1:
                if (files->isDir(file)) return QString();
                if (files->size(file) < 1024)
                    return QString::number(files->size(file)) + QStringLiteral(" 字节");
                return chinese().formattedDataSize(files->size(file));
            case 2:
                if (files->isDir(file)) return QStringLiteral("文件夹");
                if (files->fileInfo(file).suffix().isEmpty()) return QStringLiteral("文件");
                return files->fileInfo(file).suffix().toUpper() + QStringLiteral(" 文件");
            case 3:
                return chinese_file_time(files->lastModified(file));
            default:
                return QIdentityProxyModel::data(index, role);
        }
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
    dialog.setProxyModel(new ChineseColumns(&dialog));
}

}  // namespace trasslo
