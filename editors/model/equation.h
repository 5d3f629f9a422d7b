// The "Edit Virtual Input Equation" table: one column per used source (slot order) and one
// for the virtual input itself, 2^k rows for k used sources (one row when none is used). Row r
// holds source j ON when bit j of r is set; the last column is bit r of the truth table.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "zel/setup_database.h"

namespace zel::editors {

class EquationTable {
 public:
  // sources: the four slots as input numbers, -1 for an unused slot.
  EquationTable(const SetupDatabase& db, int virt, const std::array<int, 4>& sources,
                int truthTable);

  std::vector<std::string> Headers() const;
  int RowCount() const { return 1 << static_cast<int>(used_.size()); }
  int ColumnCount() const { return static_cast<int>(used_.size()) + 1; }
  std::string Cell(int row, int column) const;
  // "ON" / "OFF": sets or clears the truth-table bit of every given row.
  void Set(const std::vector<int>& rows, bool on);
  int truthTable() const { return truth_; }

 private:
  std::string OnOff(int input, bool on) const;

  const SetupDatabase& db_;
  int self_;  // input number of the virtual input
  std::vector<int> used_;
  int truth_;
};

}  // namespace zel::editors
