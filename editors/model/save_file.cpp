#include "model/save_file.h"

#if __has_include("zel/platform/atomic_file.h")
#include "zel/platform/atomic_file.h"
#define ZEL_EDITORS_HAVE_ATOMIC_FILE 1
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace zel::editors {

#ifdef ZEL_EDITORS_HAVE_ATOMIC_FILE

FileWriteResult ReplaceFile(const std::filesystem::path& target, std::string_view bytes) {
  const platform::WriteResult r = platform::WriteFileAtomically(target, bytes);
  return {r.ok, r.reason};
}

#else

// Stand-in until the platform's safe writer is available in this tree: the same steps.
FileWriteResult ReplaceFile(const std::filesystem::path& target, std::string_view bytes) {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return {false, std::strerror(errno)};
  const auto fail = [&](int err) {
    ::close(fd);
    ::unlink(temp.c_str());
    return FileWriteResult{false, std::strerror(err)};
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return {false, std::strerror(err)};
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return {false, std::strerror(err)};
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

#endif

}  // namespace zel::editors
