// Random zel.dat text: loading never fails, and saving what loaded then loading it again gives
// the same settings, schedule and recorders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zel/core/zel_dat.h"

namespace {

bool HoldsQuote(const zel::RecorderRecord& r) {
  // The file has no escape for a double quote inside a quoted field, so such a field cannot
  // come back unchanged; everything else must.
  return r.id.find('"') != std::string::npos || r.phone.find('"') != std::string::npos ||
         r.password.find('"') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel::core;
  std::string text(reinterpret_cast<const char*>(data), size);
  ZelDatContents first = ParseZelDat(text);
  ApplyZelDatLimits(first);

  std::string saved = FormatZelDat(first.settings, first.recorders);
  ZelDatContents second = ParseZelDat(saved);
  bool adjusted = !ApplyZelDatLimits(second).empty();
  if (!second.scheduleLoaded) std::abort();
  if (second.settings != first.settings) std::abort();
  if (second.recorders.size() != first.recorders.size()) std::abort();

  bool quotes = false;
  for (const auto& r : first.recorders) quotes = quotes || HoldsQuote(r);
  if (!quotes) {
    if (adjusted) std::abort();  // a saved file is within its limits
    if (second.recorders != first.recorders) std::abort();
    if (FormatZelDat(second.settings, second.recorders) != saved) std::abort();
  }
  return 0;
}
