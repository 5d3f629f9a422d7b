#include "zel/platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "zel/platform/station_lock.h"

namespace zel::platform {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string tmpl = (fs::temp_directory_path() / "zelwrite-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    path_ = ::mkdtemp(buf.data());
  }
  ~Folder() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Put(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// Names in `folder` other than `keep`.
std::vector<std::string> Others(const fs::path& folder, const std::string& keep) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename() != keep) names.push_back(e.path().filename().string());
  }
  return names;
}

unsigned Mode(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

// Runs `body` in a child process; the child's messages on failure come back as text (empty when
// the body returned true). Exit 77 from the body's process means "cannot run here".
struct ChildResult {
  int status = -1;
  std::string text;
};
ChildResult InChild(const std::function<std::string()>& body) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipefd[0]);
    const std::string text = body();
    if (!text.empty()) (void)::write(pipefd[1], text.data(), text.size());
    ::_exit(text.empty() ? 0 : text == "skip" ? 77 : 1);
  }
  ::close(pipefd[1]);
  ChildResult r;
  char buf[512];
  for (ssize_t n; (n = ::read(pipefd[0], buf, sizeof buf)) > 0;) r.text.append(buf, n);
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A mount namespace of this child's own, so a small tmpfs can be mounted and made read-only
// without touching the machine. False when the system allows none.
bool OwnMountNamespace() {
  if (::unshare(CLONE_NEWNS) != 0) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    auto put = [](const char* file, const std::string& text) {
      const int fd = ::open(file, O_WRONLY);
      if (fd < 0) return;
      (void)::write(fd, text.data(), text.size());
      ::close(fd);
    };
    put("/proc/self/setgroups", "deny");
    put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
  }
  return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

TEST(WriteFileAtomically, WritesAndReplacesLeavingNoTemporaryFile) {
  Folder dir;
  const fs::path f = dir / "report.txt";
  ASSERT_TRUE(WriteFileAtomically(f, "first\n"));
  EXPECT_EQ(Read(f), "first\n");
  ASSERT_TRUE(WriteFileAtomically(f, ""));
  EXPECT_EQ(Read(f), "");
  const std::string big(300 * 1024 + 7, 'q');  // past the write buffer
  ASSERT_TRUE(WriteFileAtomically(f, big));
  EXPECT_EQ(Read(f), big);
  EXPECT_TRUE(Others(dir.path(), "report.txt").empty());

  // A bare file name is the current folder's.
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());
  const WriteResult bare = WriteFileAtomically("bare.bin", "b");
  fs::current_path(cwd);
  ASSERT_TRUE(bare) << bare.reason;
  EXPECT_EQ(Read(dir / "bare.bin"), "b");
}

TEST(WriteFileAtomically, FailuresLeaveTheOldFileAndSayWhy) {
  Folder dir;
  // Target that is a folder: the folder and what it holds stay.
  fs::create_directory(dir / "sub");
  Put(dir / "sub" / "inside", "keep");
  WriteResult r = WriteFileAtomically(dir / "sub", "x");
  EXPECT_FALSE(r);
  EXPECT_NE(r.reason.find("is a folder"), std::string::npos) << r.reason;
  EXPECT_EQ(Read(dir / "sub" / "inside"), "keep");
  EXPECT_TRUE(Others(dir.path(), "sub").empty());

  // Missing folder.
  r = WriteFileAtomically(dir / "no" / "such" / "file.bin", "x");
  EXPECT_FALSE(r);
  EXPECT_NE(r.reason.find("No such file or directory"), std::string::npos) << r.reason;

  // No file name.
  EXPECT_FALSE(WriteFileAtomically("", "x"));

  // A folder that takes no new file (as a user the permissions hold; root is checked with a
  // read-only mount below).
  if (::geteuid() != 0) {
    Put(dir / "ro.txt", "old bytes");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    r = WriteFileAtomically(dir / "ro.txt", "new");
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find("Permission denied"), std::string::npos) << r.reason;
    EXPECT_EQ(Read(dir / "ro.txt"), "old bytes");
  }
}

TEST(WriteFileAtomically, KeepsTheModeAndWritesThroughLinks) {
  Folder dir;
  const fs::path f = dir / "zel.dat";
  // A new file with a mode asked for; an existing file keeps its own mode.
  ASSERT_TRUE(WriteFileAtomically(f, "a", WriteOptions{.newFileMode = 0600}));
  EXPECT_EQ(Mode(f), 0600u);
  ::chmod(f.c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomically(f, "b", WriteOptions{.newFileMode = 0600}));
  EXPECT_EQ(Mode(f), 0640u);
  ASSERT_TRUE(WriteFileAtomically(f, "c"));
  EXPECT_EQ(Mode(f), 0640u);

  // A symbolic link (relative, through a second link) is written through: the links stay.
  fs::create_directory(dir / "real");
  Put(dir / "real" / "zel.dat", "old");
  ::chmod((dir / "real" / "zel.dat").c_str(), 0600);
  fs::create_symlink("real/zel.dat", dir / "hop");
  fs::create_symlink("hop", dir / "link.dat");
  AtomicFileWriter w(dir / "link.dat");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(w.file(), dir / "real" / "zel.dat");
  ASSERT_TRUE(w.Write("new "));
  ASSERT_TRUE(w.Write("contents"));
  ASSERT_TRUE(w.Commit());
  EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
  EXPECT_TRUE(fs::is_symlink(dir / "hop"));
  EXPECT_EQ(Read(dir / "real" / "zel.dat"), "new contents");
  EXPECT_EQ(Mode(dir / "real" / "zel.dat"), 0600u);
  EXPECT_TRUE(Others(dir / "real", "zel.dat").empty());

  // A dangling link makes its target.
  fs::create_symlink("real/made.txt", dir / "dangling");
  ASSERT_TRUE(WriteFileAtomically(dir / "dangling", "made"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(Read(dir / "real" / "made.txt"), "made");
}

TEST(AtomicFileWriter, AbandonedOrDestroyedLeavesTheTarget) {
  Folder dir;
  const fs::path f = dir / "event.dat";
  Put(f, "old event file");
  {
    AtomicFileWriter w(f);
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.Write(std::string(200 * 1024, 'z')));
    EXPECT_EQ(w.size(), 200u * 1024u);
    EXPECT_EQ(Others(dir.path(), "event.dat").size(), 1u);  // the temporary file, hidden
    EXPECT_EQ(Others(dir.path(), "event.dat")[0][0], '.');
  }
  EXPECT_EQ(Read(f), "old event file");
  EXPECT_TRUE(Others(dir.path(), "event.dat").empty());

  AtomicFileWriter w(f);
  EXPECT_FALSE(w.Write("x"));  // not opened
  EXPECT_FALSE(w.Commit());
  EXPECT_EQ(Read(f), "old event file");
}

// The file system fills up part way: the kernel's file size limit fails the write with EFBIG
// after a set number of bytes, as a full disk does with ENOSPC.
TEST(WriteFileAtomically, WriteFailingAfterSomeBytesKeepsTheOldFile) {
  Folder dir;
  const fs::path f = dir / "setupdata.bin";
  const std::string old(5000, 'o');
  Put(f, old);
  const ChildResult c = InChild([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{100 * 1024, 100 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return "skip";
    const WriteResult r = WriteFileAtomically(f, std::string(300 * 1024, 'n'));
    if (r) return "the write past the limit succeeded";
    if (r.reason.find("File too large") == std::string::npos) return "reason: " + r.reason;
    // Streaming: the failure comes from one of the Write() calls or from Commit().
    AtomicFileWriter w(f);
    if (!w.Open()) return "open failed";
    bool failed = false;
    for (int i = 0; i < 40 && !failed; ++i) failed = !w.Write(std::string(8192, 's'));
    if (!failed && w.Commit()) return "streaming write past the limit succeeded";
    return "";
  });
  ASSERT_NE(c.status, 77) << "no file size limit here";
  EXPECT_EQ(c.status, 0) << c.text;
  EXPECT_EQ(Read(f), old);
  EXPECT_TRUE(Others(dir.path(), "setupdata.bin").empty());
}

// A real small file system: full, then read-only. Needs a mount namespace of our own.
TEST(WriteFileAtomically, FullAndReadOnlyFileSystem) {
  Folder dir;
  const fs::path mnt = dir / "mnt";
  fs::create_directory(mnt);
  const ChildResult c = InChild([&]() -> std::string {
    if (!OwnMountNamespace()) return "skip";
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) return "skip";
    const fs::path f = mnt / "zel.dat";
    const std::string old = "[Settings]\r\nDataFolder=/data\r\n";
    if (!WriteFileAtomically(f, old)) return "first write failed";
    const WriteResult full = WriteFileAtomically(f, std::string(256 * 1024, 'x'));
    if (full) return "write into a full file system succeeded";
    if (full.reason.find("No space left on device") == std::string::npos)
      return "full: " + full.reason;
    if (Read(f) != old) return "old file changed by the failed write";
    if (!Others(mnt, "zel.dat").empty()) return "temporary file left on the full disk";
    if (::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return "skip";
    const WriteResult ro = WriteFileAtomically(f, "new");
    if (ro) return "write into a read-only file system succeeded";
    if (ro.reason.find("Read-only file system") == std::string::npos) return "ro: " + ro.reason;
    if (Read(f) != old) return "old file changed on the read-only disk";
    return "";
  });
  if (c.status == 77) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(c.status, 0) << c.text;
}

TEST(RemoveStaleTemporaryFiles, RemovesOnlyFilesOfEndedProcesses) {
  Folder dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // a process number that no longer runs
  const std::string dead = ".EV_1.dat.zeltmp-" + std::to_string(child) + "-3";
  const std::string deadPart = ".EV_2.dat.part-" + std::to_string(child) + "-0-00abcd";
  const std::string mine = ".EV_3.dat.zeltmp-" + std::to_string(::getpid()) + "-0";
  const std::string init = ".EV_4.dat.zeltmp-1-0";  // process 1 always runs
  for (const auto& n : {dead, deadPart, mine, init, std::string("plain.zeltmp-1-0")})
    Put(dir / n, "partial");
  ASSERT_TRUE(WriteFileAtomically(dir / "next.dat", "x"));
  EXPECT_FALSE(fs::exists(dir / dead));
  EXPECT_FALSE(fs::exists(dir / deadPart));
  EXPECT_TRUE(fs::exists(dir / mine));
  EXPECT_TRUE(fs::exists(dir / init));
  EXPECT_TRUE(fs::exists(dir / "plain.zeltmp-1-0"));

  long pid = 0;
  EXPECT_TRUE(IsTemporaryFileName(".a.zeltmp-42-7", &pid));
  EXPECT_EQ(pid, 42);
  EXPECT_FALSE(IsTemporaryFileName("a.zeltmp-42-7"));
  EXPECT_FALSE(IsTemporaryFileName(".a.zeltmp--7"));
  EXPECT_FALSE(IsTemporaryFileName(".a.zeltmp-42"));
}

TEST(StationLock, OneHolderAtATimeAcrossProcesses) {
  Folder dir;
  const fs::path station = dir / "zel.dat";
  StationLock a;
  ASSERT_EQ(a.TryLock(station), StationLock::Result::kLocked) << a.error();
  EXPECT_TRUE(fs::exists(dir / ".zel.dat.lock"));

  // A second lock in this process waits its turn.
  StationLock b;
  EXPECT_EQ(b.TryLock(station), StationLock::Result::kHeld);
  EXPECT_EQ(b.holder(), static_cast<long>(::getpid()));
  EXPECT_EQ(b.HeldMessage(),
            "Another poll of this station is running (process " + std::to_string(::getpid()) + ")");

  // Another process.
  const ChildResult c = InChild([&]() -> std::string {
    StationLock other;
    if (other.TryLock(station) != StationLock::Result::kHeld) return "not held";
    if (other.holder() != static_cast<long>(::getppid())) return "wrong holder";
    return "";
  });
  EXPECT_EQ(c.status, 0) << c.text;

  a.Unlock();
  EXPECT_EQ(b.TryLock(station), StationLock::Result::kLocked);
  StationLock moved(std::move(b));
  EXPECT_TRUE(moved.locked());
  EXPECT_FALSE(b.locked());  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(a.TryLock(station), StationLock::Result::kHeld);

  StationLock none;
  EXPECT_EQ(none.TryLock(dir / "no" / "zel.dat"), StationLock::Result::kError);
  EXPECT_NE(none.error().find("No such file or directory"), std::string::npos) << none.error();
}

}  // namespace
}  // namespace zel::platform
