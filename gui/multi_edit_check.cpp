#include "gui/multi_edit_check.h"

namespace zel::gui {

MultiEditCheck::MultiEditCheck(const QString& text, bool multiEdit, QWidget* parent)
    : QCheckBox(text, parent) {
  setTristate(multiEdit);
}

void MultiEditCheck::SetState(int state) {
  if (state == 2 && isTristate()) {
    setCheckState(Qt::PartiallyChecked);
  } else {
    setCheckState(state == 1 ? Qt::Checked : Qt::Unchecked);
  }
}

int MultiEditCheck::State() const {
  switch (checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

}  // namespace zel::gui
