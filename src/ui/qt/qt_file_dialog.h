// The program's file dialogs: Qt's own dialog (not the desktop's, which speaks the desktop's
// language), in Chinese, with sizes, types ("TXT 文件", "文件夹") and modification dates in
// the Chinese form, whatever the user's locale. Qt's Chinese texts come from the translation of
// qt_translations.h.
#pragma once

#include <QFileDialog>
#include <QString>

namespace trasslo {

// Makes `dialog` such a dialog, named "通用对话框" as the window definitions name it.
void make_chinese_file_dialog(QFileDialog& dialog);

// The dates of the dialog's file list as the Chinese locale writes them ("2026/12/11 16:05").
QString chinese_file_time(const QDateTime& time);

}  // namespace trasslo
