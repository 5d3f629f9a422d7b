#include "model/print_layout.h"

#include <cmath>
#include <cstdint>

#include "model/plot_view.h"

namespace zel::qplot {

PrintLayout ComputePrintLayout(int page_width_px, int page_height_px, int dpi_x, int dpi_y,
                               int channels_to_print) {
  PrintLayout l;
  if (page_width_px <= 0 || page_height_px <= 0 || dpi_x <= 0 || dpi_y <= 0) return l;
  l.factor = static_cast<double>(page_width_px) * 96.0 / (static_cast<double>(kPlotRight) * dpi_x);
  const int64_t scaled_dpi = static_cast<int64_t>(l.factor * dpi_y);
  if (scaled_dpi <= 0) return l;
  l.rowsPerPage =
      static_cast<int>(static_cast<int64_t>(page_height_px) * 96 / scaled_dpi / kRowHeight - 3);
  // A page too short for one row still prints one row per page rather than none.
  if (l.rowsPerPage < 1) l.rowsPerPage = 1;
  l.pages = channels_to_print <= 0 ? 0 : (channels_to_print + l.rowsPerPage - 1) / l.rowsPerPage;
  return l;
}

}  // namespace zel::qplot
