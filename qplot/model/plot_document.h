// The plot template: which input each of the 256 plot channels shows and in which colour, and
// eight virtual equations. Saved as a ".zpl" file of exactly 2304 bytes, little-endian, with
// no header: per channel colour and input number (8 bytes each), then per equation four input
// numbers and a 16-byte truth table (32 bytes each).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel::qplot {

inline constexpr int kChannelCount = 256;
inline constexpr int kEquationCount = 8;
inline constexpr int kEquationInputs = 4;
inline constexpr int kTruthTableSize = 16;
inline constexpr size_t kTemplateSize = 2304;
inline constexpr size_t kEquationsOffset = 2048;
inline constexpr int kNoInput = -1;

// One plot channel. Colour is 0x00BBGGRR.
struct CPlot {
  uint32_t color = 0;
  int32_t input = kNoInput;
  friend bool operator==(const CPlot&, const CPlot&) = default;
};

// One virtual equation: up to four inputs (kNoInput = not used) and a table indexed by the
// states of the used inputs, In1 the least significant bit.
struct CVequation {
  std::array<int32_t, kEquationInputs> in = {kNoInput, kNoInput, kNoInput, kNoInput};
  std::array<uint8_t, kTruthTableSize> table{};
  friend bool operator==(const CVequation&, const CVequation&) = default;

  int UsedInputCount() const;
  // The table index of the given input states (states[i] for In(i+1)); only used inputs count,
  // taken In4 first so In1 ends as the least significant bit.
  int TableIndex(const std::array<bool, kEquationInputs>& states) const;
  // Output for the states; an equation with no used input is off.
  bool Output(const std::array<bool, kEquationInputs>& states) const;
};

class CZelQplotDoc {
 public:
  CZelQplotDoc();

  // N: the number of inputs of the loaded event file (0 when nothing is loaded). It decides the
  // new-document defaults and which input numbers are equations (N to N+7).
  int InputCount() const { return inputCount_; }
  void SetInputCount(int n) { inputCount_ = n; }

  // Channel c shows input c when c < N, else nothing; colour 0; equations cleared.
  void NewDocument();
  // The file image; exactly kTemplateSize bytes.
  std::vector<uint8_t> Serialize() const;
  // Replaces channels and equations from a file image. A short image fails and leaves the
  // document as it was; bytes beyond 2304 are ignored.
  bool Deserialize(const std::vector<uint8_t>& bytes);
  // File forms; the error text tells a person what failed.
  bool Load(const std::filesystem::path& path, std::string* error);
  bool Save(const std::filesystem::path& path, std::string* error) const;

  const CPlot& Channel(int c) const { return channels_.at(static_cast<size_t>(c)); }
  void SetChannelInput(int c, int input);
  void SetChannelColor(int c, uint32_t color);
  // Moves channel `from` to row `to`; the channels between shift by one row to close the gap.
  void MoveChannel(int from, int to);
  // The inputs go into consecutive channels from `first` onward, stopping after channel 255.
  // Returns how many were placed.
  int FillChannels(int first, const std::vector<int>& inputs);
  // One more than the last channel whose input is a recorder input (0 to N-1); 0 when none.
  int ChannelsToPrint() const;

  const CVequation& Equation(int e) const { return equations_.at(static_cast<size_t>(e)); }
  void SetEquation(int e, const CVequation& eq);

  bool IsModified() const { return modified_; }
  void SetModified(bool m) { modified_ = m; }
  // Called after every change (the window redraws).
  void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }

 private:
  void Changed();

  int inputCount_ = 0;
  std::array<CPlot, kChannelCount> channels_{};
  std::array<CVequation, kEquationCount> equations_{};
  bool modified_ = false;
  std::function<void()> onChange_;
};

}  // namespace zel::qplot
