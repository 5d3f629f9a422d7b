#include "equation_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace zel::editors {

EquationDialog::EquationDialog(EquationTable table, QWidget* parent)
    : QDialog(parent), table_(std::move(table)) {
  setWindowTitle(QStringLiteral("Edit Virtual Input Equation"));
  auto* layout = new QVBoxLayout(this);
  grid_ = new QTableWidget(table_.RowCount(), table_.ColumnCount(), this);
  grid_->setObjectName(QStringLiteral("equation"));
  grid_->setAccessibleName(QStringLiteral("Equation"));
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->setVisible(false);
  QStringList headers;
  for (const std::string& h : table_.Headers()) headers << QString::fromStdString(h);
  grid_->setHorizontalHeaderLabels(headers);
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(grid_, 1);
  auto* row = new QHBoxLayout;
  auto* on = new QPushButton(QStringLiteral("ON"), this);
  auto* off = new QPushButton(QStringLiteral("OFF"), this);
  row->addWidget(on);
  row->addWidget(off);
  row->addStretch(1);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(on, &QPushButton::clicked, this, [this] { SetSelected(true); });
  connect(off, &QPushButton::clicked, this, [this] { SetSelected(false); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(grid_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* a = menu.addAction(QStringLiteral("ON"));
    QAction* b = menu.addAction(QStringLiteral("OFF"));
    QAction* chosen = menu.exec(grid_->viewport()->mapToGlobal(at));
    if (chosen == a) SetSelected(true);
    if (chosen == b) SetSelected(false);
  });
  Fill();
  // Wide enough for every column: names of up to 12 characters per source.
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->resizeColumnsToContents();
  int width = 2 * grid_->frameWidth() + 4;
  for (int c = 0; c < grid_->columnCount(); ++c) {
    grid_->setColumnWidth(c, std::max(grid_->columnWidth(c), grid_->fontMetrics().horizontalAdvance(
                                                                 QStringLiteral("MMMMMMMM"))));
    width += grid_->columnWidth(c);
  }
  grid_->setMinimumWidth(std::min(width + grid_->verticalScrollBar()->sizeHint().width(), 900));
}

void EquationDialog::Fill() {
  for (int r = 0; r < table_.RowCount(); ++r) {
    for (int c = 0; c < table_.ColumnCount(); ++c) {
      QTableWidgetItem* item = grid_->item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        grid_->setItem(r, c, item);
      }
      item->setText(QString::fromStdString(table_.Cell(r, c)));
    }
  }
}

void EquationDialog::SetSelected(bool on) {
  std::vector<int> rows;
  for (const QModelIndex& index : grid_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  table_.Set(rows, on);
  Fill();
}

}  // namespace zel::editors
