#include "gui/model/sorted_input_list.h"

#include <algorithm>

namespace zel::gui {

SortedInputList::SortedInputList(std::vector<Column> columns, std::vector<Row> rows,
                                 int sort_column)
    : columns_(std::move(columns)), rows_(std::move(rows)) {
  for (Row& r : rows_) r.cells.resize(columns_.size());
  sortColumn_ = sort_column >= 0 && sort_column < ColumnCount() ? sort_column : 0;
  Sort();
}

std::string SortedInputList::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return {};
  return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

std::string SortedInputList::HeaderText(int column) const {
  if (column < 0 || column >= ColumnCount()) return {};
  const std::string& name = columns_[static_cast<std::size_t>(column)].name;
  if (column != sortColumn_) return name;
  return (ascending_ ? "^" : "v") + name;
}

void SortedInputList::ClickHeader(int column) {
  if (column < 0 || column >= ColumnCount()) return;
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    sortColumn_ = column;
    ascending_ = true;
  }
  Sort();
}

std::vector<int> SortedInputList::InputsOfRows(const std::vector<int>& positions) const {
  std::vector<int> inputs;
  for (int p : positions)
    if (p >= 0 && p < RowCount()) inputs.push_back(rows_[static_cast<std::size_t>(p)].input);
  return inputs;
}

void SortedInputList::Sort() {
  if (columns_.empty()) return;
  const auto c = static_cast<std::size_t>(sortColumn_);
  const bool byInput = columns_[c].byInput;
  // Stable, and ties keep input order, so equal names list in a fixed order both ways.
  auto less = [&](const Row& a, const Row& b) {
    if (byInput) return a.input < b.input;
    const int cmp = a.cells[c].compare(b.cells[c]);  // bytes, as unsigned chars
    if (cmp != 0) return cmp < 0;
    return a.input < b.input;
  };
  if (ascending_) {
    std::stable_sort(rows_.begin(), rows_.end(), less);
  } else {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](const Row& a, const Row& b) { return less(b, a); });
  }
}

}  // namespace zel::gui
