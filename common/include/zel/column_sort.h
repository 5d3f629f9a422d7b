// The order of an input list whose column headers sort it (the report's and the plotters'
// input selection): the first click on a header sorts ascending by that column, each further
// click on the same header reverses the order. The sorted column's header reads "^Name" when
// ascending and "vName" when descending; the others show their plain names. A column sorts by
// the rows' input numbers or by its text compared byte by byte (case-sensitive); rows whose
// texts are equal stay in input number order in either direction (rows of one input number
// keep the order they had).
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// <0, 0 or >0 as `a` sorts before, with or after `b`, byte by byte as unsigned bytes.
int CompareBytes(std::string_view a, std::string_view b);

class ColumnSort {
 public:
  explicit ColumnSort(int column = 0) : column_(column) {}

  int column() const { return column_; }
  bool ascending() const { return ascending_; }

  // A click on the header of `column`.
  void Click(int column);
  // The header of `column` whose plain name is `name`.
  std::string HeaderText(int column, std::string_view name) const;

  // Puts `rows` in this order. `byInput` says whether the sorted column sorts by input number;
  // `input(row)` gives a row's input number and `text(row)` its text in the sorted column.
  template <typename Row, typename InputOf, typename TextOf>
  void Sort(std::vector<Row>& rows, bool byInput, InputOf input, TextOf text) const {
    const bool up = ascending_;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
      const int ia = input(a), ib = input(b);
      const int c = byInput ? 0 : CompareBytes(text(a), text(b));
      if (c != 0) return up ? c < 0 : c > 0;
      if (!byInput) return ia < ib;
      return up ? ia < ib : ia > ib;
    });
  }

 private:
  int column_ = 0;
  bool ascending_ = true;
};

}  // namespace zel
