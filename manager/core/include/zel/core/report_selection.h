// The report's input selection dialog as a plain class: its rows, the sorting by column and the
// header texts. The dialog window only shows it.
#pragma once

#include <string>
#include <vector>

#include "zel/column_sort.h"
#include "zel/core/report.h"
#include "zel/setup_database.h"

namespace zel::core {

enum class SelectionColumn { kInput = 0, kName = 1, kId = 2 };

struct SelectionRow {
  int input = 0;           // input number the row stands for
  std::string identifier;  // "Input" column: the setup identifier
  std::string name;        // "Name" column
  std::string id;          // "ID" column
};

class ReportSelection {
 public:
  static constexpr const char* kPrompt =
      "Select inputs to include in report. Select none to include ALL inputs.";
  static constexpr int kColumnCount = 3;

  // Rows of the model's inputs, sorted by input number ascending. An unknown model or one
  // without a report writer gives no rows.
  ReportSelection(RecorderType type, const SetupDatabase& setup);

  const std::vector<SelectionRow>& rows() const { return rows_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }

  // Column header text: "^Input" / "vInput" on the sorted column, "Input" elsewhere.
  std::string HeaderText(SelectionColumn column) const;
  // Column width in pixels (50, 300, 145).
  static int ColumnWidth(SelectionColumn column);

  // A click on a column header: ascending on the first click of a column, reversed on every
  // further click of the same column.
  void ClickHeader(SelectionColumn column);
  SelectionColumn SortColumn() const { return static_cast<SelectionColumn>(sort_.column()); }
  bool Ascending() const { return sort_.ascending(); }

  // Input numbers of the rows at the given display positions (positions outside the list are
  // ignored), in the order given.
  std::vector<int> InputsOfRows(const std::vector<int>& positions) const;

  // The filter the dialog's OK gives: only the selected inputs, or every input when none is
  // selected.
  static InputFilter FilterFor(const std::vector<int>& selectedInputs);

 private:
  void Sort();

  std::vector<SelectionRow> rows_;
  // The same order as the windows' input lists (gui::SortedInputList).
  ColumnSort sort_{static_cast<int>(SelectionColumn::kInput)};
};

}  // namespace zel::core
