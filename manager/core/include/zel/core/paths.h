// API-STABLE
// Folders of the station manager: program folder, recorder folders and their safety rules.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel::core {

// The platform's folder separator as a character ('/' here, '\\' on Windows).
inline constexpr char kPathSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// Folder of the running program file, with a trailing separator.
std::string ProgramFolder();

// Where zel.dat lives: in the program folder when that folder is writable (a copied, portable
// installation), otherwise "zel/zel.dat" under $XDG_CONFIG_HOME (an absolute path), else under
// $HOME/.config; the program folder again when neither is known. `xdg_config_home` and `home`
// may be null.
std::filesystem::path ZelDatPathFor(const std::string& program_folder, bool folder_writable,
                                    const char* xdg_config_home, const char* home);
// The same for this process: the folder's writability and the environment as they are now. A
// program folder that is not an existing folder counts as writable (saving then reports why it
// failed).
std::filesystem::path ZelDatPath(const std::string& program_folder);
// Makes the folder of a zel.dat path (the per-user folder on first save); false when it cannot.
bool EnsureZelDatFolder(const std::filesystem::path& zel_dat);

// True when `id` can name a folder under the data folder: not empty, not "." or "..", no
// \ / : * ? " < > | and no control character.
bool IsSafeRecorderId(std::string_view id);

// A folder built from the data folder and a recorder ID, or the reason why none can be built.
struct FolderResult {
  std::optional<std::filesystem::path> path;
  std::string error;  // set when path is empty: one clear sentence for a log line or a box
  explicit operator bool() const { return path.has_value(); }
};

// data folder + separator + ID. Fails for an unsafe ID or an empty data folder, so nothing is
// ever written outside the data folder.
FolderResult RecorderFolder(const std::string& data_folder, const std::string& id);
// The recorder folder's "Query" subfolder.
FolderResult QueryFolder(const std::string& data_folder, const std::string& id);
// RecorderFolder, creating the folder when it is missing (error when it cannot be made).
FolderResult EnsureRecorderFolder(const std::string& data_folder, const std::string& id);
// QueryFolder, creating the recorder folder and its "Query" folder when missing.
FolderResult EnsureQueryFolder(const std::string& data_folder, const std::string& id);

// Setup file name upgrade: renames "<ID>_setupdata.bin" in the recorder folder to
// "setupdata.bin" when the first exists and the second does not. Returns true when it renamed.
// Does nothing for an unsafe ID.
bool UpgradeSetupFileName(const std::string& data_folder, const std::string& id);

// Makes `folder` the process's current folder; false when it is empty or cannot be entered.
bool MakeCurrentFolder(const std::string& folder);

}  // namespace zel::core
