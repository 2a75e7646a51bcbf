// The add-engine dialog "添加留痕引擎": an address template with {*} where the keyword goes, a
// name (read from the site when left empty) and the page encoding; it adds the engine at the
// end of the list or inserts it at the current item, and can test an address by visiting it.
// Non-modal and owned by the main window; destroyed when closed. Closing it while it visits a
// site gives the visit up at once.
#pragma once

#include <QDialog>

#include "engines/trace_engine.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trasslo {

class MainWindow;

class AddEngineDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AddEngineDialog(MainWindow* owner);

    // Shows an engine selected in the tree: address, name and encoding (neither radio button
    // for a code other than 0 and 1).
    void show_engine(const TraceEngine& engine);

    // The commands of the dialog's buttons. `add_or_insert` returns whether an engine was made.
    bool add_or_insert(bool insert);
    void show_help();
    void test_engine();
    void paste_address();
    void insert_placeholder();

    // True once the dialog has been closed (it is deleted soon after).
    bool closed() const { return closed_; }

    QLineEdit* address_edit() const { return address_; }
    QLineEdit* name_edit() const { return name_; }
    QRadioButton* gbk_button() const { return gbk_; }
    QRadioButton* utf8_button() const { return utf8_; }
    QPushButton* test_button() const { return test_; }
    // The status line: what the dialog is waiting for ("正在读取网站标题…"), empty otherwise.
    QLabel* status_label() const { return status_; }

    // The host of the address after its last change; process-wide, so it outlives the dialog.
    static LocalText& last_host();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class Busy;
    void on_address_changed();
    int selected_encoding() const;

    MainWindow* owner_;
    QLineEdit* address_ = nullptr;
    QLineEdit* name_ = nullptr;
    QRadioButton* gbk_ = nullptr;
    QRadioButton* utf8_ = nullptr;
    QPushButton* test_ = nullptr;
    QLabel* status_ = nullptr;
    int busy_ = 0;
    bool closed_ = false;
};

}  // namespace trasslo
