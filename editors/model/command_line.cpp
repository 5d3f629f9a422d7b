#include "model/command_line.h"

namespace zel::editors {

namespace {

std::optional<std::string> ArgumentPart(std::string_view rest) {
  std::size_t i = 0;
  while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
  rest.remove_prefix(i);
  if (rest.empty()) return std::nullopt;
  if (rest.front() == '"') {
    rest.remove_prefix(1);
    const std::size_t end = rest.find('"');
    return std::string(rest.substr(0, end));
  }
  return std::string(rest);
}

}  // namespace

std::optional<std::string> PathFromCommandLine(std::string_view line) {
  std::size_t i = 0;
  if (!line.empty() && line.front() == '"') {
    const std::size_t close = line.find('"', 1);
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    const std::size_t blank = line.find(' ');
    i = blank == std::string_view::npos ? line.size() : blank;
  }
  return ArgumentPart(line.substr(i));
}

std::optional<std::string> PathFromArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (std::size_t k = 1; k < args.size(); ++k) {
    if (k > 1) joined += ' ';
    joined += args[k];
  }
  std::optional<std::string> path = ArgumentPart(joined);
  if (path && path->empty()) return std::nullopt;
  return path;
}

std::string AdvanceByOne(std::string_view text) {
  const std::size_t pos = text.find_last_of("0123456789");
  if (pos == std::string_view::npos) return std::string(text) + "1";
  const char digit = text[pos];
  std::string tail(text.substr(pos + 1));
  if (digit != '9') {
    std::string out(text);
    out[pos] = static_cast<char>(digit + 1);
    return out;
  }
  // Carry: the part before the 9 advances by the same rule ("Sw 9" -> "Sw 10").
  const std::string_view head = text.substr(0, pos);
  return AdvanceByOne(head) + "0" + tail;
}

}  // namespace zel::editors
