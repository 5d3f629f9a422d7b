// Open- and save-file dialog filters are written as the station's programs always wrote them,
// "Binary event files|*.bin||" (description, bar, patterns, pairs ended by a double bar); the
// dialogs of the window toolkit want "Binary event files (*.bin)". These turn one into the
// other.
#pragma once

#include <string>
#include <vector>

namespace zel::gui {

struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;  // "*.bin"
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// The pairs of a "description|patterns|...||" filter; patterns are separated by ';'.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);
// "Binary event files (*.bin)" lines joined by ";;". A description that already ends with its
// patterns in brackets ("Text files (*.txt)") is not given them twice.
std::string ToolkitFilter(const std::string& filter);

}  // namespace zel::gui
