// The program's file dialogs: Qt's own, listing dates in the Chinese form whatever the locale.
#include "ui/qt/qt_file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QTest>
#include <QTreeView>
#include <chrono>
#include <filesystem>

#include "support/temp_dir.h"

namespace trasslo {
namespace {

TEST(ChineseFileDialog, ListsTheFilesSizeTypeAndDateInTheChineseForm) {
    support::TempDir dir;
    const std::filesystem::path file = dir.path() / "list.txt";
    support::write_file_bytes(file, "x");
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8));
    std::filesystem::last_write_time(
        file, std::filesystem::file_time_type::clock::now() +
                  std::chrono::seconds(when.toSecsSinceEpoch() -
                                       QDateTime::currentDateTime().toSecsSinceEpoch()));

    QFileDialog dialog(nullptr, QStringLiteral("导入引擎列表"), QString::fromStdString(dir.str()));
    make_chinese_file_dialog(dialog);
    EXPECT_EQ(dialog.objectName(), QStringLiteral("通用对话框"));
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);
    // The list fills in on the model's own thread.
    QString shown;
    QString size;
    QString type;
    QTest::qWaitFor(
        [&] {
            QAbstractItemModel* model = view->model();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < model->rowCount(root); ++row) {
                if (model->index(row, 0, root).data().toString() != QStringLiteral("list.txt"))
                    continue;
                size = model->index(row, 1, root).data().toString();
                type = model->index(row, 2, root).data().toString();
                shown = model->index(row, 3, root).data().toString();
            }
            return !shown.isEmpty();
        },
        5000);
    EXPECT_EQ(shown, QStringLiteral("2024/3/5 07:08"));
    EXPECT_EQ(size, QStringLiteral("1 字节"));
    EXPECT_EQ(type, QStringLiteral("TXT 文件"));
}

}  // namespace
}  // namespace trasslo
