// Draws the real-time plot through the shared timing painter, in logical units of 1/96 inch:
// the screen, the printed page and image export run this one function.
#pragma once

#include <QPainter>

#include "model/input_texts.h"
#include "model/realtime_plot.h"

namespace zel::rtp {

// The plot for a client area of `width` x `height` units (trims the history first, as every
// repaint does). The background is the caller's.
void DrawRealTimePlot(QPainter& painter, RealTimePlot& plot, const InputTexts& texts, int width,
                      int height);

}  // namespace zel::rtp
