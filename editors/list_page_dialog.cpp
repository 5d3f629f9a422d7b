#include "list_page_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "equation_dialog.h"
#include "form_dialog.h"
#include "gui/model/input_choices.h"

namespace zel::editors {

PageTableModel::PageTableModel(ListPage& page, QObject* parent)
    : QAbstractTableModel(parent), page_(page), columns_(page.Columns()) {
  visible_ = page_.FilterRows({});
}

int PageTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int PageTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant PageTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
  return QString::fromStdString(page_.Cell(PageRow(index.row()), index.column()));
}

QVariant PageTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return {};
  if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
  return QString::fromStdString(columns_[static_cast<std::size_t>(section)].caption);
}

void PageTableModel::SetFilter(const QString& text) {
  beginResetModel();
  visible_ = page_.FilterRows(text.toStdString());
  endResetModel();
}

void PageTableModel::Refresh() {
  if (visible_.empty()) return;
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

ListPageDialog::ListPageDialog(ListPage& page, SetupDatabase& db, platform::Prompter& prompter,
                               const QString& messageCaption, DialogRunner runner, QWidget* parent)
    : QDialog(parent),
      page_(page),
      db_(db),
      prompter_(prompter),
      messageCaption_(messageCaption),
      runner_(std::move(runner)) {
  setWindowTitle(QString::fromStdString(page.Title()));
  auto* layout = new QVBoxLayout(this);
  if (page.Filterable()) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Filter:"), this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setPlaceholderText(QStringLiteral("identifier or name"));
    filter_->setClearButtonEnabled(true);
    label->setBuddy(filter_);
    row->addWidget(label);
    row->addWidget(filter_, 1);
    layout->addLayout(row);
  }
  model_ = new PageTableModel(page, this);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("rows"));
  table_->setAccessibleName(QString::fromStdString(page.Title()));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  table_->setWordWrap(false);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  int width = 0;
  const std::vector<Column> columns = page.Columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int px = DialogUnitsToPixels(*table_, columns[c].width);
    table_->setColumnWidth(static_cast<int>(c), px);
    width += px;
  }
  table_->setMinimumWidth(std::min(width + 24, 900));
  layout->addWidget(table_, 1);

  auto* buttons = new QHBoxLayout;
  auto* edit = new QPushButton(QStringLiteral("Edit"), this);
  auto* close = new QPushButton(QString::fromStdString(page.CloseCaption()), this);
  close->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(edit);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(edit, &QPushButton::clicked, this, [this] { EditSelected(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(table_, &QTableView::doubleClicked, this, [this] { EditSelected(); });
  connect(table_, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* action = menu.addAction(QStringLiteral("Edit"));
    if (menu.exec(table_->viewport()->mapToGlobal(at)) == action) EditSelected();
  });
  if (filter_ != nullptr) {
    connect(filter_, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_->SetFilter(text); });
  }
  resize(std::min(width + 60, 960), 480);
}

std::vector<int> ListPageDialog::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    rows.push_back(model_->PageRow(index.row()));
  }
  return SortedRows(std::move(rows), page_.RowCount());
}

void ListPageDialog::SelectRows(const std::vector<int>& tableRows) {
  QItemSelection selection;
  for (int r : tableRows) {
    selection.select(model_->index(r, 0), model_->index(r, model_->columnCount() - 1));
  }
  table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void ListPageDialog::EditEquation(FormDialog& dialog, FormField& field, int virt) {
  std::array<int, 4> sources{};
  const gui::InputChoices choices(db_, 0, db_.NameCount(), gui::kNoneEntry, false);
  for (int slot = 0; slot < 4; ++slot) {
    const FormField* in = dialog.form().Find("in" + std::to_string(slot + 1));
    sources[static_cast<std::size_t>(slot)] = in ? choices.InputOf(in->index).value_or(-1) : -1;
  }
  EquationDialog equation(EquationTable(db_, virt, sources, std::stoi(field.text)), &dialog);
  if (RunDialog(runner_, equation) == QDialog::Accepted) {
    field.text = std::to_string(equation.table().truthTable());
  }
}

bool ListPageDialog::EditSelected() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  FormDialog dialog(page_.MakeForm(rows), prompter_, this);
  if (rows.size() == 1) {
    const int virt = rows[0];
    dialog.onButton = [this, virt](FormDialog& d, FormField& f) { EditEquation(d, f, virt); };
  }
  if (RunDialog(runner_, dialog) != QDialog::Accepted) return false;
  for (const std::string& message : page_.Apply(rows, dialog.form())) {
    prompter_.Show(messageCaption_.toStdString(), message);
  }
  model_->Refresh();
  return true;
}

}  // namespace zel::editors
