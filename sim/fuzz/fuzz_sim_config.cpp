// The fleet configuration file parser on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "zel/sim/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  zel::sim::SimConfig cfg;
  std::string error;
  zel::sim::ParseConfig(in, cfg, &error);
  return 0;
}
