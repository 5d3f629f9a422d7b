// How the plot goes onto paper: 1004 logical units span the printable width.
#pragma once

namespace zel::qplot {

struct PrintLayout {
  double factor = 1;    // f = page width px x 96 / (1004 x horizontal px per inch)
  int rowsPerPage = 0;  // (page height px x 96 / trunc(f x vertical px per inch)) / 15 - 3
  int pages = 0;        // ceil(channels to print / rows per page)
};

PrintLayout ComputePrintLayout(int page_width_px, int page_height_px, int dpi_x, int dpi_y,
                               int channels_to_print);

}  // namespace zel::qplot
