// One setup-to-text converter program; the build gives each program its model type number.
#include <iostream>

#include "zel/platform/guarded_main.h"
#include "zel/s2t/converter.h"

#ifndef ZEL_S2T_MODEL
#error "ZEL_S2T_MODEL must give the model type number of this converter"
#endif

namespace {
int Run(int argc, char** argv) {
  return zel::s2t::RunConverter(ZEL_S2T_MODEL, argc, argv, std::cerr);
}
}  // namespace

int main(int argc, char** argv) {
  return zel::platform::GuardedMain(argc > 0 ? argv[0] : "converter", Run, argc, argv);
}
