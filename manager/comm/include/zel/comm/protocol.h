// API-STABLE
// The recorder command protocol: the steps a poll runs on an open connection. Every step returns
// a poll result code (0 success, 5 no login, 6 wrong password, 7 transfer or handshake failure,
// 8 aborted). Steps work on files in the recorder's folder, which they take as an argument.
// Command bytes marked "protocol set" are sent only to recorders of the protocol set
// (InProtocolSet); for any other model they are left out and the rest of the step runs as usual.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "zel/comm/connection.h"
#include "zel/platform/clock.h"
#include "zel/recorder.h"

namespace zel::comm {

constexpr int kPollSuccess = 0;
constexpr int kPollNoLogin = 5;
constexpr int kPollWrongPassword = 6;
constexpr int kPollTransferFailed = 7;
constexpr int kPollAborted = 8;

inline constexpr char kPasswordPrompt[] = "Enter password: ";
inline constexpr char kWakeUp[] = "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b";
inline constexpr char kLogoffCommand[] = "XY";
inline constexpr char kSetupDownloadCommand[] = "TD";
inline constexpr char kSetupUploadCommand[] = "TU";
inline constexpr char kSetupUploadConfirm[] = "Y";
inline constexpr char kSetupUploadReady[] = "CC";
inline constexpr char kAfterSetupTransfer[] = "\r\x1b\x1b";
inline constexpr char kEnterQueryCommand[] = "|";
inline constexpr char kQueryPrompt[] = "?";
inline constexpr char kLeaveQueryCommand[] = "\x1b\x1b";
inline constexpr char kSetupFileName[] = "setupdata.bin";

// Called by UploadSetup with the recorder ID and the password stored in the uploaded file; the
// owner of the recorder list updates the recorder with that ID, when it still has one.
using PasswordUpdate = std::function<void(const std::string& id, const std::string& password)>;

// Wake-up, password prompt, password. 0, 5 (no prompt), 6 (prompt came back) or 8.
int Login(Connection& c, int selector, const RecorderRecord& r);

// Sets the recorder's clock to `clock`'s local time (protocol set only). Always 0.
int SetClock(Connection& c, int selector, const RecorderRecord& r, const platform::Clock& clock);

// Sends "XY". 0, or 8 when the abort flag is set.
int Logoff(Connection& c, int selector, const RecorderRecord& r);

// Downloads the setup database into `target` (a full path). A database shorter than the
// model's layout, or one that runs past the model's written length plus one block (the transfer
// is then cancelled), is not kept: `target` stays as it was and the result is 7, with the
// reason in `why`. 0, 7 or 8.
int DownloadSetup(Connection& c, int selector, const RecorderRecord& r,
                  const std::filesystem::path& target, std::string* why = nullptr);

// Uploads `folder`/setupdata.bin, then hands the password stored in the bytes sent to `update`
// (not for a model without a setup layout). A file that cannot be read, or whose length is not
// one of its model's (from the layout's length to the written length plus one block), is
// refused before anything is sent: 7, with the reason in `why`. 0, 7 or 8.
int UploadSetup(Connection& c, int selector, const RecorderRecord& r,
                const std::filesystem::path& folder, const PasswordUpdate& update,
                std::string* why = nullptr);

// Acceptable lengths of a setup database file of the model: its layout's length up to its
// written length plus one XMODEM block. Both 0 for a model without a setup layout.
struct SetupLengths {
  std::size_t min = 0;
  std::size_t max = 0;
};
SetupLengths SetupFileLengths(RecorderType type);

// Sends "|" and waits for "?". 1 when it came (or the model is outside the protocol set and
// nothing was sent), 0 when not (ESC ESC has then been sent).
int EnterQueryMode(Connection& c, int selector, const RecorderRecord& r);

// Sends ESC ESC.
void LeaveQueryMode(Connection& c, int selector, const RecorderRecord& r);

// Fetches the events of one day into `folder`/EventFileName(day, poll_time). 0 or 7. An event
// file is bounded by the connection's Timings (event_file_max_bytes): past it the transfer is
// cancelled, nothing is kept, and `why` says so.
int QueryDay(Connection& c, int selector, const RecorderRecord& r, const platform::LocalTime& day,
             const platform::LocalTime& poll_time, const std::filesystem::path& folder,
             std::string* why = nullptr);
// The same for a day number (days since 1 January 2000); 7 for one outside 2000-2099.
int QueryDay(Connection& c, int selector, const RecorderRecord& r, int day_number,
             const platform::LocalTime& poll_time, const std::filesystem::path& folder,
             std::string* why = nullptr);

// Fetches the events from `start` to `end` into `target`, bounded as QueryDay. 0 or 7.
int QueryInterval(Connection& c, int selector, const RecorderRecord& r,
                  const platform::LocalTime& start, const platform::LocalTime& end,
                  const std::filesystem::path& target, std::string* why = nullptr);

// The command texts, as sent.
std::string ClockCommand(const platform::LocalTime& t);
std::string DayCommand(const platform::LocalTime& day);
std::string IntervalCommand(const platform::LocalTime& start, const platform::LocalTime& end);

// "%02d%02d%02d-%02d%02d%02d.bin": year % 100, month, day of the day fetched, then hour,
// minute, second of the poll.
std::string EventFileName(const platform::LocalTime& day, const platform::LocalTime& poll_time);

}  // namespace zel::comm
