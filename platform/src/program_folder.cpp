#include "zel/platform/program_folder.h"

#include <filesystem>
#include <system_error>

namespace zel::platform {

namespace fs = std::filesystem;

std::string ProgramFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  std::string folder;
  if (ec || exe.empty()) {
    folder = fs::current_path(ec).string();
  } else {
    folder = exe.parent_path().string();
  }
  const char separator = static_cast<char>(fs::path::preferred_separator);
  if (folder.empty() || folder.back() != separator) folder.push_back(separator);
  return folder;
}

}  // namespace zel::platform
