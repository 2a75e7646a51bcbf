// A label that reports clicks: the window's links and pictures ("链接保存配置", "图片疑点说明").
#pragma once

#include <QLabel>

namespace trasslo {

class ClickableLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickableLabel(QWidget* parent = nullptr) : QLabel(parent) {
        setCursor(Qt::PointingHandCursor);
    }

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        emit clicked();
    }
};

}  // namespace trasslo
