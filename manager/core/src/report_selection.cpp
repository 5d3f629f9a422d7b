// Rows and sorting of the report's input selection dialog.
#include "zel/core/report_selection.h"

#include <algorithm>
#include <cstring>

#include "zel/identifiers.h"

namespace zel::core {
namespace {

constexpr int kDigitalPerModule = 256;
constexpr int kModules = 16;

// Byte-by-byte, case-sensitive comparison of texts.
int CompareBytes(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

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
  const std::string title = kTitles[static_cast<int>(column)];
  if (column != sortColumn_) return title;
  return (ascending_ ? "^" : "v") + title;
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
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    sortColumn_ = column;
    ascending_ = true;
  }
  Sort();
}

void ReportSelection::Sort() {
  const SelectionColumn column = sortColumn_;
  const bool ascending = ascending_;
  // Equal texts keep input number order in either direction.
  std::sort(rows_.begin(), rows_.end(),
            [column, ascending](const SelectionRow& a, const SelectionRow& b) {
              int c = 0;
              if (column == SelectionColumn::kName) {
                c = CompareBytes(a.name, b.name);
              } else if (column == SelectionColumn::kId) {
                c = CompareBytes(a.id, b.id);
              }
              if (c == 0) {
                if (column != SelectionColumn::kInput) return a.input < b.input;
                c = a.input < b.input ? -1 : a.input > b.input ? 1 : 0;
              }
              return ascending ? c < 0 : c > 0;
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
