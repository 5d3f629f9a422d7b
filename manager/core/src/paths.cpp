#include "zel/core/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "zel/platform/program_folder.h"

namespace zel::core {

namespace fs = std::filesystem;

std::string ProgramFolder() { return platform::ProgramFolder(); }

fs::path ZelDatPathFor(const std::string& program_folder, bool folder_writable,
                       const char* xdg_config_home, const char* home) {
  const fs::path portable = fs::path(program_folder) / "zel.dat";
  if (folder_writable) return portable;
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
  if (xdg_config_home && *xdg_config_home && fs::path(xdg_config_home).is_absolute())
    return fs::path(xdg_config_home) / "zel" / "zel.dat";
  if (home && *home) return fs::path(home) / ".config" / "zel" / "zel.dat";
  return portable;
}

fs::path ZelDatPath(const std::string& program_folder) {
  // Only a program folder that is there and read-only sends zel.dat elsewhere; a missing one
  // keeps its path, so that saving fails with its reason instead of writing somewhere unseen.
  std::error_code ec;
  const bool writable = program_folder.empty() || ::access(program_folder.c_str(), W_OK) == 0 ||
                        !fs::is_directory(program_folder, ec);
  return ZelDatPathFor(program_folder, writable, std::getenv("XDG_CONFIG_HOME"),
                       std::getenv("HOME"));
}

bool EnsureZelDatFolder(const fs::path& zel_dat) {
  const fs::path folder = zel_dat.parent_path();
  if (folder.empty()) return true;
  std::error_code ec;
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

bool IsSafeRecorderId(std::string_view id) {
  if (id.empty() || id == "." || id == "..") return false;
  for (char c : id) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}

FolderResult RecorderFolder(const std::string& data_folder, const std::string& id) {
  FolderResult r;
  if (data_folder.empty()) {
    r.error = "No data folder is set; choose one in Edit > Properties.";
    return r;
  }
  if (!IsSafeRecorderId(id)) {
    r.error = "Recorder ID \"" + id +
              "\" cannot name a folder (it is empty, \".\" or \"..\", or holds one of "
              "\\ / : * ? \" < > | or a control character); rename the recorder.";
    return r;
  }
  r.path = fs::path(data_folder) / id;
  return r;
}

FolderResult QueryFolder(const std::string& data_folder, const std::string& id) {
  FolderResult r = RecorderFolder(data_folder, id);
  if (r.path) *r.path /= "Query";
  return r;
}

namespace {

FolderResult Ensure(FolderResult r, const std::string& data_folder) {
  if (!r.path) return r;
  std::error_code ec;
  fs::create_directories(*r.path, ec);
  if (!fs::is_directory(*r.path, ec)) {
    r.error = "The folder \"" + r.path->string() +
              "\" could not be created; check that the data folder exists and is writable.";
    r.path.reset();
    return r;
  }
  // A recorder folder (or its Query folder) that is a symbolic link leading out of the data
  // folder would let a poll write files anywhere: nothing is written into it.
  std::error_code ea, eb;
  const fs::path inside = fs::canonical(*r.path, ea);
  const fs::path base = fs::canonical(data_folder, eb);
  if (ea || eb) {
    r.error = "The folder \"" + r.path->string() +
              "\" cannot be reached: " + (ea ? ea : eb).message() + ".";
    r.path.reset();
    return r;
  }
  const auto [baseEnd, insideAt] =
      std::mismatch(base.begin(), base.end(), inside.begin(), inside.end());
  if (baseEnd != base.end() || insideAt == inside.end()) {
    r.error = "The folder \"" + r.path->string() + "\" leads outside the data folder (to \"" +
              inside.string() + "\"); nothing is written into it. Replace the link with a folder.";
    r.path.reset();
  }
  return r;
}

}  // namespace

FolderResult EnsureRecorderFolder(const std::string& data_folder, const std::string& id) {
  // The data folder itself must already exist: only the recorder's own folder is made.
  std::error_code ec;
  if (!data_folder.empty() && !fs::is_directory(data_folder, ec)) {
    FolderResult r;
    r.error = "The data folder \"" + data_folder + "\" does not exist.";
    return r;
  }
  return Ensure(RecorderFolder(data_folder, id), data_folder);
}

FolderResult EnsureQueryFolder(const std::string& data_folder, const std::string& id) {
  FolderResult r = EnsureRecorderFolder(data_folder, id);
  if (!r.path) return r;
  return Ensure(QueryFolder(data_folder, id), data_folder);
}

bool UpgradeSetupFileName(const std::string& data_folder, const std::string& id) {
  FolderResult folder = RecorderFolder(data_folder, id);
  if (!folder.path) return false;
  std::error_code ec;
  fs::path old_name = *folder.path / (id + "_setupdata.bin");
  fs::path new_name = *folder.path / "setupdata.bin";
  if (!fs::exists(old_name, ec) || fs::exists(new_name, ec)) return false;
  fs::rename(old_name, new_name, ec);
  return !ec;
}

bool MakeCurrentFolder(const std::string& folder) {
  if (folder.empty()) return false;
  return ::chdir(folder.c_str()) == 0;
}

}  // namespace zel::core
