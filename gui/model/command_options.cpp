#include "gui/model/command_options.h"

#include <cctype>

namespace zel::gui {
namespace {

// The value that starts at `text[0]`, ending at the next blank, or at the closing quote when it
// starts with a double quote (a missing closing quote takes the rest).
std::string ValueAt(std::string_view text, bool blank_ends) {
  if (!text.empty() && text.front() == '"') {
    text.remove_prefix(1);
    const size_t close = text.find('"');
    return std::string(text.substr(0, close));
  }
  if (blank_ends) {
    const size_t end = text.find_first_of(" \t");
    return std::string(text.substr(0, end));
  }
  return std::string(text);
}

}  // namespace

CommandOptions CommandOptions::FromCommandLine(std::string_view line) {
  CommandOptions o;
  o.line_ = std::string(line);
  return o;
}

CommandOptions CommandOptions::FromArguments(std::vector<std::string> arguments) {
  CommandOptions o;
  o.splitArguments_ = true;
  o.arguments_ = std::move(arguments);
  return o;
}

std::optional<std::string> CommandOptions::Value(std::string_view name) const {
  const std::string key = "/" + std::string(name) + "=";
  if (!splitArguments_) {
    const size_t at = line_.find(key);
    if (at == std::string::npos) return std::nullopt;
    return ValueAt(std::string_view(line_).substr(at + key.size()), true);
  }
  for (const std::string& a : arguments_) {
    const size_t at = a.find(key);
    if (at != std::string::npos) return ValueAt(std::string_view(a).substr(at + key.size()), false);
  }
  return std::nullopt;
}

std::optional<std::string> CommandOptions::FirstNonOption() const {
  if (splitArguments_) {
    if (arguments_.empty() || arguments_.front().empty() || LooksLikeOption(arguments_.front()))
      return std::nullopt;
    return arguments_.front();
  }
  std::string_view rest(line_);
  const size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  rest.remove_prefix(first);
  if (LooksLikeOption(rest)) return std::nullopt;
  return ValueAt(rest, true);
}

bool LooksLikeOption(std::string_view argument) {
  if (argument.size() < 3 || argument[0] != '/') return false;
  size_t i = 1;
  while (i < argument.size() && std::isalpha(static_cast<unsigned char>(argument[i]))) ++i;
  return i > 1 && i < argument.size() && argument[i] == '=';
}

std::optional<DayTimeRange> ParseDayTimeRange(std::string_view text) {
  size_t pos = 0;
  // Digits (one to six, so the number stays small; a longer run fails), then one character of
  // any kind unless this is the last number.
  auto number = [&](int& out, bool separator_follows) {
    size_t digits = 0;
    long value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
      if (digits == 6) return false;
      value = value * 10 + (text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0) return false;
    out = static_cast<int>(value);
    if (separator_follows) {
      if (pos >= text.size()) return false;
      ++pos;
    }
    return true;
  };
  DayTimeRange r;
  if (!number(r.startHours, true) || !number(r.startMinutes, true) || !number(r.endHours, true) ||
      !number(r.endMinutes, false))
    return std::nullopt;
  return r;
}

}  // namespace zel::gui
