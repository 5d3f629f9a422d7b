#include "report_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

namespace zel::gui {

ReportListView::ReportListView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(false);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // The selection stays as visible without the focus as with it.
  QPalette p = palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight,
             p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(p);
}

void ReportListView::SetColumnWidths(const std::vector<int>& widths) {
  for (std::size_t i = 0; i < widths.size(); ++i) setColumnWidth(static_cast<int>(i), widths[i]);
}

void ReportListView::SetSingleSelection(bool single) {
  setSelectionMode(single ? QAbstractItemView::SingleSelection
                          : QAbstractItemView::ExtendedSelection);
}

std::vector<int> ReportListView::SelectedRows() const {
  std::vector<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ReportListView::SelectRows(const std::vector<bool>& rows) {
  if (!selectionModel() || !model()) return;
  QItemSelection sel;
  const int columns = model()->columnCount();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r] || static_cast<int>(r) >= model()->rowCount()) continue;
    sel.select(model()->index(static_cast<int>(r), 0),
               model()->index(static_cast<int>(r), std::max(0, columns - 1)));
  }
  selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

}  // namespace zel::gui
