// Where the suite's programs are in this build.
#pragma once

#include <string>
#include <string_view>

namespace zeltest {

// The program `name` (zelsim, zelpoll, a converter ...) in the build's program folder.
std::string ProgramPath(std::string_view name);

}  // namespace zeltest
