// How the editor shows its modal dialogs: exec() by default; window tests put a function here
// that works the dialog's widgets and closes it.
#pragma once

#include <QDialog>

#include "gui/dialog_runner.h"

namespace zel::editors {

using gui::DialogRunner;

inline int RunDialog(const DialogRunner& runner, QDialog& dialog) {
  return runner ? runner(dialog) : dialog.exec();
}

// Dialog units of the original to pixels through the font's average character width.
int DialogUnitsToPixels(const QWidget& widget, int units);

}  // namespace zel::editors
