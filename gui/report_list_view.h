// A list in the report style of the station's windows: rows of cells under fixed-width column
// headers, whole rows selected, several rows at once (click, Ctrl+click, Shift+click), the
// selection still visible when the list has no focus, and headers that do not sort unless the
// owner handles header clicks itself.
#pragma once

#include <QTableView>
#include <vector>

namespace zel::gui {

class ReportListView : public QTableView {
  Q_OBJECT
 public:
  explicit ReportListView(QWidget* parent = nullptr);
  // Widths of the columns in pixels, in order; set after the model.
  void SetColumnWidths(const std::vector<int>& widths);
  // One row at a time instead of several.
  void SetSingleSelection(bool single);
  // Rows of the selection, ascending.
  std::vector<int> SelectedRows() const;
  // Selects exactly the rows marked true.
  void SelectRows(const std::vector<bool>& rows);
};

}  // namespace zel::gui
