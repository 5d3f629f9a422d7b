#include "input_selection_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "report_list_view.h"

namespace zel::gui {

int SortedInputListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.RowCount();
}

int SortedInputListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.ColumnCount();
}

QVariant SortedInputListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  return QString::fromStdString(list_.Cell(index.row(), index.column()));
}

QVariant SortedInputListModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return QString::fromStdString(list_.HeaderText(section));
}

void SortedInputListModel::ClickHeader(int column) {
  beginResetModel();
  list_.ClickHeader(column);
  endResetModel();
}

InputSelectionDialog::InputSelectionDialog(const QString& title, const QString& prompt,
                                           SortedInputList& list, QWidget* parent)
    : QDialog(parent), list_(list) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(prompt, this);
  label->setWordWrap(true);
  layout->addWidget(label);
  model_ = new SortedInputListModel(list_, this);
  view_ = new ReportListView(this);
  view_->setModel(model_);
  view_->setAccessibleName(prompt);
  label->setBuddy(view_);
  std::vector<int> widths;
  int total = 0;
  for (const auto& c : list_.columns()) {
    widths.push_back(c.width);
    total += c.width;
  }
  view_->SetColumnWidths(widths);
  view_->horizontalHeader()->setSectionsClickable(true);
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &InputSelectionDialog::ClickHeader);
  view_->setMinimumSize(total + 24, 300);
  layout->addWidget(view_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void InputSelectionDialog::ClickHeader(int column) {
  // The selection follows its inputs to their new rows.
  const std::vector<int> selected = SelectedInputs();
  model_->ClickHeader(column);
  SelectInputs(selected);
}

std::vector<int> InputSelectionDialog::SelectedInputs() const {
  return list_.InputsOfRows(view_->SelectedRows());
}

void InputSelectionDialog::SelectInputs(const std::vector<int>& inputs) {
  std::vector<bool> rows(static_cast<std::size_t>(list_.RowCount()), false);
  for (int r = 0; r < list_.RowCount(); ++r) {
    const int input = list_.rows()[static_cast<std::size_t>(r)].input;
    rows[static_cast<std::size_t>(r)] =
        std::find(inputs.begin(), inputs.end(), input) != inputs.end();
  }
  view_->SelectRows(rows);
}

}  // namespace zel::gui
