// Random zel.dat text: loading never fails, and saving what loaded then loading it again gives
// the same settings, schedule and recorders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zel/core/zel_dat.h"

namespace {

std::string WithoutQuotes(std::string s) {
  std::erase(s, '"');
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel::core;
  std::string text(reinterpret_cast<const char*>(data), size);
  ZelDatContents first = ParseZelDat(text);
  ApplyZelDatLimits(first);

  std::string saved = FormatZelDat(first.settings, first.recorders);
  ZelDatContents second = ParseZelDat(saved);
  if (!ApplyZelDatLimits(second).empty()) std::abort();  // a saved file is within its limits
  if (!second.scheduleLoaded) std::abort();
  if (second.settings != first.settings) std::abort();
  if (second.recorders.size() != first.recorders.size()) std::abort();
  // The file cannot hold a double quote inside a quoted text: those quotes are dropped, and
  // everything else comes back unchanged.
  for (auto& r : first.recorders) {
    r.id = WithoutQuotes(r.id);
    r.phone = WithoutQuotes(r.phone);
    r.password = WithoutQuotes(r.password);
  }
  if (second.recorders != first.recorders) std::abort();
  if (FormatZelDat(second.settings, second.recorders) != saved) std::abort();
  return 0;
}
