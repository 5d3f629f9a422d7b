// The plotter's dialogs over the template and the loaded data: Equations (the eight virtual
// equations), Equation (four input lists and Function...), Function (the truth table by
// combination), and the Event Details and Input Details lists. Nested dialogs are shown through
// the runner the caller passes, so tests drive every level.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QTreeWidget>
#include <array>
#include <string>
#include <vector>

#include "gui/dialog_runner.h"
#include "gui/input_combo.h"
#include "gui/model/input_choices.h"
#include "model/details.h"
#include "model/event_data.h"
#include "model/plot_document.h"

namespace zel::qplot {

class CFunctionDialog : public QDialog {
  Q_OBJECT
 public:
  CFunctionDialog(const CVequation& eq, QWidget* parent = nullptr);

  QTreeWidget* list() const { return list_; }
  // The table as edited (Cancel leaves the caller's copy untouched).
  const CVequation& equation() const { return eq_; }
  void SelectRows(const std::vector<int>& rows);
  // The "ON" and "OFF" buttons: the output of every selected row becomes 1 or 0.
  void SetSelectedOutputs(bool on);

 private:
  void Fill();
  CVequation eq_;
  QTreeWidget* list_ = nullptr;
};

class CEquationDialog : public QDialog {
  Q_OBJECT
 public:
  CEquationDialog(const EventData& data, const CVequation& eq, gui::DialogRunner run,
                  QWidget* parent = nullptr);

  gui::InputCombo* input(int k) const { return inputs_.at(static_cast<size_t>(k)); }
  // Function...: the Function dialog over the current choices and the table.
  void Function();
  // The four chosen inputs and the table.
  CVequation equation() const;

 private:
  CVequation eq_;
  gui::DialogRunner run_;
  gui::InputChoices choices_;
  std::array<gui::InputCombo*, kEquationInputs> inputs_{};
};

class CEquationsDialog : public QDialog {
  Q_OBJECT
 public:
  CEquationsDialog(const EventData& data, CZelQplotDoc& doc, gui::DialogRunner run,
                   QWidget* parent = nullptr);

  QTreeWidget* list() const { return list_; }
  // Edit (or a double click): the Equation dialog on a row; OK writes the equation back.
  void Edit(int row);

 private:
  void Refresh(int row);
  const EventData& data_;
  CZelQplotDoc& doc_;
  gui::DialogRunner run_;
  QTreeWidget* list_ = nullptr;
};

// A titled dialog of captioned lists, each line's tab-separated cells in columns. A section
// with a heading shows it as the list's column titles.
class CDetailsDialog : public QDialog {
  Q_OBJECT
 public:
  struct Section {
    QString caption;  // empty: no caption
    std::vector<std::string> lines;
    std::string heading;  // tab-separated column titles; empty: none shown
  };
  CDetailsDialog(const QString& title, const std::vector<Section>& sections,
                 QWidget* parent = nullptr);

  QTreeWidget* list(int section) const { return lists_.at(static_cast<size_t>(section)); }
  // The text of one list as shown: rows of cells joined by tabs.
  std::vector<std::string> Lines(int section) const;

 private:
  std::vector<QTreeWidget*> lists_;
};

}  // namespace zel::qplot
