#include "gui/model/file_filter.h"

namespace zel::gui {

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string cur;
  for (char ch : s) {
    if (ch == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  parts.push_back(cur);
  return parts;
}

}  // namespace

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<FileFilter> out;
  const std::vector<std::string> parts = Split(filter, '|');
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // the double bar that ends the list
    FileFilter f;
    f.description = parts[i];
    for (const std::string& p : Split(parts[i + 1], ';'))
      if (!p.empty()) f.patterns.push_back(p);
    out.push_back(std::move(f));
  }
  return out;
}

std::string ToolkitFilter(const std::string& filter) {
  std::string out;
  for (const FileFilter& f : ParseFileFilter(filter)) {
    std::string patterns;
    for (const std::string& p : f.patterns) patterns += (patterns.empty() ? "" : " ") + p;
    if (!out.empty()) out += ";;";
    const std::string bracketed = "(" + patterns + ")";
    const bool has = f.description.size() >= bracketed.size() &&
                     f.description.compare(f.description.size() - bracketed.size(),
                                           bracketed.size(), bracketed) == 0;
    out += has ? f.description : f.description + " " + bracketed;
  }
  return out;
}

}  // namespace zel::gui
