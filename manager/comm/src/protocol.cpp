#include "zel/comm/protocol.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "zel/catalogue.h"
#include "zel/comm/xmodem.h"
#include "zel/day_number.h"
#include "zel/setup_database.h"

namespace zel::comm {
namespace {

void Send(Connection& c, int selector, std::string_view bytes) {
  c.SendBlock(selector, reinterpret_cast<const uint8_t*>(bytes.data()),
              static_cast<int>(bytes.size()));
}

// Command bytes of the protocol set go only to the recorders that speak it.
void SendP(Connection& c, int selector, const RecorderRecord& r, std::string_view bytes) {
  if (InProtocolSet(r.type)) Send(c, selector, bytes);
}

std::string Format(const char* fmt, auto... args) {
  char buf[128];
  const int n = std::snprintf(buf, sizeof buf, fmt, args...);
  if (n < 0) return {};
  return std::string(buf, static_cast<size_t>(std::min<int>(n, sizeof buf - 1)));
}

// The administrative password stored in a setup database file of the model; nullopt for a
// model without a setup layout or a file that cannot be read.
std::optional<std::string> StoredSetupPassword(RecorderType type,
                                               const std::filesystem::path& file) {
  SetupDatabase db(type);
  if (!db.valid() || !db.LoadFile(file)) return std::nullopt;
  return db.AdministrativePassword();
}

}  // namespace

std::string ClockCommand(const platform::LocalTime& t) {
  return Format("ST%d\x1b[C%d\x1b[C%d\x1b[B%d\x1b[D%d\x1b[D%d\r\x1b\x1bY\x1b\x1b", t.hour, t.minute,
                t.second, t.year % 100, t.day, t.month);
}

std::string DayCommand(const platform::LocalTime& d) {
  const int y = d.year % 100;
  return Format("A%02d-%02d-%02d 0:0:0 %02d-%02d-%02d 23:59:59\r", d.month, d.day, y, d.month,
                d.day, y);
}

std::string IntervalCommand(const platform::LocalTime& s, const platform::LocalTime& e) {
  return Format("A%d-%d-%d %d:%d:%d %d-%d-%d %d:%d:%d\r", s.month, s.day, s.year % 100, s.hour,
                s.minute, s.second, e.month, e.day, e.year % 100, e.hour, e.minute, e.second);
}

std::string EventFileName(const platform::LocalTime& day, const platform::LocalTime& t) {
  return Format("%02d%02d%02d-%02d%02d%02d.bin", day.year % 100, day.month, day.day, t.hour,
                t.minute, t.second);
}

int Login(Connection& c, int selector, const RecorderRecord& r) {
  const Timings& t = c.timings();
  Send(c, selector, kWakeUp);
  const int prompt = c.WaitForText(selector, t.prompt_ms, kPasswordPrompt);
  c.WaitQuiet(selector, t.login_quiet_ms);
  if (c.Aborted()) return kPollAborted;
  if (!prompt) return kPollNoLogin;
  Send(c, selector, r.password);
  if (c.Aborted()) return kPollAborted;
  c.SendByte(selector, '\r');
  if (c.Aborted()) return kPollAborted;
  const int again = c.WaitForText(selector, t.password_ms, kPasswordPrompt);
  if (c.Aborted()) return kPollAborted;
  return again ? kPollWrongPassword : kPollSuccess;
}

int SetClock(Connection& c, int selector, const RecorderRecord& r, const platform::Clock& clock) {
  const platform::LocalTime now = clock.Now();
  SendP(c, selector, r, ClockCommand(now));
  return kPollSuccess;
}

int Logoff(Connection& c, int selector, const RecorderRecord& /*r*/) {
  Send(c, selector, kLogoffCommand);
  return c.Aborted() ? kPollAborted : kPollSuccess;
}

int DownloadSetup(Connection& c, int selector, const RecorderRecord& r,
                  const std::filesystem::path& target) {
  const Timings& t = c.timings();
  SendP(c, selector, r, kSetupDownloadCommand);
  c.WaitQuiet(selector, t.setup_quiet_ms);
  if (c.Aborted()) return kPollAborted;
  const int rx = XmodemReceive(c, selector, target);
  SendP(c, selector, r, kAfterSetupTransfer);
  c.WaitQuiet(selector, t.setup_quiet_ms);
  if (c.Aborted()) return kPollAborted;
  return rx != 0 ? kPollTransferFailed : kPollSuccess;
}

int UploadSetup(Connection& c, int selector, const RecorderRecord& r,
                const std::filesystem::path& folder, const PasswordUpdate& update) {
  const Timings& t = c.timings();
  SendP(c, selector, r, kSetupUploadCommand);
  c.WaitQuiet(selector, t.setup_quiet_ms);
  if (c.Aborted()) return kPollAborted;
  SendP(c, selector, r, kSetupUploadConfirm);
  const int ready = c.WaitForText(selector, t.upload_cc_ms, kSetupUploadReady);
  if (c.Aborted()) return kPollAborted;
  if (!ready) return kPollTransferFailed;
  const std::filesystem::path file = folder / kSetupFileName;
  const int tx = XmodemSend(c, selector, file);
  SendP(c, selector, r, kAfterSetupTransfer);
  c.WaitQuiet(selector, t.setup_quiet_ms);
  if (c.Aborted()) return kPollAborted;
  if (tx != 0) return kPollTransferFailed;
  if (update) {
    if (const std::optional<std::string> pw = StoredSetupPassword(r.type, file)) update(r.id, *pw);
  }
  return kPollSuccess;
}

int EnterQueryMode(Connection& c, int selector, const RecorderRecord& r) {
  if (!InProtocolSet(r.type)) return 1;
  Send(c, selector, kEnterQueryCommand);
  if (c.WaitForText(selector, c.timings().query_prompt_ms, kQueryPrompt)) return 1;
  Send(c, selector, kLeaveQueryCommand);
  return 0;
}

void LeaveQueryMode(Connection& c, int selector, const RecorderRecord& /*r*/) {
  Send(c, selector, kLeaveQueryCommand);
}

int QueryDay(Connection& c, int selector, const RecorderRecord& /*r*/,
             const platform::LocalTime& day, const platform::LocalTime& poll_time,
             const std::filesystem::path& folder) {
  Send(c, selector, DayCommand(day));
  return XmodemReceive(c, selector, folder / EventFileName(day, poll_time)) == 0
             ? kPollSuccess
             : kPollTransferFailed;
}

int QueryDay(Connection& c, int selector, const RecorderRecord& r, int day_number,
             const platform::LocalTime& poll_time, const std::filesystem::path& folder) {
  const std::optional<CivilDate> d = zel::DateOfDayNumber(day_number);
  if (!d) return kPollTransferFailed;  // outside 2000-2099: nothing to ask for
  platform::LocalTime day;
  day.year = 2000 + d->year;
  day.month = d->month;
  day.day = d->day;
  return QueryDay(c, selector, r, day, poll_time, folder);
}

int QueryInterval(Connection& c, int selector, const RecorderRecord& /*r*/,
                  const platform::LocalTime& start, const platform::LocalTime& end,
                  const std::filesystem::path& target) {
  Send(c, selector, IntervalCommand(start, end));
  return XmodemReceive(c, selector, target) == 0 ? kPollSuccess : kPollTransferFailed;
}

}  // namespace zel::comm
