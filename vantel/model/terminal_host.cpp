#include "terminal_host.h"

#include <sstream>

namespace zel::vantel {

std::vector<std::string> HostCommand(
    const std::string& terminal_variable, const std::string& self,
    const std::vector<std::string>& arguments,
    const std::function<std::optional<std::string>(const std::string&)>& find_program) {
  std::vector<std::string> command;
  std::istringstream words(terminal_variable);
  for (std::string w; words >> w;) command.push_back(w);
  std::optional<std::string> program;
  if (!command.empty()) program = find_program(command.front());
  if (!program) {
    command = {"x-terminal-emulator"};
    program = find_program(command.front());
  }
  if (!program) return {};
  command.front() = *program;
  command.push_back("-e");
  command.push_back(self);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

}  // namespace zel::vantel
