#include "zel/platform/station_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

namespace zel::platform {

namespace fs = std::filesystem;

namespace {

long ReadPid(int fd) {
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return 0;
  long pid = 0;
  for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i) pid = pid * 10 + (buf[i] - '0');
  return pid;
}

}  // namespace

fs::path StationLock::LockFileFor(const fs::path& stationFile) {
  fs::path folder = stationFile.parent_path();
  return folder / ("." + stationFile.filename().string() + ".lock");
}

StationLock::~StationLock() { Unlock(); }

StationLock::StationLock(StationLock&& other) noexcept
    : fd_(other.fd_), holder_(other.holder_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

StationLock& StationLock::operator=(StationLock&& other) noexcept {
  if (this != &other) {
    Unlock();
    fd_ = other.fd_;
    holder_ = other.holder_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
  }
  return *this;
}

StationLock::Result StationLock::TryLock(const fs::path& stationFile) {
  Unlock();
  holder_ = 0;
  error_.clear();
  const fs::path lockFile = LockFileFor(stationFile);
  // The lock is on a file of its own: zel.dat itself is replaced by rename on every save, so a
  // lock on it would stay with the old file.
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = "Cannot make the lock file \"" + lockFile.string() +
             "\": " + std::generic_category().message(errno) + ".";
    return Result::kError;
  }
  // flock: held per open file, so a second lock in the same process conflicts as well.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int e = errno;
    if (e == EWOULDBLOCK) {
      // The holder writes its process number right after taking the lock: a short, bounded
      // wait covers the moment in between.
      for (int i = 0; i < 50 && holder_ == 0; ++i) {
        holder_ = ReadPid(fd);
        if (holder_ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ::close(fd);
      return Result::kHeld;
    }
    ::close(fd);
    error_ =
        "Cannot lock \"" + lockFile.string() + "\": " + std::generic_category().message(e) + ".";
    return Result::kError;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) != 0 ||
      ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    // The lock holds without the number; a second run then names no process.
  }
  fd_ = fd;
  holder_ = static_cast<long>(::getpid());
  return Result::kLocked;
}

void StationLock::Unlock() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a waiting process lock a file nobody else sees.
  (void)::ftruncate(fd_, 0);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::string StationLock::HeldMessage() const {
  return "Another poll of this station is running (process " +
         (holder_ > 0 ? std::to_string(holder_) : std::string("unknown")) + ")";
}

fs::path StationWriteLock::LockFileFor(const fs::path& stationFile) {
  return stationFile.parent_path() / ("." + stationFile.filename().string() + ".write.lock");
}

StationWriteLock::StationWriteLock(const fs::path& stationFile, int waitMs) {
  const fs::path lockFile = LockFileFor(stationFile);
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = "Cannot make the lock file \"" + lockFile.string() +
             "\": " + std::generic_category().message(errno) + ".";
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EWOULDBLOCK) {
      error_ =
          "Cannot lock \"" + lockFile.string() + "\": " + std::generic_category().message(e) + ".";
      ::close(fd);
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error_ = "\"" + lockFile.string() + "\" stayed locked by another program for " +
               std::to_string(waitMs / 1000) + " s.";
      ::close(fd);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  fd_ = fd;
}

StationWriteLock::~StationWriteLock() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
}

}  // namespace zel::platform
