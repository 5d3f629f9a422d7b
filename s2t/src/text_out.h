// Small text helpers of the converters: printf-style appending and a file writer that never
// leaves a half-written listing behind.
#pragma once

#include <string>
#include <string_view>

namespace zel::s2t {

// Appends printf-formatted text to out.
void Appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns printf-formatted text.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces path with text through the platform's safe file writer. On failure path is left as
// it was, and error (when given) says what failed.
bool WriteFileAtomically(const std::string& path, std::string_view text, std::string* error);

}  // namespace zel::s2t
