// The check box of an edit dialog: two states for one row, three in multi-edit where the grey
// (partially checked) state means "no change". State values: 0 unchecked, 1 checked, 2 grey.
#pragma once

#include <QCheckBox>

namespace zel::gui {

class MultiEditCheck : public QCheckBox {
  Q_OBJECT
 public:
  MultiEditCheck(const QString& text, bool multiEdit, QWidget* parent = nullptr);
  void SetState(int state);
  int State() const;
};

}  // namespace zel::gui
