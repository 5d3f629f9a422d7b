// Text for a terminal: a recorder ID read from zel.dat may hold control characters (an escape
// sequence would rewrite the screen), which are shown escaped instead.
#pragma once

#include <string>
#include <string_view>

namespace zel::core {

// `text` with every control character (below 0x20, and 0x7F) written as \t, \r, \n or \xHH;
// everything else as it is.
std::string TerminalText(std::string_view text);

}  // namespace zel::core
