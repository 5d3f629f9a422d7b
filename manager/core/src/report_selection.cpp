// Rows and sorting of the report's input selection dialog.
#include "zel/core/report_selection.h"

#include "zel/identifiers.h"

namespace zel::core {
namespace {

constexpr int kDigitalPerModule = 256;
constexpr int kModules = 16;

}  // namespace

ReportSelection::ReportSelection(RecorderType type, const SetupDatabase& setup) {
  ReportNaming naming(type, setup);
  const ReportModel* model = naming.model();
  if (model == nullptr || !setup.valid()) return;
  const bool modular = model->analogPerUnit > 0;
  const int firstAnalog = FirstAnalogInput(type);
  rows_.reserve(static_cast<std::size_t>(model->selectionRows));
  for (int n = 0; n < model->selectionRows; ++n) {
    std::string name = naming.Name(n);
    if (modular) {
      // Inputs of absent input modules and unnamed numbers are not offered.
      if (name == "Invalid input number") continue;
      int module = -1;
      if (n < kDigitalPerModule * kModules) {
        module = n / kDigitalPerModule;
      } else if (n >= firstAnalog && n < firstAnalog + model->analogPerUnit * kModules) {
        module = (n - firstAnalog) / model->analogPerUnit;
      }
      if (module >= 0 && !setup.ModulePresent(module)) continue;
    }
    rows_.push_back(SelectionRow{n, naming.Identifier(n), std::move(name), naming.Id(n)});
  }
}

std::string ReportSelection::HeaderText(SelectionColumn column) const {
  static constexpr const char* kTitles[kColumnCount] = {"Input", "Name", "ID"};
  return sort_.HeaderText(static_cast<int>(column), kTitles[static_cast<int>(column)]);
}

int ReportSelection::ColumnWidth(SelectionColumn column) {
  switch (column) {
    case SelectionColumn::kInput:
      return 50;
    case SelectionColumn::kName:
      return 300;
    case SelectionColumn::kId:
      return 145;
  }
  return 0;
}

void ReportSelection::ClickHeader(SelectionColumn column) {
  sort_.Click(static_cast<int>(column));
  Sort();
}

void ReportSelection::Sort() {
  const SelectionColumn column = SortColumn();
  sort_.Sort(
      rows_, column == SelectionColumn::kInput, [](const SelectionRow& r) { return r.input; },
      [column](const SelectionRow& r) -> const std::string& {
        return column == SelectionColumn::kId ? r.id : r.name;
      });
}

std::vector<int> ReportSelection::InputsOfRows(const std::vector<int>& positions) const {
  std::vector<int> inputs;
  for (int pos : positions) {
    if (pos >= 0 && pos < RowCount()) inputs.push_back(rows_[static_cast<std::size_t>(pos)].input);
  }
  return inputs;
}

InputFilter ReportSelection::FilterFor(const std::vector<int>& selectedInputs) {
  if (selectedInputs.empty()) return InputFilter();
  return InputFilter::Only(selectedInputs);
}

}  // namespace zel::core
