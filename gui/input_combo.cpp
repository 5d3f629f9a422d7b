#include "gui/input_combo.h"

#include <QStringList>

namespace zel::gui {

InputCombo::InputCombo(QWidget* parent) : QComboBox(parent) {
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(24);
  setMaxVisibleItems(20);
}

void InputCombo::SetEntries(const std::vector<std::string>& entries, int current) {
  QStringList items;
  items.reserve(static_cast<qsizetype>(entries.size()));
  for (const std::string& e : entries) items.push_back(QString::fromStdString(e));
  clear();
  addItems(items);
  setCurrentIndex(current);
}

}  // namespace zel::gui
