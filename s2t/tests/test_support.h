// Helpers of the converter tests: listing lines and hand-built file images.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "zel/testing/files.h"
#include "zel/testing/temp_folder.h"

namespace zel::s2t::testing {

// Temporary folders and whole files come from the shared test support.
using zeltest::ReadText;
using zeltest::TempFolder;
using zeltest::WriteBytes;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Lines after the first line equal to `header` up to (not including) the first line for which
// the next section starts (a line equal to one of `ends`), or to the end.
inline std::vector<std::string> SectionLines(const std::vector<std::string>& lines,
                                             const std::string& header,
                                             const std::vector<std::string>& ends) {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string& line : lines) {
    if (!inside) {
      inside = line == header;
      continue;
    }
    for (const std::string& end : ends) {
      if (line == end || (end.back() == '*' && line.rfind(end.substr(0, end.size() - 1), 0) == 0))
        return out;
    }
    out.push_back(line);
  }
  return out;
}

using zeltest::CountOf;

// Little-endian stores into a file image built by hand.
inline void Put(std::vector<uint8_t>& image, size_t offset, int64_t value, int width) {
  for (int i = 0; i < width; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}
inline void PutText(std::vector<uint8_t>& image, size_t offset, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) image.at(offset + i) = static_cast<uint8_t>(text[i]);
  image.at(offset + text.size()) = 0;
}

}  // namespace zel::s2t::testing
