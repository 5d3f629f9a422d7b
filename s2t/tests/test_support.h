// Helpers of the converter tests: temporary folders, files and listing lines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace zel::s2t::testing {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("s2t_test_" + std::to_string(seed()) + "_" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

inline int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Little-endian stores into a file image built by hand.
inline void Put(std::vector<uint8_t>& image, size_t offset, int64_t value, int width) {
  for (int i = 0; i < width; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}
inline void PutText(std::vector<uint8_t>& image, size_t offset, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) image.at(offset + i) = static_cast<uint8_t>(text[i]);
  image.at(offset + text.size()) = 0;
}

}  // namespace zel::s2t::testing
