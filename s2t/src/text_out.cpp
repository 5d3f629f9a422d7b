#include "text_out.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace zel::s2t {
namespace {

void VAppendf(std::string& out, const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  out.append(big.data(), static_cast<size_t>(n));
}

}  // namespace

void Appendf(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VAppendf(out, format, args);
  va_end(args);
}

std::string Format(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  VAppendf(out, format, args);
  va_end(args);
  return out;
}

bool WriteFileAtomically(const std::string& path, std::string_view text, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = what;
    return false;
  };
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.parent_path();
  // A fresh name beside the target, so the rename stays inside one file system.
  std::random_device seed;
  std::FILE* file = nullptr;
  std::filesystem::path temp;
  for (int attempt = 0; attempt < 16 && file == nullptr; ++attempt) {
    std::string name(1, '.');
    name += target.filename().string();
    name += Format(".tmp%08x", seed());
    temp = folder / name;
    file = std::fopen(temp.string().c_str(), "wx");  // text mode, never an existing file
    if (file == nullptr && errno != EEXIST) break;
  }
  if (file == nullptr) {
    return fail("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::filesystem::remove(temp);
    return fail("cannot write " + temp.string() + ": " +
                std::strerror(written ? errno : write_errno));
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp);
    return fail("cannot replace " + path + ": " + ec.message());
  }
  return true;
}

}  // namespace zel::s2t
