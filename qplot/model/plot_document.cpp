#include "model/plot_document.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include "zel/platform/atomic_file.h"

namespace zel::qplot {
namespace {

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const std::vector<uint8_t>& in, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(in[at + static_cast<size_t>(i)]) << (8 * i);
  return v;
}

}  // namespace

int CVequation::UsedInputCount() const {
  int k = 0;
  for (int32_t i : in) k += i != kNoInput ? 1 : 0;
  return k;
}

int CVequation::TableIndex(const std::array<bool, kEquationInputs>& states) const {
  int index = 0;
  for (int i = kEquationInputs - 1; i >= 0; --i) {
    if (in[static_cast<size_t>(i)] == kNoInput) continue;
    index = index * 2 + (states[static_cast<size_t>(i)] ? 1 : 0);
  }
  return index;
}

bool CVequation::Output(const std::array<bool, kEquationInputs>& states) const {
  if (UsedInputCount() == 0) return false;
  return table[static_cast<size_t>(TableIndex(states))] != 0;
}

CZelQplotDoc::CZelQplotDoc() { NewDocument(); }

void CZelQplotDoc::NewDocument() {
  for (int c = 0; c < kChannelCount; ++c) {
    channels_[static_cast<size_t>(c)] = CPlot{0, c < inputCount_ ? c : kNoInput};
  }
  equations_.fill(CVequation{});
  modified_ = false;
  if (onChange_) onChange_();
}

std::vector<uint8_t> CZelQplotDoc::Serialize() const {
  std::vector<uint8_t> out(kTemplateSize, 0);
  for (size_t c = 0; c < kChannelCount; ++c) {
    PutU32(out, 8 * c, channels_[c].color);
    PutU32(out, 8 * c + 4, static_cast<uint32_t>(channels_[c].input));
  }
  for (size_t e = 0; e < kEquationCount; ++e) {
    const size_t base = kEquationsOffset + 32 * e;
    for (size_t i = 0; i < kEquationInputs; ++i)
      PutU32(out, base + 4 * i, static_cast<uint32_t>(equations_[e].in[i]));
    std::memcpy(out.data() + base + 16, equations_[e].table.data(), kTruthTableSize);
  }
  return out;
}

bool CZelQplotDoc::Deserialize(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < kTemplateSize) return false;
  for (size_t c = 0; c < kChannelCount; ++c) {
    channels_[c].color = GetU32(bytes, 8 * c);
    channels_[c].input = static_cast<int32_t>(GetU32(bytes, 8 * c + 4));
  }
  for (size_t e = 0; e < kEquationCount; ++e) {
    const size_t base = kEquationsOffset + 32 * e;
    for (size_t i = 0; i < kEquationInputs; ++i)
      equations_[e].in[i] = static_cast<int32_t>(GetU32(bytes, base + 4 * i));
    std::memcpy(equations_[e].table.data(), bytes.data() + base + 16, kTruthTableSize);
  }
  modified_ = false;
  if (onChange_) onChange_();
  return true;
}

bool CZelQplotDoc::Load(const std::filesystem::path& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error)
      *error =
          "Cannot open the plot template \"" + path.string() + "\": " + std::strerror(errno) + ".";
    return false;
  }
  std::vector<uint8_t> bytes;
  bytes.resize(kTemplateSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kTemplateSize));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (!Deserialize(bytes)) {
    if (error)
      *error = "The plot template \"" + path.string() + "\" ends after " +
               std::to_string(bytes.size()) + " of its 2304 bytes; it was not opened.";
    return false;
  }
  return true;
}

bool CZelQplotDoc::Save(const std::filesystem::path& path, std::string* error) const {
  const std::vector<uint8_t> bytes = Serialize();
  // Written beside the target and renamed over it once durable, so a failed save leaves the
  // previous template as it was.
  const platform::WriteResult r = platform::WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (r) return true;
  if (error)
    *error = "The plot template \"" + path.string() + "\" could not be saved: " + r.reason +
             ". The file on disk is unchanged.";
  return false;
}

void CZelQplotDoc::SetChannelInput(int c, int input) {
  if (c < 0 || c >= kChannelCount) return;
  channels_[static_cast<size_t>(c)].input = input;
  Changed();
}

void CZelQplotDoc::SetChannelColor(int c, uint32_t color) {
  if (c < 0 || c >= kChannelCount) return;
  channels_[static_cast<size_t>(c)].color = color;
  Changed();
}

void CZelQplotDoc::MoveChannel(int from, int to) {
  if (from < 0 || from >= kChannelCount || to < 0 || to >= kChannelCount || from == to) return;
  const CPlot moved = channels_[static_cast<size_t>(from)];
  if (from < to) {
    for (int c = from; c < to; ++c)
      channels_[static_cast<size_t>(c)] = channels_[static_cast<size_t>(c + 1)];
  } else {
    for (int c = from; c > to; --c)
      channels_[static_cast<size_t>(c)] = channels_[static_cast<size_t>(c - 1)];
  }
  channels_[static_cast<size_t>(to)] = moved;
  Changed();
}

int CZelQplotDoc::FillChannels(int first, const std::vector<int>& inputs) {
  if (first < 0 || first >= kChannelCount) return 0;
  int placed = 0;
  for (int input : inputs) {
    if (first + placed >= kChannelCount) break;
    channels_[static_cast<size_t>(first + placed)].input = input;
    ++placed;
  }
  if (placed > 0) Changed();
  return placed;
}

int CZelQplotDoc::ChannelsToPrint() const {
  for (int c = kChannelCount - 1; c >= 0; --c) {
    const int input = channels_[static_cast<size_t>(c)].input;
    if (input >= 0 && input < inputCount_) return c + 1;
  }
  return 0;
}

void CZelQplotDoc::SetEquation(int e, const CVequation& eq) {
  if (e < 0 || e >= kEquationCount) return;
  equations_[static_cast<size_t>(e)] = eq;
  Changed();
}

void CZelQplotDoc::Changed() {
  modified_ = true;
  if (onChange_) onChange_();
}

}  // namespace zel::qplot
