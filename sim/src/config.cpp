#include "zel/sim/config.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "zel/catalogue.h"

namespace zel::sim {
namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ToLong(const std::string& s, long long& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ToDouble(const std::string& s, double& v) {
  if (s.empty()) return false;
  size_t used = 0;
  try {
    v = std::stod(s, &used);
  } catch (...) {
    return false;
  }
  return used == s.size() && std::isfinite(v);
}

bool ToBool(const std::string& s, bool& v) {
  const std::string l = Lower(s);
  if (l == "yes" || l == "true" || l == "on" || l == "1") return v = true, true;
  if (l == "no" || l == "false" || l == "off" || l == "0") return v = false, true;
  return false;
}

bool Rate(const std::string& s, double& v) { return ToDouble(s, v) && v >= 0 && v <= 1; }

}  // namespace

bool ParseSetupAnswer(const std::string& text, RecorderConfig::SetupAnswer& out) {
  const std::string l = Lower(text);
  if (l == "database")
    out = RecorderConfig::SetupAnswer::kDatabase;
  else if (l == "eot")
    out = RecorderConfig::SetupAnswer::kEotOnly;
  else if (l == "one_block")
    out = RecorderConfig::SetupAnswer::kOneBlock;
  else
    return false;
  return true;
}

bool ParseValue(const std::string& raw, std::string& value) {
  std::string t = Trim(raw);
  if (t.empty() || t[0] != '"') {
    value = t;
    return true;
  }
  if (t.size() < 2 || t.back() != '"') return false;
  value.clear();
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    char c = t[i];
    if (c != '\\') {
      value.push_back(c);
      continue;
    }
    if (++i + 1 > t.size() - 1) return false;
    switch (t[i]) {
      case 'r':
        value.push_back('\r');
        break;
      case 'n':
        value.push_back('\n');
        break;
      case 't':
        value.push_back('\t');
        break;
      case 'e':
        value.push_back('\x1b');
        break;
      case '\\':
        value.push_back('\\');
        break;
      case '"':
        value.push_back('"');
        break;
      default:
        return false;
    }
  }
  return true;
}

bool ParseConfig(std::istream& in, SimConfig& out, std::string* error) {
  out = SimConfig{};
  enum { kTop, kRecorder, kModem } section = kTop;
  std::string line;
  int no = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(no) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++no;
    if (line.size() > 4096) return fail("line too long");
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (t[0] == '[') {
      if (t.back() != ']') return fail("a section header ends with ]");
      std::string inner = Trim(t.substr(1, t.size() - 2));
      std::string kind = Lower(inner.substr(0, inner.find(' ')));
      std::string name =
          inner.find(' ') == std::string::npos ? "" : Trim(inner.substr(inner.find(' ')));
      if (kind == "recorder") {
        section = kRecorder;
        RecorderEntry e;
        e.config.name = name.empty() ? "recorder" + std::to_string(out.recorders.size() + 1) : name;
        e.config.type = -1;
        e.config.seed = out.recorders.size() + 1;
        e.config.scale = -1;  // the global scale unless the section sets one
        out.recorders.push_back(e);
      } else if (kind == "modem") {
        section = kModem;
        ModemEntry m;
        m.name = name.empty() ? "modem" + std::to_string(out.modems.size() + 1) : name;
        out.modems.push_back(m);
      } else {
        return fail("unknown section [" + inner + "] (use [recorder NAME] or [modem NAME])");
      }
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return fail("expected key = value");
    const std::string key = Lower(Trim(t.substr(0, eq)));
    std::string value;
    if (!ParseValue(t.substr(eq + 1), value)) return fail("bad quoted value for " + key);
    long long n = 0;
    double d = 0;
    bool b = false;
    if (section == kTop) {
      if (key == "scale") {
        if (!ToDouble(value, d) || d <= 0 || d > 100)
          return fail("scale must be above 0, at most 100");
        out.scale = d;
      } else {
        return fail("unknown key " + key + " outside a section");
      }
      continue;
    }
    if (section == kModem) {
      ModemEntry& m = out.modems.back();
      DialEntry e;
      e.number = value;
      if (key == "pty") {
        m.pty = value;
      } else if (key == "busy") {
        e.kind = DialEntry::Kind::kBusy;
        m.numbers.push_back(e);
      } else if (key == "no_carrier") {
        e.kind = DialEntry::Kind::kNoCarrier;
        m.numbers.push_back(e);
      } else if (key == "no_answer") {
        e.kind = DialEntry::Kind::kNoAnswer;
        m.numbers.push_back(e);
      } else {
        return fail("unknown modem key " + key);
      }
      if (key != "pty" && DialDigits(value).empty()) return fail("a phone number needs digits");
      continue;
    }
    RecorderEntry& r = out.recorders.back();
    RecorderConfig& c = r.config;
    if (key == "model") {
      c.type = zel::ParseModel(value);
      if (c.type < 0 || FindSimModel(c.type) == nullptr) return fail("unknown model " + value);
    } else if (key == "password") {
      if (value.empty() || value.size() > 8) return fail("a password has 1 to 8 characters");
      c.password = value;
    } else if (key == "setup") {
      c.setup_file = value;
    } else if (key == "seed") {
      if (!ToLong(value, n) || n < 0) return fail("seed must be a number");
      c.seed = static_cast<uint64_t>(n);
    } else if (key == "events_per_day") {
      if (!ToLong(value, n) || n < 0 || n > 5000) return fail("events_per_day must be 0-5000");
      c.events_per_day = static_cast<int>(n);
    } else if (key == "tcp") {
      if (!ToLong(value, n) || n < 0 || n > 65535) return fail("tcp must be a port 0-65535");
      r.tcp = static_cast<int>(n);
    } else if (key == "pty") {
      r.pty = value;
    } else if (key == "phone") {
      if (DialDigits(value).empty()) return fail("a phone number needs digits");
      r.phone = value;
    } else if (key == "corrupt_rate") {
      if (!Rate(value, c.faults.corrupt_rate)) return fail("corrupt_rate must be 0 to 1");
    } else if (key == "drop_rate") {
      if (!Rate(value, c.faults.drop_rate)) return fail("drop_rate must be 0 to 1");
    } else if (key == "duplicate_rate") {
      if (!Rate(value, c.duplicate_rate)) return fail("duplicate_rate must be 0 to 1");
    } else if (key == "disconnect_after") {
      if (!ToLong(value, n) || n < -1) return fail("disconnect_after must be -1 or more");
      c.faults.disconnect_after = n;
    } else if (key == "bytes_per_second") {
      if (!ToLong(value, n) || n < 0 || n > 10'000'000)
        return fail("bytes_per_second must be 0-10000000");
      c.faults.bytes_per_second = static_cast<int>(n);
    } else if (key == "no_answer") {
      if (!ToBool(value, b)) return fail("no_answer must be yes or no");
      c.no_answer = b;
    } else if (key == "prompt") {
      if (value.empty() || value.size() > 64) return fail("prompt must be 1 to 64 characters");
      c.prompt = value;
    } else if (key == "scale") {
      if (!ToDouble(value, d) || d <= 0 || d > 100)
        return fail("scale must be above 0, at most 100");
      c.scale = d;
    } else if (key == "setup_answer") {
      if (!ParseSetupAnswer(value, c.setup_answer))
        return fail("setup_answer must be database, eot or one_block");
    } else if (key == "babble_ms") {
      if (!ToLong(value, n) || n < 0 || n > 600000) return fail("babble_ms must be 0-600000");
      c.babble_ms = static_cast<int>(n);
    } else if (key == "endless_transfers") {
      if (!ToBool(value, b)) return fail("endless_transfers must be yes or no");
      c.endless_transfers = b;
    } else if (key == "drip_ms") {
      if (!ToLong(value, n) || n < 0 || n > 600000) return fail("drip_ms must be 0-600000");
      c.drip_ms = static_cast<int>(n);
    } else {
      return fail("unknown recorder key " + key);
    }
  }
  for (RecorderEntry& r : out.recorders) {
    if (r.config.type < 0) {
      if (error) *error = "recorder " + r.config.name + " has no model";
      return false;
    }
    if (r.tcp < 0 && r.pty.empty() && r.phone.empty()) {
      if (error) *error = "recorder " + r.config.name + " has no tcp, pty or phone";
      return false;
    }
    r.config.faults.seed = static_cast<unsigned>(r.config.seed);
    if (r.config.scale < 0) r.config.scale = out.scale;
  }
  for (const ModemEntry& m : out.modems) {
    if (m.pty.empty()) {
      if (error) *error = "modem " + m.name + " has no pty";
      return false;
    }
  }
  return true;
}

}  // namespace zel::sim
