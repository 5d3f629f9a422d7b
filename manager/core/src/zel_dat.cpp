#include "zel/core/zel_dat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "zel/platform/atomic_file.h"
#include "zel/platform/station_lock.h"

namespace zel::core {

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
bool CutTo(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return false;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return true;
}

// A quoted field ends at the next double quote and the file has no escape for one, so a quote
// inside a text would end the field early and shift every later field of the record (type,
// port, address). The quote characters are left out; the rest of the record stays intact.
std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s)
    if (c != '"') out.push_back(c);
  out += '"';
  return out;
}

// Texts never carry a line feed or a NUL into the file: either would start a new line or end
// the value early on the next load.
std::string FileText(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\n' && c != '\0') out.push_back(c);
  return out;
}

void AppendNumberLine(std::string& out, const char* key, int32_t value) {
  out += key;
  out += '=';
  out += std::to_string(value);
  out += "\r\n";
}

void AppendTextLine(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += '=';
  out += FileText(value);
  out += "\r\n";
}

int32_t FieldNumber(const std::vector<std::string>& f, std::size_t i) {
  return i < f.size() ? ParseZelNumber(f[i]) : 0;
}
std::string FieldText(const std::vector<std::string>& f, std::size_t i) {
  return i < f.size() ? f[i] : std::string();
}

template <typename T>
bool ClampValue(T& v, T lo, T hi) {
  if (v < lo) {
    v = lo;
    return true;
  }
  if (v > hi) {
    v = hi;
    return true;
  }
  return false;
}

}  // namespace

int32_t ParseZelNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t kCap = int64_t{1} << 40;  // far past every 32-bit value
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kCap) value = kCap;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value > int64_t{std::numeric_limits<uint32_t>::max()})
    return std::numeric_limits<int32_t>::max();
  // -2^31 .. 2^32-1: the 32-bit pattern, so "%u" and "%d" forms read back alike.
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::vector<std::string> SplitZelFields(std::string_view value) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  const std::size_t n = value.size();
  while (i < n) {
    if (value[i] == '"') {
      std::size_t close = value.find('"', i + 1);
      if (close == std::string_view::npos) {
        fields.emplace_back(value.substr(i + 1));
        return fields;
      }
      fields.emplace_back(value.substr(i + 1, close - i - 1));
      i = close + 1;
      if (i < n && value[i] == ',') ++i;
    } else {
      std::size_t comma = value.find(',', i);
      if (comma == std::string_view::npos) {
        fields.emplace_back(value.substr(i));
        return fields;
      }
      fields.emplace_back(value.substr(i, comma - i));
      i = comma + 1;
    }
  }
  return fields;
}

ZelDatContents ParseZelDat(std::string_view text) {
  ZelDatContents c;
  c.settings = StationSettings::Empty();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    std::string_view line =
        eol == std::string_view::npos ? text.substr(pos) : text.substr(pos, eol - pos);
    pos = eol == std::string_view::npos ? text.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // A NUL ends the line's text; a line longer than the limit keeps only its first part
    // (the rest is not read as a line of its own).
    if (std::size_t nul = line.find('\0'); nul != std::string_view::npos)
      line = line.substr(0, nul);
    if (line.size() > kMaxZelDatLine) line = line.substr(0, kMaxZelDatLine);
    if (line.empty()) continue;

    std::string_view key = line;
    std::string_view value;
    if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
      key = line.substr(0, eq);
      value = line.substr(eq + 1);
    }
    StationSettings& s = c.settings;
    if (key == "DirectPort") {
      s.directPort = ParseZelNumber(value);
    } else if (key == "DirectBaud") {
      s.directBaud = ParseZelNumber(value);
    } else if (key == "Port") {
      s.port = ParseZelNumber(value);
    } else if (key == "Baud") {
      s.baud = ParseZelNumber(value);
    } else if (key == "PreferedConnection") {
      s.preferedConnection = ParseZelNumber(value);
    } else if (key == "ModemInit") {
      s.modemInit = std::string(value);
    } else if (key == "DialPrefix") {
      s.dialPrefix = std::string(value);
    } else if (key == "DataFolder") {
      s.dataFolder = std::string(value);
    } else if (key == "AutoDelete") {
      s.autoDelete = ParseZelNumber(value);
    } else if (key == "Retries") {
      s.retries = ParseZelNumber(value);
    } else if (key == "ClockSync") {
      s.clockSync = ParseZelNumber(value);
    } else if (key == "UseTxtFile") {
      s.useTxtFile = ParseZelNumber(value);
    } else if (key == "MakeText") {
      s.makeText = ParseZelNumber(value);
    } else if (key == "Schedule") {
      auto f = SplitZelFields(value);
      for (std::size_t d = 0; d < 7; ++d) {
        s.schedule[d].enabled = FieldNumber(f, 2 * d);
        s.schedule[d].time = FieldNumber(f, 2 * d + 1);
      }
      c.scheduleLoaded = true;
    } else if (key == "Recorder") {
      auto f = SplitZelFields(value);
      RecorderRecord r;
      r.id = FieldText(f, 0);
      r.phone = FieldText(f, 1);
      r.password = FieldText(f, 2);
      r.type = FieldNumber(f, 3);
      for (std::size_t k = 0; k < 5; ++k) r.reserved[k] = FieldNumber(f, 4 + k);
      r.port = FieldNumber(f, 9);
      r.clockSetDay = FieldNumber(f, 10);
      r.ipAddress = static_cast<uint32_t>(FieldNumber(f, 11));
      r.tcpPort = FieldNumber(f, 12);
      c.recorders.push_back(std::move(r));
    }
  }
  return c;
}

std::vector<std::string> ApplyZelDatLimits(ZelDatContents& c) {
  std::vector<std::string> notes;
  StationSettings& s = c.settings;
  auto cut = [&](std::string& text, std::size_t limit, const std::string& what) {
    if (CutTo(text, limit))
      notes.push_back(what + " is longer than " + std::to_string(limit) +
                      " characters; it was cut to \"" + text + "\".");
  };
  auto clamp = [&](int32_t& v, int32_t lo, int32_t hi, const std::string& what) {
    int32_t old = v;
    if (ClampValue(v, lo, hi))
      notes.push_back(what + " " + std::to_string(old) + " is out of range; " + std::to_string(v) +
                      " is used.");
  };
  constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
  cut(s.modemInit, kMaxModemText, "ModemInit");
  cut(s.dialPrefix, kMaxModemText, "DialPrefix");
  cut(s.dataFolder, kMaxDataFolder, "DataFolder");
  clamp(s.directBaud, 0, kMaxBaudCode, "DirectBaud");
  clamp(s.baud, 0, kMaxBaudCode, "Baud");
  clamp(s.retries, kMinRetries, kMaxRetries, "Retries");
  clamp(s.directPort, 0, kIntMax, "DirectPort");
  clamp(s.port, 0, kIntMax, "Port");
  for (auto& r : c.recorders) {
    std::string who = "Recorder \"" + r.id + "\"";
    cut(r.id, kMaxRecorderId, who + " ID");
    cut(r.phone, kMaxPhone, who + " phone number");
    // A password is never echoed: the note says only that it was cut.
    if (CutTo(r.password, kMaxPassword))
      notes.push_back(who + " password is longer than " + std::to_string(kMaxPassword) +
                      " characters; only its first " + std::to_string(kMaxPassword) + " are used.");
    clamp(r.port, -1, kIntMax, who + " port selection");
  }
  return notes;
}

std::string FormatRecorderLine(const RecorderRecord& r) {
  std::string out = "Recorder=";
  out +=
      Quoted(FileText(r.id)) + "," + Quoted(FileText(r.phone)) + "," + Quoted(FileText(r.password));
  auto field = [&out](const std::string& number) {
    out += ',';
    out += number;
  };
  field(std::to_string(r.type));
  field(std::to_string(static_cast<uint32_t>(r.reserved[0])));
  for (std::size_t k = 1; k < 5; ++k) field(std::to_string(r.reserved[k]));
  field(std::to_string(r.port));
  field(std::to_string(r.clockSetDay));
  field(std::to_string(static_cast<int32_t>(r.ipAddress)));
  field(std::to_string(r.tcpPort));
  return out;
}

std::string FormatZelDat(const StationSettings& s, const std::vector<RecorderRecord>& recorders) {
  std::string out;
  AppendNumberLine(out, "DirectPort", s.directPort);
  AppendNumberLine(out, "DirectBaud", s.directBaud);
  AppendNumberLine(out, "Port", s.port);
  AppendNumberLine(out, "Baud", s.baud);
  AppendNumberLine(out, "PreferedConnection", s.preferedConnection);
  AppendTextLine(out, "ModemInit", s.modemInit);
  AppendTextLine(out, "DialPrefix", s.dialPrefix);
  AppendTextLine(out, "DataFolder", s.dataFolder);
  AppendNumberLine(out, "AutoDelete", s.autoDelete);
  AppendNumberLine(out, "Retries", s.retries);
  AppendNumberLine(out, "ClockSync", s.clockSync);
  AppendNumberLine(out, "UseTxtFile", s.useTxtFile);
  AppendNumberLine(out, "MakeText", s.makeText);
  out += "Schedule=";
  for (std::size_t d = 0; d < 7; ++d) {
    if (d) out += ',';
    out += std::to_string(s.schedule[d].enabled) + "," + std::to_string(s.schedule[d].time);
  }
  out += "\r\n";
  for (const auto& r : recorders) out += FormatRecorderLine(r) + "\r\n";
  return out;
}

ZelDatLoad LoadZelDat(const fs::path& file) {
  ZelDatLoad load;
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || fs::is_directory(file, ec)) {
    load.contents.settings = StationSettings::Defaults();
    return load;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  load.fileFound = true;
  load.contents = ParseZelDat(text);
  load.adjusted = ApplyZelDatLimits(load.contents);
  return load;
}

bool SaveZelDat(const fs::path& file, const StationSettings& settings,
                const std::vector<RecorderRecord>& recorders, std::string* error) {
  // zel.dat holds the recorders' passwords: a new file is readable by its owner only, an
  // existing one keeps its permissions, and a link is written through to its file.
  const platform::WriteResult r = platform::WriteFileAtomically(
      file, FormatZelDat(settings, recorders), platform::WriteOptions{.newFileMode = 0600});
  if (!r) {
    if (error)
      *error = "The settings could not be saved. " + r.reason + " The previous file is unchanged.";
    return false;
  }
  return true;
}

bool SaveZelDat(const fs::path& file, const StationSettings& settings,
                const RecorderList& recorders, std::string* error) {
  return SaveZelDat(file, settings, recorders.Snapshot(), error);
}

std::vector<RecorderChange> RecorderChanges(const std::vector<RecorderRecord>& before,
                                            const std::vector<RecorderRecord>& after) {
  std::vector<RecorderChange> changes;
  for (std::size_t i = 0; i < after.size(); ++i) {
    const RecorderRecord& now = after[i];
    // The run keeps the order; a recorder is found by ID when it does not.
    const RecorderRecord* was = nullptr;
    if (i < before.size() && before[i].id == now.id) {
      was = &before[i];
    } else {
      for (const auto& b : before) {
        if (b.id == now.id) {
          was = &b;
          break;
        }
      }
    }
    if (was == nullptr) continue;
    RecorderChange c;
    c.id = now.id;
    if (now.clockSetDay != was->clockSetDay) c.clockSetDay = now.clockSetDay;
    if (now.password != was->password) c.password = now.password;
    if (c.clockSetDay || c.password) changes.push_back(std::move(c));
  }
  return changes;
}

bool SaveZelDatChanges(const fs::path& file, const std::vector<RecorderChange>& changes,
                       const StationSettings& settings,
                       const std::vector<RecorderRecord>& recorders, std::string* error) {
  if (changes.empty()) return true;
  // Nobody writes between this read and this write (the station manager window saves under the
  // same lock).
  const platform::StationWriteLock writeLock(file);
  ZelDatLoad now = LoadZelDat(file);
  // The file went away meanwhile: the run's own list is all there is to keep.
  if (!now.fileFound) return SaveZelDat(file, settings, recorders, error);
  for (const RecorderChange& c : changes) {
    for (RecorderRecord& r : now.contents.recorders) {
      if (r.id != c.id) continue;
      if (c.clockSetDay) r.clockSetDay = *c.clockSetDay;
      if (c.password) r.password = *c.password;
      break;  // the first recorder of an ID is the one a poll reaches
    }
  }
  return SaveZelDat(file, now.contents.settings, now.contents.recorders, error);
}

}  // namespace zel::core
