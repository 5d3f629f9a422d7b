// The input selection dialog of the report and the plotters: a prompt over a report-style list
// of inputs whose headers sort it ("^Input" / "vInput"), several rows selectable, OK and Cancel.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <vector>

#include "gui/model/sorted_input_list.h"

class QLabel;

namespace zel::gui {

class ReportListView;

class SortedInputListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit SortedInputListModel(SortedInputList& list, QObject* parent = nullptr)
      : QAbstractTableModel(parent), list_(list) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Sorts by the clicked column (see SortedInputList) and redraws.
  void ClickHeader(int column);

 private:
  SortedInputList& list_;
};

class InputSelectionDialog : public QDialog {
  Q_OBJECT
 public:
  // `list` must outlive the dialog.
  InputSelectionDialog(const QString& title, const QString& prompt, SortedInputList& list,
                       QWidget* parent = nullptr);
  // Input numbers of the selected rows, in display order.
  std::vector<int> SelectedInputs() const;
  // Selects the rows of these input numbers (for tests and for reopening with a choice).
  void SelectInputs(const std::vector<int>& inputs);
  ReportListView* view() const { return view_; }
  SortedInputListModel* model() const { return model_; }
  // A click on a column header, as the header itself does it.
  void ClickHeader(int column);

 private:
  SortedInputList& list_;
  SortedInputListModel* model_;
  ReportListView* view_;
};

}  // namespace zel::gui
