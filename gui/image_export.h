// Writes a drawing as an image file, PNG, SVG or PDF by the file's extension (any case), at 96
// dots per inch so one logical unit is one pixel, on a white background.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <functional>
#include <string>

namespace zel::gui {

// The picture of `size` units drawn by `draw` into an image of `size` pixels marked 96 dots per
// inch, on a white background.
QImage RenderImage(QSize size, const std::function<void(QPainter&)>& draw);

// `draw` paints the picture of `size` units. False with a sentence for a person in `error`.
bool ExportDrawing(const std::string& path, QSize size, const QString& title,
                   const std::function<void(QPainter&)>& draw, std::string* error);

}  // namespace zel::gui
