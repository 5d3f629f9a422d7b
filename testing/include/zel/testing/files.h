// Small file helpers for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeltest {

// The whole file as bytes in a string; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& file);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
// Replaces `file` with `bytes`; false when that fails.
bool WriteText(const std::filesystem::path& file, std::string_view bytes);
bool WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);
// Names of the entries directly in `folder` (files and folders), sorted; empty when missing.
std::vector<std::string> FileNames(const std::filesystem::path& folder);
// How often `what` occurs in `text` (overlapping occurrences count).
int CountOf(std::string_view text, std::string_view what);

}  // namespace zeltest
