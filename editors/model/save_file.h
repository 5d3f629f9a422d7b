// The one place the editor replaces its setup file: through the suite's safe file writer
// (temporary file in the same folder, write, fsync, rename over the target), so a failed save
// leaves the old file intact and says why.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zel::editors {

struct FileWriteResult {
  bool ok = true;
  std::string reason;  // "Permission denied", "No space left on device"
};

FileWriteResult ReplaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace zel::editors
