#include "plot_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel::qplot {
namespace {

QStringList Cells(const std::string& line) {
  return QString::fromStdString(line).split(QLatin1Char('\t'));
}

QTreeWidget* NewList(const QStringList& headers, const QString& name, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setColumnCount(static_cast<int>(headers.size()));
  list->setHeaderLabels(headers);
  list->setAccessibleName(name);
  list->setAllColumnsShowFocus(true);
  return list;
}

}  // namespace

// --- Function ---

CFunctionDialog::CFunctionDialog(const CVequation& eq, QWidget* parent) : QDialog(parent), eq_(eq) {
  setWindowTitle(QStringLiteral("Function"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(QStringLiteral("&Combinations"), this);
  list_ = NewList({QStringLiteral("In1"), QStringLiteral("In2"), QStringLiteral("In3"),
                   QStringLiteral("In4"), QStringLiteral("Output")},
                  QStringLiteral("Combinations"), this);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->header()->setSectionResizeMode(QHeaderView::Stretch);
  caption->setBuddy(list_);
  layout->addWidget(caption);
  layout->addWidget(list_);
  auto* row = new QHBoxLayout;
  auto* on = new QPushButton(QStringLiteral("ON"), this);
  auto* off = new QPushButton(QStringLiteral("OFF"), this);
  connect(on, &QPushButton::clicked, this, [this] { SetSelectedOutputs(true); });
  connect(off, &QPushButton::clicked, this, [this] { SetSelectedOutputs(false); });
  row->addWidget(on);
  row->addWidget(off);
  row->addStretch();
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  Fill();
  resize(380, 360);
}

void CFunctionDialog::Fill() {
  const auto rows = FunctionRows(eq_);
  for (size_t r = 0; r < rows.size(); ++r) {
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(r));
    if (!item) item = new QTreeWidgetItem(list_);
    for (int k = 0; k < kEquationInputs; ++k)
      item->setText(k, QString::fromStdString(rows[r].inputs[static_cast<size_t>(k)]));
    item->setText(kEquationInputs, QString::fromStdString(rows[r].output));
  }
}

void CFunctionDialog::SelectRows(const std::vector<int>& rows) {
  list_->clearSelection();
  for (int r : rows)
    if (QTreeWidgetItem* item = list_->topLevelItem(r)) item->setSelected(true);
}

void CFunctionDialog::SetSelectedOutputs(bool on) {
  std::vector<int> rows;
  for (QTreeWidgetItem* item : list_->selectedItems())
    rows.push_back(list_->indexOfTopLevelItem(item));
  SetFunctionOutputs(eq_, rows, on);
  Fill();
}

// --- Equation ---

CEquationDialog::CEquationDialog(const EventData& data, const CVequation& eq, gui::DialogRunner run,
                                 QWidget* parent)
    : QDialog(parent), eq_(eq), run_(std::move(run)), choices_(EquationChoices(data)) {
  setWindowTitle(QStringLiteral("Equation"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int k = 0; k < kEquationInputs; ++k) {
    auto* combo = new gui::InputCombo(this);
    combo->SetEntries(choices_.entries(), choices_.EntryOf(eq.in[static_cast<size_t>(k)]));
    combo->setAccessibleName(QStringLiteral("In%1").arg(k + 1));
    auto* label = new QLabel(QStringLiteral("In&%1").arg(k + 1), this);
    label->setBuddy(combo);
    form->addRow(label, combo);
    inputs_[static_cast<size_t>(k)] = combo;
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* function =
      buttons->addButton(QStringLiteral("&Function..."), QDialogButtonBox::ActionRole);
  connect(function, &QPushButton::clicked, this, &CEquationDialog::Function);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(420, 180);
}

CVequation CEquationDialog::equation() const {
  CVequation eq = eq_;
  for (size_t k = 0; k < kEquationInputs; ++k)
    eq.in[k] = choices_.InputOf(inputs_[k]->currentIndex()).value_or(kNoInput);
  return eq;
}

void CEquationDialog::Function() {
  CFunctionDialog dialog(equation(), this);
  if (run_(dialog) == QDialog::Accepted) eq_.table = dialog.equation().table;
}

// --- Equations ---

CEquationsDialog::CEquationsDialog(const EventData& data, CZelQplotDoc& doc, gui::DialogRunner run,
                                   QWidget* parent)
    : QDialog(parent), data_(data), doc_(doc), run_(std::move(run)) {
  setWindowTitle(QStringLiteral("Equations"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(QStringLiteral("E&quations"), this);
  list_ = NewList({QStringLiteral("Equation"), QStringLiteral("In1"), QStringLiteral("In2"),
                   QStringLiteral("In3"), QStringLiteral("In4")},
                  QStringLiteral("Equations"), this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->header()->setSectionResizeMode(QHeaderView::Stretch);
  caption->setBuddy(list_);
  for (int e = 0; e < kEquationCount; ++e) {
    new QTreeWidgetItem(list_);
    Refresh(e);
  }
  list_->setCurrentItem(list_->topLevelItem(0));
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { Edit(list_->indexOfTopLevelItem(item)); });
  layout->addWidget(caption);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* edit = buttons->addButton(QStringLiteral("&Edit"), QDialogButtonBox::ActionRole);
  QPushButton* exit = buttons->addButton(QStringLiteral("E&xit"), QDialogButtonBox::AcceptRole);
  connect(edit, &QPushButton::clicked, this, [this] {
    if (QTreeWidgetItem* item = list_->currentItem()) Edit(list_->indexOfTopLevelItem(item));
  });
  connect(exit, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(420, 300);
}

void CEquationsDialog::Refresh(int row) {
  QTreeWidgetItem* item = list_->topLevelItem(row);
  const auto cells = EquationRow(data_, doc_.Equation(row), row);
  for (size_t k = 0; k < cells.size(); ++k)
    item->setText(static_cast<int>(k), QString::fromStdString(cells[k]));
}

void CEquationsDialog::Edit(int row) {
  if (row < 0 || row >= kEquationCount) return;
  CEquationDialog dialog(data_, doc_.Equation(row), run_, this);
  if (run_(dialog) != QDialog::Accepted) return;
  doc_.SetEquation(row, dialog.equation());
  Refresh(row);
}

// --- Details ---

CDetailsDialog::CDetailsDialog(const QString& title, const std::vector<Section>& sections,
                               QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  for (const Section& s : sections) {
    int columns = 1;
    for (const std::string& line : s.lines)
      columns = std::max(columns, static_cast<int>(Cells(line).size()));
    QStringList headers = s.heading.empty() ? QStringList() : Cells(s.heading);
    columns = std::max(columns, static_cast<int>(headers.size()));
    while (headers.size() < columns) headers << QString();
    const QString name = s.caption.isEmpty() ? title : QString(s.caption).remove(QLatin1Char('&'));
    QTreeWidget* list = NewList(headers, name, this);
    list->setHeaderHidden(s.heading.empty());
    for (const std::string& line : s.lines) {
      const QStringList cells = Cells(line);
      auto* item = new QTreeWidgetItem(list, cells);
      item->setData(0, Qt::UserRole, static_cast<int>(cells.size()));
    }
    for (int c = 0; c < columns; ++c) list->resizeColumnToContents(c);
    if (!s.caption.isEmpty()) {
      auto* caption = new QLabel(s.caption, this);
      caption->setBuddy(list);
      layout->addWidget(caption);
    }
    layout->addWidget(list);
    lists_.push_back(list);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(460, sections.size() > 1 ? 460 : 300);
}

std::vector<std::string> CDetailsDialog::Lines(int section) const {
  std::vector<std::string> out;
  QTreeWidget* list = lists_.at(static_cast<size_t>(section));
  for (int r = 0; r < list->topLevelItemCount(); ++r) {
    QStringList cells;
    QTreeWidgetItem* item = list->topLevelItem(r);
    const int count = item->data(0, Qt::UserRole).toInt();
    for (int c = 0; c < count; ++c) cells << item->text(c);
    out.push_back(cells.join(QLatin1Char('\t')).toStdString());
  }
  return out;
}

}  // namespace zel::qplot
