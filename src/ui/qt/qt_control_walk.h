// The control walk over a Qt widget tree, so that the settings store can save and restore a
// window:
//   QtControlWalk walk(main_window);
//   settings_store().save_controls(walk, local("主界面"));
//
// How a window lists its controls: every descendant widget that has an object name, in a
// depth-first walk of the children in creation order (QObject::children() order). The object
// name holds the Chinese control name; the dynamic property "tag" (a QString) holds the tag.
// The walk does not descend into a control it recognises (its inner parts are not controls of
// the window) nor into a child that is a window of its own (a file dialog, another dialog).
//
// Kinds by widget:
//   QCheckBox -> check box, QRadioButton -> radio button, other QAbstractButton -> button;
//   QLineEdit, QPlainTextEdit, QTextEdit -> edit box (multi-line text is CR LF separated);
//   QComboBox -> combo box;
//   QListWidget -> checked list box when its property "check_marks" is true or its name begins
//   with "选择列表框", otherwise list box;
//   any widget with a "colour" property (QColor or a number) -> colour picker, whose value is
//   the colour's 32-bit ARGB number.
// List and combo items travel as local text, each item followed by CR LF.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "settings/control_walk.h"

namespace trasslo {

// The property names the walk reads.
inline constexpr const char* kTagProperty = "tag";
inline constexpr const char* kCheckMarksProperty = "check_marks";
inline constexpr const char* kColourProperty = "colour";

// Collects the named controls of `window` when constructed; the walk holds guarded pointers,
// so a control deleted afterwards reads as gone (null from `control`).
class QtControlWalk : public ControlWalk {
  public:
    explicit QtControlWalk(QWidget* window);
    ~QtControlWalk() override;

    std::size_t control_count() const override;
    WindowControl* control(std::size_t index) override;

  private:
    std::vector<std::unique_ptr<WindowControl>> controls_;
};

}  // namespace trasslo
