#include "gui/image_export.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#ifdef ZEL_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

namespace zel::gui {

QImage RenderImage(QSize size, const std::function<void(QPainter&)>& draw) {
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(3780);  // 96 dpi
  image.setDotsPerMeterY(3780);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    draw(painter);
  }  // the painter ends before the image is handed on
  return image;
}

bool ExportDrawing(const std::string& path, QSize size, const QString& title,
                   const std::function<void(QPainter&)>& draw, std::string* error) {
  const QString file = QString::fromStdString(path);
  const QString ext = QFileInfo(file).suffix().toLower();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const std::string not_written = "The image could not be written to \"" + path +
                                  "\"; check that the folder exists and is writable.";
  const QRect area(QPoint(0, 0), size);
  if (ext == QLatin1String("png")) {
    const QImage image = RenderImage(size, draw);
    if (!image.save(file, "PNG")) return fail(not_written);
    return true;
  }
  if (ext == QLatin1String("svg")) {
#ifdef ZEL_HAVE_QT_SVG
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(size);
    svg.setViewBox(area);
    svg.setResolution(96);
    svg.setTitle(title);
    QPainter painter;
    if (!painter.begin(&svg)) return fail(not_written);
    painter.fillRect(area, Qt::white);
    draw(painter);
    painter.end();
    return true;
#else
    return fail("This build cannot write SVG images; export to PNG or PDF instead.");
#endif
  }
  if (ext == QLatin1String("pdf")) {
    QPdfWriter pdf(file);
    pdf.setResolution(96);
    pdf.setTitle(title);
    pdf.setPageSize(QPageSize(QSizeF(size.width() * 72.0 / 96.0, size.height() * 72.0 / 96.0),
                              QPageSize::Point, QStringLiteral("Plot"), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&pdf)) return fail(not_written);
    painter.fillRect(area, Qt::white);
    draw(painter);
    painter.end();
    return true;
  }
  return fail("\"" + path + "\" has no known image type: name the file with .png, .svg or .pdf.");
}

}  // namespace zel::gui
