#include "plot_export.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#ifdef ZEL_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

#include "model/print_layout.h"
#include "plot_renderer.h"

namespace zel::qplot {

QImage RenderPlotImage(const EventData& data, const CZelQplotDoc& doc, const PlotView& view,
                       bool full_pass) {
  QImage image(kScrollWidth, ScrollHeight(), QImage::Format_RGB32);
  image.setDotsPerMeterX(3780);  // 96 dpi
  image.setDotsPerMeterY(3780);
  image.fill(Qt::white);
  QPainter painter(&image);
  RenderOptions options;
  options.fullPass = full_pass;
  DrawPlot(painter, data, doc, view, options);
  return image;
}

bool ExportPlot(const std::string& path, const EventData& data, const CZelQplotDoc& doc,
                const PlotView& view, std::string* error) {
  const QString file = QString::fromStdString(path);
  const QString ext = QFileInfo(file).suffix().toLower();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (ext == QLatin1String("png")) {
    if (!RenderPlotImage(data, doc, view).save(file, "PNG"))
      return fail("The image could not be written to \"" + path +
                  "\"; check that the folder exists and is writable.");
    return true;
  }
  if (ext == QLatin1String("svg")) {
#ifdef ZEL_HAVE_QT_SVG
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(kScrollWidth, ScrollHeight()));
    svg.setViewBox(QRect(0, 0, kScrollWidth, ScrollHeight()));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("ZELQplot"));
    QPainter painter;
    if (!painter.begin(&svg))
      return fail("The image could not be written to \"" + path +
                  "\"; check that the folder exists and is writable.");
    painter.fillRect(QRect(0, 0, kScrollWidth, ScrollHeight()), Qt::white);
    DrawPlot(painter, data, doc, view);
    painter.end();
    return true;
#else
    return fail("This build cannot write SVG images; export to PNG or PDF instead.");
#endif
  }
  if (ext == QLatin1String("pdf")) {
    QPdfWriter pdf(file);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(kScrollWidth * 72.0 / 96.0, ScrollHeight() * 72.0 / 96.0),
                              QPageSize::Point, QStringLiteral("Plot"), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&pdf))
      return fail("The image could not be written to \"" + path +
                  "\"; check that the folder exists and is writable.");
    painter.fillRect(QRect(0, 0, kScrollWidth, ScrollHeight()), Qt::white);
    DrawPlot(painter, data, doc, view);
    painter.end();
    return true;
  }
  return fail("\"" + path + "\" has no known image type: name the file with .png, .svg or .pdf.");
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
