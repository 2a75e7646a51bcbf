// Qt's own texts in the program's language: which translation each user locale gets, and a
// message box's buttons and title with it installed.
#include "ui/qt/qt_translations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "base/message_box.h"
#include "text/local_text.h"
#include "ui/qt/qt_message_box.h"

namespace trasslo {
namespace {

// A translation installed for as long as the object lives.
class InstalledTranslation {
  public:
    InstalledTranslation() : translator_(load_qt_translation()) {
        if (translator_) QCoreApplication::installTranslator(translator_.get());
    }
    ~InstalledTranslation() {
        if (translator_) QCoreApplication::removeTranslator(translator_.get());
    }
    InstalledTranslation(const InstalledTranslation&) = delete;
    InstalledTranslation& operator=(const InstalledTranslation&) = delete;
    bool loaded() const { return translator_ != nullptr; }

  private:
    std::unique_ptr<QTranslator> translator_;
};

TEST(QtTranslations, QtsOwnTextsAreChinese) {
    const InstalledTranslation installed;
    ASSERT_TRUE(installed.loaded()) << "Qt's translations are missing (qt6-translations-l10n)";
    const QMessageBox box(QMessageBox::NoIcon, {}, {}, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

TEST(QtTranslations, MessageBoxesReadInChineseAndBearTheProgramsNameWithoutACaption) {
    const InstalledTranslation installed;
    ASSERT_TRUE(installed.loaded());
    struct Row {
        MessageButtons buttons;
        const char* caption;
        QMessageBox::StandardButton first, second;
        const char* first_text;
        const char* second_text;
        const char* title;
    };
    for (const Row& row : {Row{MessageButtons::ok_cancel, "", QMessageBox::Ok, QMessageBox::Cancel,
                               "确定", "取消", "Tandel·Trasslo"},
                           // Yes and No keep their keys, shown as "是(Y)" and "否(N)".
                           Row{MessageButtons::yes_no, "添加留痕引擎", QMessageBox::Yes,
                               QMessageBox::No, "是(&Y)", "否(&N)", "添加留痕引擎"}}) {
        SCOPED_TRACE(row.title);
        QStringList seen;
        // Read and answered from inside the box's own event loop.
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box == nullptr || !box->isVisible()) continue;
                seen << box->windowTitle() << box->button(row.first)->text()
                     << box->button(row.second)->text();
                box->button(row.first)->click();
            }
        });
        MessageRequest request;
        request.text = local("留痕完成！");
        request.caption = local(row.caption);
        request.buttons = row.buttons;
        show_qt_message_box(request, nullptr);
        EXPECT_EQ(seen,
                  (QStringList{QString::fromUtf8(row.title), QString::fromUtf8(row.first_text),
                               QString::fromUtf8(row.second_text)}));
    }
}

}  // namespace
}  // namespace trasslo
