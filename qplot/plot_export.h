// Image export of the whole plot (PNG, SVG or PDF by the file's extension, through the suite's
// shared image writer) and the plot printed onto a QPrinter's pages.
#pragma once

#include <QImage>
#include <string>

#include "model/event_data.h"
#include "model/plot_document.h"
#include "model/plot_view.h"

class QPrinter;

namespace zel::qplot {

// The whole scrollable area at 96 dots per inch (one unit one pixel), white background.
QImage RenderPlotImage(const EventData& data, const CZelQplotDoc& doc, const PlotView& view,
                       bool full_pass = false);
// Writes the plot to `path`; the format comes from the extension (.png, .svg, .pdf, any case).
// False with a sentence for a person in `error`.
bool ExportPlot(const std::string& path, const EventData& data, const CZelQplotDoc& doc,
                const PlotView& view, std::string* error);

// Prints the channels to print on as many pages as the page size gives; returns the page
// count (0 when nothing was printed).
int PrintPlot(QPrinter& printer, const EventData& data, const CZelQplotDoc& doc,
              const PlotView& view);

}  // namespace zel::qplot
