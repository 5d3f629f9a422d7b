#include "gui/model/sorted_input_list.h"

#include <utility>

namespace zel::gui {

SortedInputList::SortedInputList(std::vector<Column> columns, std::vector<Row> rows,
                                 int sort_column)
    : columns_(std::move(columns)),
      rows_(std::move(rows)),
      sort_(sort_column >= 0 && sort_column < static_cast<int>(columns_.size()) ? sort_column : 0) {
  for (Row& r : rows_) r.cells.resize(columns_.size());
  Sort();
}

std::string SortedInputList::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return {};
  return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

std::string SortedInputList::HeaderText(int column) const {
  if (column < 0 || column >= ColumnCount()) return {};
  return sort_.HeaderText(column, columns_[static_cast<std::size_t>(column)].name);
}

void SortedInputList::ClickHeader(int column) {
  if (column < 0 || column >= ColumnCount()) return;
  sort_.Click(column);
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
  const auto c = static_cast<std::size_t>(sort_.column());
  sort_.Sort(
      rows_, columns_[c].byInput, [](const Row& r) { return r.input; },
      [c](const Row& r) -> const std::string& { return r.cells[c]; });
}

}  // namespace zel::gui
