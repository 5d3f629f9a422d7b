#include "zel/testing/wait.h"

#include <poll.h>

#include <algorithm>

#include "zel/testing/files.h"

namespace zeltest {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + limit;
  int pause_ms = 1;
  for (;;) {
    if (condition()) return true;
    const auto now = Clock::now();
    if (now >= end) return condition();
    // Look often at first, then every 20 ms; never stop short of the limit.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
    ::poll(nullptr, 0, static_cast<int>(std::min<long long>(pause_ms, left)));
    pause_ms = std::min(pause_ms * 2, 20);
  }
}

bool WaitForFile(const std::filesystem::path& file, std::chrono::milliseconds limit) {
  return WaitUntil(
      [&] {
        std::error_code ec;
        return std::filesystem::exists(file, ec);
      },
      limit);
}

bool WaitForText(const std::filesystem::path& file, std::string_view text,
                 std::chrono::milliseconds limit) {
  return WaitUntil([&] { return ReadText(file).find(text) != std::string::npos; }, limit);
}

}  // namespace zeltest
