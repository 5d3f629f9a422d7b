// "Edit Virtual Input Equation": the truth table of one virtual input as rows of ON/OFF event
// names; "ON" and "OFF" (buttons and context menu) set or clear the selected rows.
#pragma once

#include <QDialog>

#include "model/equation.h"

class QTableWidget;

namespace zel::editors {

class EquationDialog : public QDialog {
  Q_OBJECT
 public:
  EquationDialog(EquationTable table, QWidget* parent = nullptr);
  const EquationTable& table() const { return table_; }
  QTableWidget* grid() const { return grid_; }
  void SetSelected(bool on);

 private:
  void Fill();
  EquationTable table_;
  QTableWidget* grid_ = nullptr;
};

}  // namespace zel::editors
