// The terminal's modem talk against a scripted modem: the exact bytes sent, every verdict, the
// modem's answers shown as they arrive, cancel and a lost line.
#include "src/modem_dialog.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace zel::vantel {
namespace {

// Answers a command once its CR has been written; unscripted commands get no answer.
class ScriptedModem : public comm::Transport {
 public:
  std::map<std::string, std::string> answers;
  std::string written;
  bool gone = false;
  int Write(const uint8_t* data, size_t n) override {
    if (gone) return -1;
    for (size_t i = 0; i < n; ++i) {
      const char c = static_cast<char>(data[i]);
      written.push_back(c);
      if (c == '\r') {
        auto it = answers.find(command_);
        if (it != answers.end())
          pending_.insert(pending_.end(), it->second.begin(), it->second.end());
        command_.clear();
      } else {
        command_.push_back(c);
      }
    }
    return static_cast<int>(n);
  }
  int ReadByte() override {
    if (pending_.empty()) return -1;
    const int b = static_cast<uint8_t>(pending_.front());
    pending_.pop_front();
    return b;
  }
  bool WaitReadable(int) override { return !pending_.empty(); }
  bool LineGone() const override { return gone && pending_.empty(); }
  void Close() override {}

 private:
  std::string command_;
  std::deque<char> pending_;
};

struct DialRun {
  DialResult result;
  std::string shown;
  bool afterOk = false;
};

DialRun DialWith(ScriptedModem& m, const std::string& init, const std::string& number,
                 std::function<bool()> cancelled = {}) {
  DialRun r{};
  ModemDialog d{m, [&r](std::string_view b) { r.shown += b; }, std::move(cancelled)};
  d.okMs = 50;
  d.dialMs = 50;
  d.stepMs = 5;
  r.result = Dial(d, init, number, [&r] { r.afterOk = true; });
  return r;
}

TEST(ModemDialog, ConnectsShowingEveryAnswerAndSendsTheExactBytes) {
  ScriptedModem m;
  m.answers["AT"] = "\r\nOK\r\n";
  m.answers["ATDT9,555-0101"] = "\r\nCONNECT 9600\r\nEnter password: ";
  DialRun r = DialWith(m, "", "9,555-0101");
  EXPECT_EQ(r.result, DialResult::kConnected);
  EXPECT_TRUE(r.afterOk);
  EXPECT_EQ(m.written, "\rAT\rATDT9,555-0101\r");
  // Everything the modem said, to the end of its CONNECT line; what follows is the recorder's.
  EXPECT_EQ(r.shown, "\r\nOK\r\n\r\nCONNECT 9600\r\n");
  EXPECT_EQ(m.ReadByte(), 'E');
}

TEST(ModemDialog, InitStringGoesBetweenTwoCarriageReturns) {
  ScriptedModem m;
  m.answers["ATZ E0"] = "OK";
  m.answers["ATDT1"] = "CONNECT";
  EXPECT_EQ(DialWith(m, "ATZ E0", "1").result, DialResult::kConnected);
  EXPECT_EQ(m.written, "\rATZ E0\rATDT1\r");
}

TEST(ModemDialog, EveryVerdict) {
  const std::pair<const char*, DialResult> cases[] = {{"BUSY", DialResult::kBusy},
                                                      {"NO CARRIER", DialResult::kNoCarrier},
                                                      {"NO DIALTONE", DialResult::kNoDialtone},
                                                      {"NO ANSWER", DialResult::kNoAnswer},
                                                      {"ERROR", DialResult::kDialError},
                                                      {"", DialResult::kNoConnect}};
  for (const auto& [answer, verdict] : cases) {
    ScriptedModem m;
    m.answers["AT"] = "OK";
    if (*answer) m.answers["ATDT5"] = std::string("\r\n") + answer + "\r\n";
    DialRun r = DialWith(m, "", "5");
    EXPECT_EQ(r.result, verdict) << answer;
    EXPECT_FALSE(DialResultText(r.result).empty());
  }
  ScriptedModem silent;
  DialRun r = DialWith(silent, "", "5");
  EXPECT_EQ(r.result, DialResult::kNoModem);
  EXPECT_FALSE(r.afterOk);
  EXPECT_EQ(silent.written, "\rAT\r");  // no dial without OK
  ScriptedModem refusing;
  refusing.answers["AT&Q9"] = "ERROR";
  EXPECT_EQ(DialWith(refusing, "AT&Q9", "5").result, DialResult::kInitError);
}

TEST(ModemDialog, CancelAndLostLine) {
  ScriptedModem m;
  m.answers["AT"] = "OK";
  EXPECT_EQ(DialWith(m, "", "5", [] { return true; }).result, DialResult::kCancelled);
  ScriptedModem gone;
  gone.gone = true;
  EXPECT_EQ(DialWith(gone, "", "5").result, DialResult::kLineGone);
}

}  // namespace
}  // namespace zel::vantel
