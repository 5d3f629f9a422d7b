// Lines of the recorders' report streams (live status and the real-time plotter): a fixed
// 32-byte line assembler fed byte by byte, and the split of one live status line into its
// number and the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel::gui {

// Collects the bytes of one line. CR ends a line; LF empties the buffer without giving a line
// (bytes that never formed a CR-terminated line are dropped); any other byte is kept while the
// line holds fewer than MaxLine characters, later ones of the same line are dropped. Live
// status keeps 31 characters (a 32-byte buffer), the real-time stream 79.
template <std::size_t MaxLine>
class StreamLineAssembler {
 public:
  static constexpr std::size_t kMaxLine = MaxLine;

  // Feeds one byte; true when it ended a non-empty line, which line() then holds until the
  // next Feed.
  bool Feed(uint8_t byte) {
    ready_ = 0;
    if (byte == '\r') {
      if (len_ == 0) return false;
      ready_ = len_;
      len_ = 0;
      return true;
    }
    if (byte == '\n') {
      len_ = 0;
      return false;
    }
    // The finished line and the one being collected share the buffer: a line is handed out at
    // its CR and the next byte starts the next line from the front.
    if (len_ < kMaxLine) buf_[len_++] = static_cast<char>(byte);
    return false;
  }
  std::string_view line() const { return std::string_view(buf_.data(), ready_); }
  // Characters of the line being collected.
  std::size_t pending() const { return len_; }
  void Reset() { len_ = ready_ = 0; }

  // Feeds every byte of `bytes`, calling on_line(std::string_view) for each finished line.
  template <typename OnLine>
  void FeedAll(std::string_view bytes, OnLine&& on_line) {
    for (char c : bytes)
      if (Feed(static_cast<uint8_t>(c))) on_line(line());
  }

 private:
  std::array<char, kMaxLine> buf_{};
  std::size_t len_ = 0;    // characters of the line being collected
  std::size_t ready_ = 0;  // characters of the finished line (0 when none)
};

// The live status stream's: a 32-byte buffer, so at most 31 characters of a line.
using LiveLineAssembler = StreamLineAssembler<31>;

// One live status line taken apart: the decimal number at its start (0 without digits), and
// what follows it.
struct LiveLine {
  enum class Kind {
    kState,  // number, one blank, a decimal state
    kValue,  // number, one separator that is neither a digit nor a blank, the value text
    kNone,   // nothing after the number: neither kind
  };
  Kind kind = Kind::kNone;
  long number = 0;         // saturates at kMaxNumber
  long state = 0;          // kState: the decimal after the blank (0 without digits)
  std::string_view value;  // kValue: the rest of the line after the separator
  static constexpr long kMaxNumber = 1'000'000'000;
};
LiveLine SplitLiveLine(std::string_view line);

}  // namespace zel::gui
