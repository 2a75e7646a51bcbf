// Controls placed the way the window definitions place them: a Chinese object name (the control
// name the settings walk keys on), a caption and a fixed rectangle. Shared by the main window and
// the add-engine dialog.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

namespace trasslo {

// Gives `widget` its control name and returns it.
template <typename Widget>
Widget* named(Widget* widget, const char* object_name) {
    widget->setObjectName(QString::fromUtf8(object_name));
    return widget;
}

inline QLabel* designed_label(QWidget* parent, const char* object_name, const char* caption,
                              QRect where) {
    auto* label = named(new QLabel(QString::fromUtf8(caption), parent), object_name);
    label->setGeometry(where);
    return label;
}

inline QLineEdit* designed_line_edit(QWidget* parent, const char* object_name, const char* text,
                                     QRect where) {
    auto* edit = named(new QLineEdit(QString::fromUtf8(text), parent), object_name);
    edit->setGeometry(where);
    return edit;
}

// A button that is never the dialog's default: Enter in an edit box presses nothing.
inline QPushButton* designed_button(QWidget* parent, const char* object_name, const char* caption,
                                    QRect where) {
    auto* button = named(new QPushButton(QString::fromUtf8(caption), parent), object_name);
    button->setGeometry(where);
    button->setAutoDefault(false);
    return button;
}

}  // namespace trasslo
