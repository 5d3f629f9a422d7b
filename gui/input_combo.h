// Combo boxes of the window programs that offer fixed entries: the input lists ("%s   %s"
// with their none entry) and, in multi-edit, "(unchanged)" first. The entries come from
// gui/model/input_choices.h; long lists stay cheap (one model, no widget per entry).
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace zel::gui {

class InputCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit InputCombo(QWidget* parent = nullptr);
  void SetEntries(const std::vector<std::string>& entries, int current);
};

}  // namespace zel::gui
