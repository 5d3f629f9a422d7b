// The list pages of a setup editor over one in-memory setup database: columns, rows, cell
// texts, the edit form of the selected rows and how its values are written (single row or
// multi-edit). Widths are dialog units.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/edit_form.h"
#include "model/editor_family.h"
#include "zel/setup_database.h"

namespace zel::editors {

struct Column {
  std::string caption;
  int width;  // dialog units
};

class ListPage {
 public:
  ListPage(const EditorFamilyRow& editor, SetupDatabase& db) : editor_(editor), db_(db) {}
  virtual ~ListPage() = default;

  virtual std::string Title() const = 0;         // "Input Names"
  virtual std::string CloseCaption() const = 0;  // "Exit" or "OK"
  virtual std::vector<Column> Columns() const = 0;
  virtual int RowCount() const = 0;
  virtual std::string Cell(int row, int column) const = 0;

  // Long pages offer a filter box; a row stays visible when its identifier, name or ID
  // contains the text (ignoring case).
  virtual bool Filterable() const { return false; }
  std::vector<int> FilterRows(std::string_view text) const;

  // The edit dialog for the selected rows (one row: its values; several: multi-edit).
  virtual EditForm MakeForm(const std::vector<int>& rows) const = 0;
  // Writes the form to the rows in ascending order. Returns the messages to show ("Cannot
  // change Range for A08"); they do not stop the rest of the edit.
  virtual std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) = 0;

 protected:
  virtual std::vector<std::string> FilterKeys(int row) const;
  std::string InputId(int input) const;  // setup identifier of an input number
  // An input-number field value as an input number, -1 for none.
  int InputOrNone(SetupField field, int value, SetupMember member = SetupMember::kNone) const;

  const EditorFamilyRow& editor_;
  SetupDatabase& db_;
};

// The list page a button opens; nullptr for the form pages (System, Network, Peer Protocol).
std::unique_ptr<ListPage> MakeListPage(Page page, const EditorFamilyRow& editor, SetupDatabase& db);

// Row indexes in ascending order without repeats, only those inside 0..count-1.
std::vector<int> SortedRows(std::vector<int> rows, int count);

}  // namespace zel::editors
