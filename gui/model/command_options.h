// Options of the plotters' command lines: "/name=value" found anywhere in the line. A value that
// starts with a double quote runs to the next double quote (quotes dropped); otherwise it runs
// to the next blank. A program started by the launcher receives its options already split into
// arguments; an option's value then runs to the end of its argument (or to the closing quote
// when it still starts with one).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::gui {

class CommandOptions {
 public:
  // One whole command line as a single text (the program name left out).
  static CommandOptions FromCommandLine(std::string_view line);
  // The arguments a program received (argv[1] onwards).
  static CommandOptions FromArguments(std::vector<std::string> arguments);

  // Value of "/name=" ("event", "setup" ...); nullopt when the option is absent. The first
  // place the text "/name=" occurs wins.
  std::optional<std::string> Value(std::string_view name) const;
  // The first argument when it is not an option (a template to open); nullopt otherwise.
  std::optional<std::string> FirstNonOption() const;

 private:
  bool splitArguments_ = false;
  std::string line_;                    // FromCommandLine
  std::vector<std::string> arguments_;  // FromArguments
};

// True when `argument` has the form of an option: "/" and at least one letter, then "=".
bool LooksLikeOption(std::string_view argument);

// A time range of the day in hours and minutes: "HH:MM-HH:MM" with any one character between
// hours and minutes and any one between the two times (digits, one character, digits, one
// character, digits, one character, digits). Values are taken as written, not range-checked.
struct DayTimeRange {
  int startHours = 0;
  int startMinutes = 0;
  int endHours = 0;
  int endMinutes = 0;
  // Seconds since midnight of each end.
  long long StartSeconds() const { return (startHours * 60LL + startMinutes) * 60; }
  long long EndSeconds() const { return (endHours * 60LL + endMinutes) * 60; }
};
std::optional<DayTimeRange> ParseDayTimeRange(std::string_view text);

}  // namespace zel::gui
