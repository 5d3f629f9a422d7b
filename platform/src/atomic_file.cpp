#include "zel/platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace zel::platform {

namespace fs = std::filesystem;

namespace {

// Our temporary files: "." + target name (cut) + ".zeltmp-<pid>-<n>". Files an earlier receiver
// left as "." + name + ".part-<pid>-..." are recognised too.
constexpr std::string_view kTempTag = ".zeltmp-";
constexpr std::string_view kOldPartTag = ".part-";
constexpr std::size_t kMaxNameInTemp = 200;  // the temporary name stays under 255 bytes
constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr int kMaxLinkHops = 40;

std::string ErrnoText(int e) { return std::generic_category().message(e); }

std::string Quoted(const fs::path& p) { return "\"" + p.string() + "\""; }

// Where a symbolic link `target` leads (through a chain of links); the target itself otherwise.
fs::path FollowLinks(const fs::path& target) {
  fs::path p = target;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) return p;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p;  // a loop: the rename below fails with a clear reason
}

bool ProcessGone(long pid) {
  if (pid <= 0) return false;
  if (pid == static_cast<long>(::getpid())) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void SyncFolder(const fs::path& folder) {
  const int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  // Some file systems refuse fsync on a folder; the rename has happened either way.
  (void)::fsync(dfd);
  ::close(dfd);
}

}  // namespace

bool IsTemporaryFileName(std::string_view name, long* pid) {
  if (name.size() < 2 || name[0] != '.') return false;
  for (std::string_view tag : {kTempTag, kOldPartTag}) {
    const std::size_t at = name.rfind(tag);
    if (at == std::string_view::npos || at < 1) continue;
    std::size_t i = at + tag.size();
    long value = 0;
    std::size_t digits = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10) {
      value = value * 10 + (name[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || i >= name.size() || name[i] != '-') continue;
    if (pid != nullptr) *pid = value;
    return true;
  }
  return false;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (a.empty() || b.empty()) return false;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int RemoveStaleTemporaryFiles(const fs::path& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    long pid = 0;
    if (!IsTemporaryFileName(e->d_name, &pid) || !ProcessGone(pid)) continue;
    const fs::path p = folder / e->d_name;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(p.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

AtomicFileWriter::AtomicFileWriter(fs::path target, WriteOptions options)
    : target_(std::move(target)), options_(options) {}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

WriteResult AtomicFileWriter::Fail(const std::string& reason) {
  if (failed_.ok) failed_ = WriteResult{false, reason};
  Abandon();
  return failed_;
}

WriteResult AtomicFileWriter::Open() {
  if (!failed_.ok) return failed_;
  if (fd_ >= 0) return {};
  if (target_.empty() || target_.filename().empty()) {
    return Fail("No file name was given" +
                (target_.empty() ? std::string() : " in " + Quoted(target_)) + ".");
  }
  file_ = FollowLinks(target_);
  const fs::path folder = file_.parent_path();
  struct stat st {};
  if (::stat(file_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Fail(Quoted(file_) + " is a folder, not a file.");
    mode_ = static_cast<int>(st.st_mode & 07777);
  } else if (errno != ENOENT) {
    return Fail("Cannot reach " + Quoted(file_) + ": " + ErrnoText(errno) + ".");
  } else {
    mode_ = options_.newFileMode;
  }
  RemoveStaleTemporaryFiles(folder);

  static std::atomic<unsigned> counter{0};
  std::string base = file_.filename().string();
  if (base.size() > kMaxNameInTemp) base.resize(kMaxNameInTemp);
  // Made 0600 first whenever the final mode is set at Commit(), so the contents are never
  // readable by others in between.
  const mode_t createMode = mode_ >= 0 ? 0600 : 0666;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string name = "." + base + std::string(kTempTag) + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++);
    temp_ = folder / name;
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd_ >= 0) break;
    if (errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int e = errno;
    temp_.clear();
    return Fail("Cannot write " + Quoted(file_) + " (no new file can be made in its folder): " +
                ErrnoText(e) + ".");
  }
  return {};
}

bool AtomicFileWriter::FlushBuffer() {
  if (buffer_.empty()) return true;
  const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

WriteResult AtomicFileWriter::Write(std::string_view bytes) {
  if (!failed_.ok) return failed_;
  if (fd_ < 0) return Fail("The file " + Quoted(target_) + " was not opened for writing.");
  size_ += bytes.size();
  if (buffer_.size() + bytes.size() <= kBufferBytes) {
    buffer_.append(bytes);
    return {};
  }
  if (!FlushBuffer() || !WriteAll(fd_, bytes.data(), bytes.size())) {
    return Fail("Cannot write " + Quoted(file_) + ": " + ErrnoText(errno) + ".");
  }
  return {};
}

WriteResult AtomicFileWriter::Commit() {
  if (!failed_.ok) return failed_;
  if (fd_ < 0) return Fail("The file " + Quoted(target_) + " was not opened for writing.");
  if (!FlushBuffer()) return Fail("Cannot write " + Quoted(file_) + ": " + ErrnoText(errno) + ".");
  if (mode_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
    return Fail("Cannot set the permissions of " + Quoted(file_) + ": " + ErrnoText(errno) + ".");
  }
  if (::fsync(fd_) != 0) {
    return Fail("Cannot write " + Quoted(file_) + " to the disk: " + ErrnoText(errno) + ".");
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    return Fail("Cannot write " + Quoted(file_) + ": " + ErrnoText(errno) + ".");
  }
  if (::rename(temp_.c_str(), file_.c_str()) != 0) {
    const int e = errno;
    if (e == EISDIR) return Fail(Quoted(file_) + " is a folder, not a file.");
    return Fail("Cannot replace " + Quoted(file_) + ": " + ErrnoText(e) + ".");
  }
  temp_.clear();
  SyncFolder(file_.parent_path());
  return {};
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  buffer_.clear();
}

WriteResult WriteFileAtomically(const fs::path& target, std::string_view bytes,
                                const WriteOptions& options) {
  AtomicFileWriter w(target, options);
  if (WriteResult r = w.Open(); !r) return r;
  if (WriteResult r = w.Write(bytes); !r) return r;
  return w.Commit();
}

WriteResult WriteFileAtomically(const fs::path& target, std::string_view bytes) {
  return WriteFileAtomically(target, bytes, WriteOptions{});
}

}  // namespace zel::platform
