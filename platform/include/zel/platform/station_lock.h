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

// A short lock around one read-change-write of the station file. Every writer takes it (zelpoll's
// save at the end of a run, the window's saves), so a window saving while a zelpoll run holds the
// station lock cannot slip its write between zelpoll's read and zelpoll's write, or the other way
// round: each writer reads what the other wrote. Held for milliseconds, so a writer waits for it.
class StationWriteLock {
 public:
  // The lock file beside the station file: "<folder>/.<name>.write.lock".
  static std::filesystem::path LockFileFor(const std::filesystem::path& stationFile);

  // Waits up to `waitMs` for the lock. When it cannot be had (a lock file that cannot be made, or
  // a holder that does not let go), locked() is false and error() says why; the caller then writes
  // without it, as before the lock existed, rather than lose what it has to save.
  explicit StationWriteLock(const std::filesystem::path& stationFile, int waitMs = 10000);
  ~StationWriteLock();
  StationWriteLock(const StationWriteLock&) = delete;
  StationWriteLock& operator=(const StationWriteLock&) = delete;

  bool locked() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace zel::platform
