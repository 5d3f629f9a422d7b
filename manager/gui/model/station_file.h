// The window's zel.dat beside other programs of the same station. zelpoll (a run of the schedule,
// a poll, an upload) may change the file while the window is open: it sets the clock-set day of
// each recorder whose clock it set and the password of each recorder it sent a setup database
// to. The window owns the recorder list and the settings, but those two fields from another
// process must survive the window's next save, and the window's next poll must use them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "zel/core/recorder_list.h"
#include "zel/core/settings.h"
#include "zel/core/zel_dat.h"
#include "zel/platform/station_lock.h"
#include "zel/recorder.h"

namespace zel::oxm {

// Brings into `list` the clock-set days and passwords that another process wrote into zel.dat
// since the window last read or wrote it: `known` is the list as the window last read or wrote
// it, `on_disk` the file's list now. A recorder is found by its ID (the first of an ID, which is
// the one a poll reaches); one the window deleted or renamed meanwhile takes nothing. Where the
// window changed the same field itself, its own value stays, except that of two clock-set days
// the later one wins (the clock was set on both). Returns what was taken.
std::vector<core::RecorderChange> TakeOutsideChanges(const std::vector<RecorderRecord>& known,
                                                     const std::vector<RecorderRecord>& on_disk,
                                                     core::RecorderList& list);

class StationFile {
 public:
  explicit StationFile(std::filesystem::path file) : file_(std::move(file)) {}

  const std::filesystem::path& path() const { return file_; }

  // Reads the file (the defaults when there is none) and remembers its list.
  core::ZelDatLoad Load();

  // Writes the window's settings and list, keeping what another process changed since the
  // window last read or wrote the file (those changes are taken into `list` too). Runs under
  // the station lock when it can be had; when another process holds it (a long zelpoll run) the
  // save goes on: that process reads the file again before it writes its own changes.
  bool Save(const core::StationSettings& settings, core::RecorderList& list, std::string* error);

  // Before the window polls: takes the station lock and then brings in what another process
  // changed in the file. Answers the message to show when another process holds the lock (the
  // window then does not poll). A lock file that cannot be made (a folder without write access)
  // does not stop the poll: `warning` says why the poll runs without the lock.
  std::optional<std::string> BeginPoll(core::RecorderList& list, std::string* warning);
  bool Polling() const { return polling_; }
  // After the window's poll ended: writes what the poll changed (clock-set days, uploaded
  // passwords) into the file as it is now, and lets the lock go. The window's other edits wait
  // for File > Save or the exit. Nothing is written when there is no file yet.
  bool EndPoll(const core::StationSettings& settings, const core::RecorderList& list,
               std::string* error);

 private:
  // Takes into `list` what changed on disk; false when there is no file.
  bool Refresh(core::RecorderList& list);

  std::filesystem::path file_;
  std::vector<RecorderRecord> known_;
  std::vector<RecorderRecord> pollStart_;
  platform::StationLock lock_;
  bool polling_ = false;
};

}  // namespace zel::oxm
