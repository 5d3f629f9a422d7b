#include "zel/comm/protocol.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
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

void Tell(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

std::string Bytes(std::size_t n) { return std::to_string(n) + " bytes"; }

// The limits of an event file, and the reason a receive past them failed.
ReceiveLimits EventLimits(const Connection& c) {
  ReceiveLimits l;
  if (c.timings().event_file_max_bytes > 0)
    l.maxBytes = static_cast<std::size_t>(c.timings().event_file_max_bytes);
  return l;
}

void TellEventReport(std::string* why, const ReceiveReport& rep, const ReceiveLimits& l,
                     const std::filesystem::path& target) {
  if (rep.tooLong)
    Tell(why, "the event file " + target.filename().string() + " grew past " + Bytes(l.maxBytes) +
                  " without an end; the transfer was cancelled and nothing was kept");
}

}  // namespace

SetupLengths SetupFileLengths(RecorderType type) {
  SetupDatabase db(type);
  if (!db.valid()) return {};
  return {db.FieldLength(), db.WrittenLength() + kXmodemBlockSize};
}

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
  // A line that never falls quiet fails the login within the prompt's own time.
  const bool quiet = c.WaitQuiet(selector, t.login_quiet_ms, t.prompt_ms);
  if (c.Aborted()) return kPollAborted;
  if (!prompt || (!quiet && !c.LineGone())) return kPollNoLogin;
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
                  const std::filesystem::path& target, std::string* why) {
  const Timings& t = c.timings();
  // A setup database has its model's length: an empty or cut-short one must never replace a
  // good file, and a sender that does not stop must not fill the disk.
  const SetupLengths lengths = SetupFileLengths(r.type);
  ReceiveLimits limits;
  if (lengths.max > 0) limits = {lengths.min, lengths.max};
  SendP(c, selector, r, kSetupDownloadCommand);
  // The quiet waits of the setup steps are bounded by the transfer's start time-out.
  const bool quiet = c.WaitQuiet(selector, t.setup_quiet_ms, t.xmodem_start_ms);
  if (c.Aborted()) return kPollAborted;
  if (!quiet && !c.LineGone()) {
    Tell(why, "the line did not fall quiet before the setup transfer; nothing was received");
    return kPollTransferFailed;
  }
  ReceiveReport report;
  const int rx = XmodemReceive(c, selector, target, limits, &report);
  SendP(c, selector, r, kAfterSetupTransfer);
  const bool after = c.WaitQuiet(selector, t.setup_quiet_ms, t.xmodem_start_ms);
  if (c.Aborted()) return kPollAborted;
  const std::string model = TypeName(r.type);
  if (report.tooShort)
    Tell(why, "the setup database received is " + Bytes(report.bytes) + ", shorter than a " +
                  model + " setup database (" + Bytes(lengths.min) + "); it was not kept and " +
                  target.filename().string() + " is unchanged");
  if (report.tooLong)
    Tell(why, "the setup database received ran past " + Bytes(lengths.max) + ", longer than a " +
                  model + " setup database; the transfer was cancelled and " +
                  target.filename().string() + " is unchanged");
  if (rx == 0 && !after && !c.LineGone()) {
    Tell(why, "the line did not fall quiet after the setup transfer");
    return kPollTransferFailed;
  }
  return rx != 0 ? kPollTransferFailed : kPollSuccess;
}

int UploadSetup(Connection& c, int selector, const RecorderRecord& r,
                const std::filesystem::path& folder, const PasswordUpdate& update,
                std::string* why) {
  const Timings& t = c.timings();
  const std::filesystem::path file = folder / kSetupFileName;
  // The file is read and checked before anything is sent: an empty or cut-short database would
  // leave the recorder without its configuration and the station with a wrong password.
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(file, std::ios::binary);
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || in.bad()) {
      Tell(why, "the setup database " + file.string() + " cannot be read; nothing was sent");
      return kPollTransferFailed;
    }
  }
  const SetupLengths lengths = SetupFileLengths(r.type);
  if (lengths.max > 0 && (bytes.size() < lengths.min || bytes.size() > lengths.max)) {
    Tell(why, "the setup database " + file.string() + " is " + Bytes(bytes.size()) + "; a " +
                  TypeName(r.type) + " setup database is " + Bytes(lengths.min) +
                  (lengths.max - lengths.min > kXmodemBlockSize
                       ? " (written as " + Bytes(lengths.max - kXmodemBlockSize) + ")"
                       : std::string()) +
                  ". It was not sent and the recorder's password was not changed");
    return kPollTransferFailed;
  }
  SendP(c, selector, r, kSetupUploadCommand);
  const bool quiet = c.WaitQuiet(selector, t.setup_quiet_ms, t.upload_cc_ms);
  if (c.Aborted()) return kPollAborted;
  if (!quiet && !c.LineGone()) return kPollTransferFailed;
  SendP(c, selector, r, kSetupUploadConfirm);
  const int ready = c.WaitForText(selector, t.upload_cc_ms, kSetupUploadReady);
  if (c.Aborted()) return kPollAborted;
  if (!ready) return kPollTransferFailed;
  const int tx = XmodemSendBytes(c, selector, bytes);
  SendP(c, selector, r, kAfterSetupTransfer);
  const bool after = c.WaitQuiet(selector, t.setup_quiet_ms, t.upload_cc_ms);
  if (c.Aborted()) return kPollAborted;
  if (tx != 0 || (!after && !c.LineGone())) return kPollTransferFailed;
  // The password the recorder now has is the one in the bytes it received.
  SetupDatabase db(r.type);
  if (update && db.valid()) {
    db.LoadBytes(bytes);
    update(r.id, db.AdministrativePassword());
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
             const std::filesystem::path& folder, std::string* why) {
  Send(c, selector, DayCommand(day));
  const std::filesystem::path target = folder / EventFileName(day, poll_time);
  const ReceiveLimits limits = EventLimits(c);
  ReceiveReport report;
  const int rx = XmodemReceive(c, selector, target, limits, &report);
  TellEventReport(why, report, limits, target);
  return rx == 0 ? kPollSuccess : kPollTransferFailed;
}

int QueryDay(Connection& c, int selector, const RecorderRecord& r, int day_number,
             const platform::LocalTime& poll_time, const std::filesystem::path& folder,
             std::string* why) {
  const std::optional<CivilDate> d = zel::DateOfDayNumber(day_number);
  if (!d) return kPollTransferFailed;  // outside 2000-2099: nothing to ask for
  platform::LocalTime day;
  day.year = 2000 + d->year;
  day.month = d->month;
  day.day = d->day;
  return QueryDay(c, selector, r, day, poll_time, folder, why);
}

int QueryInterval(Connection& c, int selector, const RecorderRecord& /*r*/,
                  const platform::LocalTime& start, const platform::LocalTime& end,
                  const std::filesystem::path& target, std::string* why) {
  Send(c, selector, IntervalCommand(start, end));
  const ReceiveLimits limits = EventLimits(c);
  ReceiveReport report;
  const int rx = XmodemReceive(c, selector, target, limits, &report);
  TellEventReport(why, report, limits, target);
  return rx == 0 ? kPollSuccess : kPollTransferFailed;
}

}  // namespace zel::comm
