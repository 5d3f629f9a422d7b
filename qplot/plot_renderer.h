// Draws the plot of the loaded events with the template and the view range onto any painter
// already set to logical units: the screen, image export, and the printer's pages.
#pragma once

#include <QPainter>
#include <climits>
#include <functional>

#include "model/event_data.h"
#include "model/plot_document.h"
#include "model/plot_view.h"

namespace zel::qplot {

struct RenderOptions {
  bool fullPass = false;  // read from the first record (the tests' oracle)
  // Rows wholly outside these logical y's are not drawn (the screen's visible part).
  int clipTop = INT_MIN;
  int clipBottom = INT_MAX;
};

// The whole scrollable area: grid and time axis with the date in every header row, the 256
// labels, the traces, the cursors.
void DrawPlot(QPainter& painter, const EventData& data, const CZelQplotDoc& doc,
              const PlotView& view, const RenderOptions& options = {});

// One printed page: channels first..first+rows-1 packed without group gaps, one header row,
// the interval and cursor line and the "UnitID=" line below the last row.
void DrawPrintPage(QPainter& painter, const EventData& data, const CZelQplotDoc& doc,
                   const PlotView& view, int first_channel, int rows);

// The interval line of a printed page.
std::string PrintIntervalLine(const EventData& data, const PlotView& view);

}  // namespace zel::qplot
