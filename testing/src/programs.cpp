#include "zel/testing/programs.h"

namespace zeltest {

std::string ProgramPath(std::string_view name) {
  return std::string(ZEL_TESTING_BIN_DIR) + "/" + std::string(name);
}

}  // namespace zeltest
