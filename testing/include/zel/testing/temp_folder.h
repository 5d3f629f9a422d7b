// A fresh folder for one test under the system's temporary folder, removed with the object.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zeltest {

class TempFolder {
 public:
  // Makes <tmp>/zel_<tag>_XXXXXX (unique, mode 0700). The tag only helps a person find it.
  explicit TempFolder(std::string_view tag = "test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
  // (path() / name) as a string, for interfaces that take one.
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace zeltest
