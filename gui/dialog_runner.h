// How a window shows its modal dialogs. The program runs them with exec(); tests put in a
// function that fills the fields of the very dialog object and presses its buttons.
#pragma once

#include <QDialog>
#include <functional>

namespace zel::gui {

// Shows `dialog` and returns its result (QDialog::Accepted or Rejected).
using DialogRunner = std::function<int(QDialog&)>;

inline int ExecDialog(QDialog& dialog) { return dialog.exec(); }

}  // namespace zel::gui
