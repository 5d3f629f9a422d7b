#include "station_file.h"

#include <algorithm>
#include <system_error>

#include "zel/core/paths.h"

namespace zel::oxm {

namespace fs = std::filesystem;

namespace {

const RecorderRecord* FindId(const std::vector<RecorderRecord>& list, const std::string& id) {
  for (const RecorderRecord& r : list)
    if (r.id == id) return &r;
  return nullptr;
}

}  // namespace

std::vector<core::RecorderChange> TakeOutsideChanges(const std::vector<RecorderRecord>& known,
                                                     const std::vector<RecorderRecord>& on_disk,
                                                     core::RecorderList& list) {
  std::vector<core::RecorderChange> taken;
  for (const core::RecorderChange& c : core::RecorderChanges(known, on_disk)) {
    const RecorderRecord* was = FindId(known, c.id);
    if (was == nullptr) continue;
    core::RecorderChange t;
    t.id = c.id;
    list.UpdateById(c.id, [&](RecorderRecord& r) {
      if (c.clockSetDay) {
        // Unchanged here: the other process's day. Set here as well: the later day.
        const int32_t day = r.clockSetDay == was->clockSetDay
                                ? *c.clockSetDay
                                : std::max(r.clockSetDay, *c.clockSetDay);
        if (day != r.clockSetDay) t.clockSetDay = day;
        r.clockSetDay = day;
      }
      // A password typed here since stays; else the one the other process uploaded.
      if (c.password && r.password == was->password && r.password != *c.password) {
        r.password = *c.password;
        t.password = r.password;
      }
    });
    if (t.clockSetDay || t.password) taken.push_back(std::move(t));
  }
  return taken;
}

core::ZelDatLoad StationFile::Load() {
  core::ZelDatLoad load = core::LoadZelDat(file_);
  known_ = load.contents.recorders;
  return load;
}

bool StationFile::Refresh(core::RecorderList& list) {
  std::error_code ec;
  if (!fs::exists(file_, ec)) return false;
  core::ZelDatLoad now = core::LoadZelDat(file_);
  if (!now.fileFound) return false;
  TakeOutsideChanges(known_, now.contents.recorders, list);
  known_ = std::move(now.contents.recorders);
  return true;
}

bool StationFile::Save(const core::StationSettings& settings, core::RecorderList& list,
                       std::string* error) {
  core::EnsureZelDatFolder(file_);  // the per-user folder is made on first save
  platform::StationLock saveLock;
  // While the window polls it holds the lock already (a second lock in one process would be
  // refused); otherwise the lock keeps a zelpoll from writing between the read and the write.
  if (!lock_.locked()) (void)saveLock.TryLock(file_);
  // A zelpoll run holding the station lock for hours still saves its own changes at its end:
  // the write lock keeps that save and this one from interleaving.
  const platform::StationWriteLock writeLock(file_);
  Refresh(list);
  const std::vector<RecorderRecord> written = list.Snapshot();
  if (!core::SaveZelDat(file_, settings, written, error)) return false;
  known_ = written;
  return true;
}

std::optional<std::string> StationFile::BeginPoll(core::RecorderList& list, std::string* warning) {
  if (!lock_.locked()) {
    core::EnsureZelDatFolder(file_);
    switch (lock_.TryLock(file_)) {
      case platform::StationLock::Result::kLocked:
        break;
      case platform::StationLock::Result::kHeld:
        return lock_.HeldMessage();
      case platform::StationLock::Result::kError:
        if (warning) *warning = lock_.error() + " The poll runs without the station lock.";
        break;
    }
  }
  // A poll that replaces the window's running one keeps the first one's starting list: its
  // changes are not written yet.
  if (!polling_) {
    Refresh(list);
    pollStart_ = list.Snapshot();
  }
  polling_ = true;
  return std::nullopt;
}

bool StationFile::EndPoll(const core::StationSettings& settings, const core::RecorderList& list,
                          std::string* error) {
  if (!polling_) return true;
  polling_ = false;
  bool ok = true;
  std::error_code ec;
  if (fs::exists(file_, ec)) {
    const std::vector<RecorderRecord> now = list.Snapshot();
    const std::vector<core::RecorderChange> changes = core::RecorderChanges(pollStart_, now);
    ok = core::SaveZelDatChanges(file_, changes, settings, now, error);
    if (ok && !changes.empty()) {
      // What the window knows of the file now holds the poll's changes.
      for (const core::RecorderChange& c : changes) {
        for (RecorderRecord& r : known_) {
          if (r.id != c.id) continue;
          if (c.clockSetDay) r.clockSetDay = *c.clockSetDay;
          if (c.password) r.password = *c.password;
          break;
        }
      }
    }
  }
  pollStart_.clear();
  lock_.Unlock();
  return ok;
}

}  // namespace zel::oxm
