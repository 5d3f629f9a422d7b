#include "plot_export.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include "gui/image_export.h"
#include "model/print_layout.h"
#include "plot_renderer.h"

namespace zel::qplot {

QImage RenderPlotImage(const EventData& data, const CZelQplotDoc& doc, const PlotView& view,
                       bool full_pass) {
  RenderOptions options;
  options.fullPass = full_pass;
  return gui::RenderImage(QSize(kScrollWidth, ScrollHeight()),
                          [&](QPainter& painter) { DrawPlot(painter, data, doc, view, options); });
}

bool ExportPlot(const std::string& path, const EventData& data, const CZelQplotDoc& doc,
                const PlotView& view, std::string* error) {
  return gui::ExportDrawing(
      path, QSize(kScrollWidth, ScrollHeight()), QStringLiteral("ZELQplot"),
      [&](QPainter& painter) { DrawPlot(painter, data, doc, view); }, error);
}

int PrintPlot(QPrinter& printer, const EventData& data, const CZelQplotDoc& doc,
              const PlotView& view) {
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const int dpi_x = printer.logicalDpiX();
  const int dpi_y = printer.logicalDpiY();
  const PrintLayout layout =
      ComputePrintLayout(page.width(), page.height(), dpi_x, dpi_y, doc.ChannelsToPrint());
  if (layout.pages <= 0) return 0;
  QPainter painter;
  if (!painter.begin(&printer)) return 0;
  for (int p = 0; p < layout.pages; ++p) {
    if (p > 0) printer.newPage();
    painter.save();
    // 1004 units span the printable width; the same factor on both axes.
    painter.scale(layout.factor * dpi_x / 96.0, layout.factor * dpi_y / 96.0);
    const int first = p * layout.rowsPerPage;
    const int rows = std::min(layout.rowsPerPage, doc.ChannelsToPrint() - first);
    DrawPrintPage(painter, data, doc, view, first, rows);
    painter.restore();
  }
  painter.end();
  return layout.pages;
}

}  // namespace zel::qplot
