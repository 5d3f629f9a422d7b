// Tests wait for what they expect to see (a byte, a file, a state) with a generous limit, never
// for a fixed time: the condition is checked at short intervals until it holds or the limit
// passes. The limit only bounds a failing test; a passing one goes on as soon as it can.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string_view>

namespace zeltest {

// The limit for things that happen "soon" (a thread starting, a child answering, a file
// appearing): long enough for a loaded sanitizer build, short enough to end a hung test.
inline constexpr std::chrono::milliseconds kGenerousWait{20000};

// True as soon as `condition()` holds; false when it still does not after `limit`.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = kGenerousWait);

// True once `file` exists.
bool WaitForFile(const std::filesystem::path& file,
                 std::chrono::milliseconds limit = kGenerousWait);

// True once `file` holds `text` somewhere.
bool WaitForText(const std::filesystem::path& file, std::string_view text,
                 std::chrono::milliseconds limit = kGenerousWait);

}  // namespace zeltest
