// The dialog "代理设置": the window's proxies, one a line, and their rotation, kept in the
// settings file; "测试" fetches a test address through each proxy and shows, for each, ok with
// the time it took, or why not.
#pragma once

#include <QDialog>

#include "app/proxy_settings.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace trasslo {

class ProxyDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ProxyDialog(const ProxySettings& settings, QWidget* parent = nullptr);

    ProxySettings settings() const;
    // Fetches the test address through each proxy of the list, one after the other, and
    // shows the results.
    void test_proxies();

    QPlainTextEdit* list_edit() const { return list_; }
    QComboBox* rotation_box() const { return rotation_; }
    QLineEdit* test_address_edit() const { return test_address_; }
    QPushButton* test_button() const { return test_; }
    QPlainTextEdit* results() const { return results_; }

  private:
    QPlainTextEdit* list_ = nullptr;
    QComboBox* rotation_ = nullptr;
    QLineEdit* test_address_ = nullptr;
    QPushButton* test_ = nullptr;
    QPlainTextEdit* results_ = nullptr;
};

// One proxy line's test result (local text): "http://h:3128  ok 120 ms" or
// "http://h:3128  失败：代理无法连接".
LocalText proxy_test_line(const ProxyEndpoint& endpoint, std::string_view test_address);

}  // namespace trasslo
