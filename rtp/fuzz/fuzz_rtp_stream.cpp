// Real-time stream lines: any bytes into the assembler, parser, change list and frames.
#include <cstddef>
#include <cstdint>

#include "model/realtime_plot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel::rtp;
  const RtpModel* model =
      size > 0 ? RtpModelsBegin() + data[0] % (RtpModelsEnd() - RtpModelsBegin()) : nullptr;
  RealTimePlot plot(model,
                    std::vector<bool>(model ? static_cast<size_t>(model->positions) : 0, true));
  for (int k = 0; k < kSlotCount; ++k) plot.SetSlotInput(k, k * 7);
  for (size_t i = 1; i < size; ++i) {
    plot.FeedByte(data[i]);
    // Repaints between the bytes: the skipped part of the list and its cached walk move both
    // ways as the zoom and the display time change.
    if (data[i] == '!') plot.ZoomIn(16);
    if (data[i] == '?') plot.ZoomOut(4);
    if (data[i] == '!' || data[i] == '?' || data[i] == '#') {
      if (plot.currentTime()) plot.SetDisplayTime(*plot.currentTime());
      (void)plot.Frame(1024, 768);
    }
  }
  plot.Tick();
  if (plot.currentTime()) plot.SetDisplayTime(*plot.currentTime());
  (void)plot.Frame(1024, 768);
  return 0;
}
