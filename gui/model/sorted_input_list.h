// A list of inputs shown in columns whose headers sort it (zel::ColumnSort, the order the
// report's input selection keeps too): the first click on a header sorts ascending by that
// column, each further click on the same header reverses the order; the sorted column's header
// reads "^Name" or "vName". One column may sort by input number instead of its text; text
// columns compare byte by byte (case-sensitive), equal texts in input number order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zel/column_sort.h"

namespace zel::gui {

class SortedInputList {
 public:
  struct Column {
    std::string name;      // header without its sort mark
    int width = 0;         // pixels
    bool byInput = false;  // sorts by the rows' input numbers rather than the cell text
  };
  struct Row {
    int input = 0;
    std::vector<std::string> cells;  // one per column
  };

  // Opens sorted by `sort_column`, ascending.
  SortedInputList(std::vector<Column> columns, std::vector<Row> rows, int sort_column = 0);

  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::vector<Column>& columns() const { return columns_; }
  const std::vector<Row>& rows() const { return rows_; }
  // Cell text at a display position; empty outside the list.
  std::string Cell(int row, int column) const;

  std::string HeaderText(int column) const;
  void ClickHeader(int column);
  int SortColumn() const { return sort_.column(); }
  bool Ascending() const { return sort_.ascending(); }

  // Input numbers of the rows at the given display positions (others ignored), in that order.
  std::vector<int> InputsOfRows(const std::vector<int>& positions) const;

 private:
  void Sort();

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  ColumnSort sort_;
};

}  // namespace zel::gui
