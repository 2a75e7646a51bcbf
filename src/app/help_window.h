// The help window ("疑点说明"): the help text in a read-only box with four buttons.
#pragma once

#include <QDialog>

#include "text/local_text.h"

class QPlainTextEdit;
class QPushButton;

namespace trasslo {

// The help text, paragraphs separated by an empty line (CR LF CR LF), as local text.
LocalText help_text();

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    QPlainTextEdit* text_box() const { return text_; }
    QPushButton* button(const QString& object_name) const;

  private:
    void centre_on_screen();

    QPlainTextEdit* text_ = nullptr;
};

}  // namespace trasslo
