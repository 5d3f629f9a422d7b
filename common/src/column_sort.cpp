#include "zel/column_sort.h"

#include <cstring>

namespace zel {

int CompareBytes(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void ColumnSort::Click(int column) {
  if (column == column_) {
    ascending_ = !ascending_;
  } else {
    column_ = column;
    ascending_ = true;
  }
}

std::string ColumnSort::HeaderText(int column, std::string_view name) const {
  if (column != column_) return std::string(name);
  return (ascending_ ? "^" : "v") + std::string(name);
}

}  // namespace zel
