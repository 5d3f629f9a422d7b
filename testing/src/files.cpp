#include "zel/testing/files.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zeltest {

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  const std::string text = ReadText(file);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool WriteText(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

bool WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  return WriteText(file,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int CountOf(std::string_view text, std::string_view what) {
  if (what.empty()) return 0;
  int n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace zeltest
