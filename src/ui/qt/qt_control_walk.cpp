// The control walk over Qt widgets: one adapter per control, reading and setting the property
// its kind keeps.
#include "ui/qt/qt_control_walk.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "text/lossless_text.h"
#include "ui/qt/qt_text.h"

namespace trasslo {

namespace {

const LocalText& line_break() {
    static const LocalText text = "\r\n";
    return text;
}

// Qt keeps lines apart with "\n"; local text with CR LF. Multi-line boxes (the keyword list)
// keep every character typed: text/lossless_text.h.
LocalText multi_line_to_local(const QString& text) {
    return replace_text(lossless_from_utf16(text.toStdU16String()), "\n", line_break());
}

QString multi_line_from_local(std::string_view text) {
    QString out = QString::fromStdU16String(lossless_to_utf16(text));
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

// Items as local text, each followed by CR LF, so that one empty item and no item differ.
ByteBuffer join_items(const QStringList& items) {
    LocalText out;
    for (const QString& item : items) out += from_qstring(item) + line_break();
    return text_to_bytes(out);
}

QStringList split_items(const ByteBuffer& bytes) {
    QStringList out;
    for (const LocalText& item : split_text(bytes_to_text(bytes), line_break()))
        out.push_back(to_qstring(item));
    return out;
}

bool has_check_marks(const QWidget* widget) {
    static const LocalText word = local("选择列表框");
    const QVariant marks = widget->property(kCheckMarksProperty);
    if (marks.isValid()) return marks.toBool();
    return from_qstring(widget->objectName()).substr(0, word.size()) == word;
}

ControlKind kind_of(const QWidget* widget) {
    if (widget->property(kColourProperty).isValid()) return ControlKind::colour_picker;
    if (qobject_cast<const QCheckBox*>(widget)) return ControlKind::check_box;
    if (qobject_cast<const QRadioButton*>(widget)) return ControlKind::radio_button;
    if (qobject_cast<const QAbstractButton*>(widget)) return ControlKind::button;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
        qobject_cast<const QTextEdit*>(widget))
        return ControlKind::edit_box;
    if (qobject_cast<const QComboBox*>(widget)) return ControlKind::combo_box;
    if (qobject_cast<const QListWidget*>(widget))
        return has_check_marks(widget) ? ControlKind::checked_list_box : ControlKind::list_box;
    return ControlKind::other;
}

class QtControl : public WindowControl {
  public:
    QtControl(QWidget* widget, ControlKind kind) : widget_(widget), kind_(kind) {}

    LocalText name() const override {
        return widget_ ? from_qstring(widget_->objectName()) : LocalText();
    }
    ControlKind kind() const override { return widget_ ? kind_ : ControlKind::other; }
    LocalText tag() const override {
        return widget_ ? from_qstring(widget_->property(kTagProperty).toString()) : LocalText();
    }
    void set_tag(std::string_view tag) override {
        if (widget_) widget_->setProperty(kTagProperty, to_qstring(tag));
    }

    LocalText text() const override {
        if (auto* line = qobject_cast<QLineEdit*>(widget_)) return from_qstring(line->text());
        if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_))
            return multi_line_to_local(plain->toPlainText());
        if (auto* rich = qobject_cast<QTextEdit*>(widget_))
            return multi_line_to_local(rich->toPlainText());
        if (auto* combo = qobject_cast<QComboBox*>(widget_))
            return from_qstring(combo->currentText());
        return {};
    }
    void set_text(std::string_view text) override {
        if (auto* line = qobject_cast<QLineEdit*>(widget_)) {
            line->setText(to_qstring(text));
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_)) {
            plain->setPlainText(multi_line_from_local(text));
        } else if (auto* rich = qobject_cast<QTextEdit*>(widget_)) {
            rich->setPlainText(multi_line_from_local(text));
        } else if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
            if (combo->isEditable())
                combo->setEditText(to_qstring(text));
            else
                combo->setCurrentText(to_qstring(text));
        }
    }

    bool checked() const override {
        auto* button = qobject_cast<QAbstractButton*>(widget_);
        return button && button->isChecked();
    }
    void set_checked(bool flag) override {
        auto* button = qobject_cast<QAbstractButton*>(widget_);
        if (!button || button->isChecked() == flag) return;
        // An exclusive radio button refuses to be unticked directly; the stored state wins.
        const bool exclusive = button->autoExclusive();
        if (!flag) button->setAutoExclusive(false);
        button->setChecked(flag);
        button->setAutoExclusive(exclusive);
    }

    long current_index() const override {
        if (auto* combo = qobject_cast<QComboBox*>(widget_)) return combo->currentIndex();
        if (auto* list = qobject_cast<QListWidget*>(widget_)) return list->currentRow();
        return -1;
    }
    void set_current_index(long index) override {
        const int row = index >= -1 && index < item_count() ? static_cast<int>(index) : -1;
        if (auto* combo = qobject_cast<QComboBox*>(widget_)) combo->setCurrentIndex(row);
        if (auto* list = qobject_cast<QListWidget*>(widget_))
            list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    }

    ByteBuffer items() const override {
        QStringList texts;
        if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
            for (int i = 0; i < combo->count(); ++i) texts.push_back(combo->itemText(i));
        } else if (auto* list = qobject_cast<QListWidget*>(widget_)) {
            for (int i = 0; i < list->count(); ++i) texts.push_back(list->item(i)->text());
        }
        return join_items(texts);
    }
    void set_items(const ByteBuffer& bytes) override {
        const QStringList texts = split_items(bytes);
        if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
            combo->clear();
            combo->addItems(texts);
        } else if (auto* list = qobject_cast<QListWidget*>(widget_)) {
            list->clear();
            for (const QString& text : texts) {
                auto* item = new QListWidgetItem(text, list);
                if (kind_ == ControlKind::checked_list_box) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Unchecked);
                }
            }
        }
    }
    long item_count() const override {
        if (auto* combo = qobject_cast<QComboBox*>(widget_)) return combo->count();
        if (auto* list = qobject_cast<QListWidget*>(widget_)) return list->count();
        return 0;
    }

    std::vector<long> selected_indices() const override {
        std::vector<long> out;
        if (auto* list = qobject_cast<QListWidget*>(widget_))
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->isSelected()) out.push_back(i);
        return out;
    }
    void select_index(long index) override {
        auto* list = qobject_cast<QListWidget*>(widget_);
        if (list && index >= 0 && index < list->count())
            list->item(static_cast<int>(index))->setSelected(true);
    }

    std::vector<long> ticked_indices() const override {
        std::vector<long> out;
        if (auto* list = qobject_cast<QListWidget*>(widget_))
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->checkState() == Qt::Checked) out.push_back(i);
        return out;
    }
    void tick_index(long index) override {
        auto* list = qobject_cast<QListWidget*>(widget_);
        if (list && index >= 0 && index < list->count())
            list->item(static_cast<int>(index))->setCheckState(Qt::Checked);
    }

    double colour() const override {
        if (!widget_) return 0;
        const QVariant value = widget_->property(kColourProperty);
        if (value.metaType().id() == QMetaType::QColor)
            return static_cast<double>(value.value<QColor>().rgba());
        return value.toDouble();
    }
    void set_colour(double number) override {
        if (!widget_ || !std::isfinite(number)) return;
        const QVariant old = widget_->property(kColourProperty);
        if (old.metaType().id() == QMetaType::QColor) {
            if (number < 0 || number > 4294967295.0) return;
            widget_->setProperty(kColourProperty,
                                 QColor::fromRgba(static_cast<QRgb>(std::llround(number))));
        } else {
            widget_->setProperty(kColourProperty, number);
        }
    }

  private:
    QPointer<QWidget> widget_;
    ControlKind kind_;
};

// Depth-first over the children in creation order; recognised controls and child windows are
// not entered.
void collect(QWidget* parent, std::vector<std::unique_ptr<WindowControl>>& out) {
    for (QObject* object : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget == nullptr || widget->isWindow()) continue;
        const ControlKind kind = kind_of(widget);
        if (!widget->objectName().isEmpty())
            out.push_back(std::make_unique<QtControl>(widget, kind));
        if (kind == ControlKind::other) collect(widget, out);
    }
}

}  // namespace

QtControlWalk::QtControlWalk(QWidget* window) {
    if (window != nullptr) collect(window, controls_);
}

QtControlWalk::~QtControlWalk() = default;

std::size_t QtControlWalk::control_count() const {
    return controls_.size();
}

WindowControl* QtControlWalk::control(std::size_t index) {
    if (index >= controls_.size()) return nullptr;
    return controls_[index].get();
}

}  // namespace trasslo
