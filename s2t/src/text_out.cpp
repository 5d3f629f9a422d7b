#include "text_out.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "zel/platform/atomic_file.h"

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
  const platform::WriteResult r = platform::WriteFileAtomically(path, text);
  if (!r && error != nullptr) *error = r.reason;
  return r.ok;
}

}  // namespace zel::s2t
