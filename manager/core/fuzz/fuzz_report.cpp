// Fuzzes the event report writer: the first byte picks the model, the next two the length of a
// setup database image, which is followed by the event file bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "zel/core/report.h"
#include "zel/core/report_selection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const zel::RecorderType type = data[0] % 20;
  std::size_t setupSize =
      static_cast<std::size_t>(data[1]) | (static_cast<std::size_t>(data[2]) << 8);
  data += 3;
  size -= 3;
  if (setupSize > size) setupSize = size;
  zel::SetupDatabase setup(type);
  setup.LoadBytes(data, setupSize);
  std::string text;
  zel::core::InputFilter filter;
  if (setupSize % 3 == 1) filter = zel::core::InputFilter::Only({0, 1, 2, 255, 5000});
  const zel::core::ReportResult r =
      zel::core::RenderReport(type, setup, data + setupSize, size - setupSize, filter, text);
  if (r.ok() && (text.size() < 14 || text.compare(text.size() - 14, 14, "End of report\n") != 0)) {
    __builtin_trap();
  }
  if (setupSize % 5 == 0) {
    zel::core::ReportSelection sel(type, setup);
    sel.ClickHeader(zel::core::SelectionColumn::kName);
    sel.ClickHeader(zel::core::SelectionColumn::kId);
  }
  return 0;
}
