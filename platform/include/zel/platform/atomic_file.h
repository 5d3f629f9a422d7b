// One safe way to replace a file: the new contents go to a hidden temporary file in the target's
// folder, are made durable, and only then take the target's name. A crash or a failed write
// leaves the old file byte for byte.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zel::platform {

// ok, or the reason a person can read.
struct WriteResult {
  bool ok = true;
  std::string reason;  // e.g. "No space left on device"
  explicit operator bool() const { return ok; }
};

struct WriteOptions {
  // Permission bits for a file that does not exist yet (e.g. 0600 for a file holding
  // passwords); negative: the system's default (0666 less the umask). A file that exists keeps
  // its own permission bits either way.
  int newFileMode = -1;
};

// Replaces `target` with `bytes`: temporary file in the target's folder, write, fsync, rename
// over the target, fsync the folder. On failure the target is as it was and the temporary file
// is gone. A target that is a symbolic link is written through to the file it leads to (the link
// stays). Hidden temporary files left in that folder by processes that no longer exist are
// removed first.
WriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);
WriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                const WriteOptions& options);

// The same, for contents that arrive piece by piece (a file being received). Nothing is visible
// under the target's name until Commit() succeeds; a writer destroyed without a successful
// Commit() removes its temporary file.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target, WriteOptions options = {});
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file. Must succeed before Write().
  WriteResult Open();
  // Appends bytes (buffered; written out in large pieces). After a failure every later call
  // fails with the same reason.
  WriteResult Write(std::string_view bytes);
  // Writes what is buffered, fsyncs, renames over the target, fsyncs the folder.
  WriteResult Commit();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

  // The file that is replaced: the target, or where a symbolic link target leads.
  const std::filesystem::path& file() const { return file_; }
  // Bytes accepted by Write() so far.
  std::size_t size() const { return size_; }

 private:
  WriteResult Fail(const std::string& reason);
  bool FlushBuffer();

  std::filesystem::path target_;
  std::filesystem::path file_;
  std::filesystem::path temp_;
  WriteOptions options_;
  int fd_ = -1;
  int mode_ = -1;  // permission bits given to the file at Commit(); negative: leave as created
  std::string buffer_;
  std::size_t size_ = 0;
  WriteResult failed_;  // ok until something failed
};

// True when `a` and `b` name one existing file (the same file through another name, a link or a
// hard link included): a tool refuses to write its output over its input.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Hidden temporary files of ours in `folder` whose process no longer exists are removed.
// Returns how many were removed. Files of running processes (this one included) stay.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// True when `name` (a file name, no folder) is one of our hidden temporary files; *pid is the
// process that made it.
bool IsTemporaryFileName(std::string_view name, long* pid = nullptr);

}  // namespace zel::platform
