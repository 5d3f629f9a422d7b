// File > Save Capture...: the changes received so far (the one-hour history the plot keeps) as
// CSV, one line per change in arrival order: time of day, position (1-based, as on the line),
// identifier, name, state.
#pragma once

#include <string>

#include "model/input_texts.h"
#include "model/realtime_plot.h"

namespace zel::rtp {

std::string CaptureCsv(const RealTimePlot& plot, const InputTexts& texts);
// A field quoted when it holds a comma, a double quote or a line break (quotes doubled).
std::string CsvField(const std::string& text);

}  // namespace zel::rtp
