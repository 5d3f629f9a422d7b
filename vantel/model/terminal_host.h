// Where the terminal runs when it was started without one (the station manager starts programs
// detached, with no terminal): inside the desktop's terminal emulator, `$TERMINAL` when set,
// else `x-terminal-emulator`, each given "-e" and the terminal's own command line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel::vantel {

// Set in the environment of the copy started inside the emulator, so that a copy which still
// finds no terminal fails instead of starting another one.
inline constexpr const char* kHostedVariable = "ZEL_VANTEL_HOSTED";

// The emulator's command: `terminal_variable` split at blanks (it may carry options), or
// "x-terminal-emulator", whichever `find_program` finds first (it returns the program's path),
// then "-e", `self` and `arguments`. Empty when neither is there.
std::vector<std::string> HostCommand(
    const std::string& terminal_variable, const std::string& self,
    const std::vector<std::string>& arguments,
    const std::function<std::optional<std::string>(const std::string&)>& find_program);

}  // namespace zel::vantel
