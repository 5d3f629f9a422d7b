// Where the running program file lies (zel.dat and the helper programs sit beside it).
#pragma once

#include <string>

namespace zel::platform {

// Folder of the running program file, with a trailing separator; the current folder when the
// system cannot tell.
std::string ProgramFolder();

}  // namespace zel::platform
