#include "zel/sim/modem.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <thread>

namespace zel::sim {
namespace {

using Steady = std::chrono::steady_clock;
constexpr size_t kMaxCommand = 128;

// The line as the recorder sees it during a call. "+++" between two guard times of silence
// returns the modem to command mode, which ends the call.
class CallLink : public Link {
 public:
  CallLink(FdLink& inner, int guard_ms) : inner_(inner), guard_ms_(guard_ms) {}

  int ReadByte(int timeout_ms) override {
    if (escaped_) return kClosed;
    int b = inner_.ReadByte(timeout_ms);
    const auto now = Steady::now();
    if (b >= 0) {
      const bool quiet_before =
          now - last_ >= std::chrono::milliseconds(guard_ms_) || (plus_ > 0 && plus_ < 3);
      if (b == '+' && quiet_before) {
        if (++plus_ == 3) plus_time_ = now;
      } else {
        plus_ = 0;
      }
      last_ = now;
      return b;
    }
    if (b == kTimeout && plus_ == 3 && now - plus_time_ >= std::chrono::milliseconds(guard_ms_)) {
      escaped_ = true;
      return kClosed;
    }
    return b;
  }
  bool Write(const uint8_t* data, size_t n) override { return !escaped_ && inner_.Write(data, n); }
  bool IsClosed() const override { return escaped_ || inner_.IsClosed(); }
  void Drain() override { inner_.Drain(); }
  bool escaped() const { return escaped_; }

 private:
  FdLink& inner_;
  int guard_ms_;
  Steady::time_point last_ = Steady::now();
  Steady::time_point plus_time_{};
  int plus_ = 0;
  bool escaped_ = false;
};

}  // namespace

std::string DialDigits(const std::string& text) {
  std::string d;
  for (char c : text)
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') d.push_back(c);
  return d;
}

Modem::Modem(std::vector<DialEntry> plan, double scale) : plan_(std::move(plan)), scale_(scale) {}

int Modem::Ms(int ms) const { return std::max(1, static_cast<int>(std::lround(ms * scale_))); }

const DialEntry* Modem::Lookup(const std::string& dialled) const {
  const std::string d = DialDigits(dialled);
  if (d.empty()) return nullptr;
  const DialEntry* best = nullptr;
  size_t best_len = 0;
  for (const DialEntry& e : plan_) {
    const std::string n = DialDigits(e.number);
    if (n.empty()) continue;
    if (n == d) return &e;
    if (d.size() > n.size() && d.compare(d.size() - n.size(), n.size(), n) == 0 &&
        n.size() > best_len) {
      best = &e;
      best_len = n.size();
    }
  }
  return best;
}

bool Modem::Say(FdLink& line, const std::string& text) {
  return line.Write("\r\n" + text + "\r\n");
}

bool Modem::Command(FdLink& line, const std::string& raw, const std::atomic<bool>& stop) {
  std::string cmd;
  for (char c : raw) cmd.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  // Blanks between commands mean nothing to a modem.
  cmd.erase(std::remove(cmd.begin(), cmd.end(), ' '), cmd.end());
  if (cmd.size() < 2 || cmd.compare(0, 2, "AT") != 0) return true;  // not for the modem
  std::string rest = cmd.substr(2);
  const size_t d = rest.find('D');
  if (d == std::string::npos) {
    if (rest.find("E0") != std::string::npos) echo_ = false;
    if (rest.find("E1") != std::string::npos) echo_ = true;
    return Say(line, "OK");
  }
  std::string number = raw.substr(raw.find_first_of("dD", 2) + 1);
  if (!number.empty() &&
      (number[0] == 'T' || number[0] == 't' || number[0] == 'P' || number[0] == 'p'))
    number.erase(0, 1);
  const DialEntry* e = Lookup(number);
  // The far end rings a while before anything happens.
  auto ring_until = Steady::now() + std::chrono::milliseconds(Ms(2000));
  while (Steady::now() < ring_until && !stop.load()) {
    int b = line.ReadByte(std::max(1, Ms(50)));
    if (b == kClosed) return false;
    if (b >= 0) return Say(line, "NO CARRIER");  // any key aborts the dial
  }
  if (e == nullptr || e->kind == DialEntry::Kind::kNoCarrier) return Say(line, "NO CARRIER");
  if (e->kind == DialEntry::Kind::kBusy) return Say(line, "BUSY");
  if (e->kind == DialEntry::Kind::kNoAnswer) return true;  // rings for ever, says nothing
  if (e->recorder == nullptr) return Say(line, "NO CARRIER");
  if (!Say(line, "CONNECT 9600")) return false;
  ++calls_;
  CallLink call(line, Ms(1000));
  e->recorder->Serve(call, stop);
  if (line.IsClosed()) return false;
  if (call.escaped()) return Say(line, "OK");  // back in command mode; the call is dropped
  return Say(line, "NO CARRIER");
}

void Modem::Serve(FdLink& line, const std::atomic<bool>& stop, bool reopenable) {
  std::string cmd;
  while (!stop.load()) {
    int b = line.HungUp() ? kClosed : line.ReadByte(50);
    if (b == kClosed) {
      if (!reopenable) return;
      // Port closed on the other side: the call (if any) is over; wait for the next open.
      cmd.clear();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      line.Reopen();
      continue;
    }
    if (b < 0) continue;
    if (echo_) {
      const uint8_t c = static_cast<uint8_t>(b);
      line.Write(&c, 1);
    }
    if (b == '\r') {
      std::string c = cmd;
      cmd.clear();
      if (!Command(line, c, stop)) {
        if (!reopenable) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        line.Reopen();
      }
    } else if (b == '\n') {
      continue;
    } else if (b == 0x08 || b == 0x7F) {
      if (!cmd.empty()) cmd.pop_back();
    } else if (cmd.size() < kMaxCommand) {
      cmd.push_back(static_cast<char>(b));
    }
  }
}

}  // namespace zel::sim
