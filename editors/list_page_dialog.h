// A list page of the editor (Event Names, Input Names, ...): the page's rows in a model/view
// table (no widget per row), "Edit" and the close button, the context menu "Edit", and on the
// long pages a filter box that narrows the rows.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <vector>

#include "dialog_runner.h"
#include "model/pages.h"
#include "zel/platform/prompter.h"

class QLineEdit;
class QTableView;

namespace zel::editors {

class PageTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PageTableModel(ListPage& page, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetFilter(const QString& text);
  // The page row shown in a table row.
  int PageRow(int tableRow) const { return visible_[static_cast<std::size_t>(tableRow)]; }
  void Refresh();

 private:
  ListPage& page_;
  std::vector<Column> columns_;
  std::vector<int> visible_;
};

class ListPageDialog : public QDialog {
  Q_OBJECT
 public:
  ListPageDialog(ListPage& page, SetupDatabase& db, platform::Prompter& prompter,
                 const QString& messageCaption, DialogRunner runner, QWidget* parent = nullptr);

  QTableView* table() const { return table_; }
  QLineEdit* filterBox() const { return filter_; }
  PageTableModel* tableModel() const { return model_; }
  // The selected page rows, ascending (only rows the filter shows can be selected).
  std::vector<int> SelectedRows() const;
  void SelectRows(const std::vector<int>& tableRows);
  // "Edit": the edit dialog for the selected rows; true when its values were written.
  bool EditSelected();

 private:
  void EditEquation(class FormDialog& dialog, struct FormField& field, int virt);

  ListPage& page_;
  SetupDatabase& db_;
  platform::Prompter& prompter_;
  QString messageCaption_;
  DialogRunner runner_;
  PageTableModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QLineEdit* filter_ = nullptr;
};

}  // namespace zel::editors
