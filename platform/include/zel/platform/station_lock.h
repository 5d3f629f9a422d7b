// The station lock: one poll at a time on one station (one zel.dat and its data folder), across
// processes. zelpoll holds it for a whole run; the station manager window holds it while it
// polls and while it saves the recorder list.
#pragma once

#include <filesystem>
#include <string>

namespace zel::platform {

class StationLock {
 public:
  // The lock file beside the station file: "<folder>/.<name>.lock" (e.g. ".zel.dat.lock").
  static std::filesystem::path LockFileFor(const std::filesystem::path& stationFile);

  StationLock() = default;
  ~StationLock();
  StationLock(StationLock&& other) noexcept;
  StationLock& operator=(StationLock&& other) noexcept;
  StationLock(const StationLock&) = delete;
  StationLock& operator=(const StationLock&) = delete;

  enum class Result {
    kLocked,  // this object holds the lock now
    kHeld,    // another holder has it: holder() names its process when known
    kError,   // the lock file cannot be made or locked: error() says why
  };
  // Takes the lock for `stationFile` without waiting. A second lock on the same station, even
  // in the same process, answers kHeld until the first is released.
  Result TryLock(const std::filesystem::path& stationFile);
  void Unlock();

  bool locked() const { return fd_ >= 0; }
  long holder() const { return holder_; }  // 0 when not known
  const std::string& error() const { return error_; }
  // "Another poll of this station is running (process N)", for kHeld.
  std::string HeldMessage() const;

 private:
  int fd_ = -1;
  long holder_ = 0;
  std::string error_;
};

}  // namespace zel::platform
