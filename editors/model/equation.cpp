#include "model/equation.h"

#include "zel/identifiers.h"

namespace zel::editors {

EquationTable::EquationTable(const SetupDatabase& db, int virt, const std::array<int, 4>& sources,
                             int truthTable)
    : db_(db), self_(db.layout() ? db.layout()->FirstVirtual() + virt : 0), truth_(truthTable) {
  for (int s : sources) {
    if (s >= 0) used_.push_back(s);
  }
}

std::vector<std::string> EquationTable::Headers() const {
  std::vector<std::string> out;
  for (int s : used_) out.push_back(SetupIdentifier(db_.type(), s));
  out.push_back(SetupIdentifier(db_.type(), self_));
  return out;
}

std::string EquationTable::OnOff(int input, bool on) const {
  const int pair = db_.EventPair(input);
  return on ? db_.OnName(pair) : db_.OffName(pair);
}

std::string EquationTable::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return {};
  if (column < static_cast<int>(used_.size())) {
    return OnOff(used_[static_cast<std::size_t>(column)], (row >> column) & 1);
  }
  return OnOff(self_, (static_cast<unsigned>(truth_) >> row) & 1U);
}

void EquationTable::Set(const std::vector<int>& rows, bool on) {
  for (int row : rows) {
    if (row < 0 || row >= RowCount() || row >= 31) continue;
    if (on) {
      truth_ |= 1 << row;
    } else {
      truth_ &= ~(1 << row);
    }
  }
}

}  // namespace zel::editors
