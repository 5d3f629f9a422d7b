// The editor's command line: one argument, the path of the setup database file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::editors {

// From a raw command line as the station manager builds it: the program name (quoted or up to
// the first blank) is skipped, then blanks; a quoted path ends at its closing quote (anything
// after it is ignored), an unquoted one is the whole rest of the line, blanks included.
// nullopt when nothing follows the program name.
std::optional<std::string> PathFromCommandLine(std::string_view line);

// From the arguments a process receives (argv[0] first). The launcher splits a command line at
// blanks outside quotes, so a quoted path arrives as one argument and an unquoted path with
// blanks as several: they are joined with one blank each, the rule for an unquoted path. An
// argument text that still starts with a quote is read as the raw form above.
std::optional<std::string> PathFromArguments(const std::vector<std::string>& args);

// Advances a text by one: the last decimal digit counts up with carry ("Sw 19" -> "Sw 20",
// "Sw 99" -> "Sw 100", "9" -> "10"); a text without digits gets "1" appended.
std::string AdvanceByOne(std::string_view text);

}  // namespace zel::editors
