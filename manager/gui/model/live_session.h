// Opening live status on one recorder: the connection (with the Connecting dialog on serial
// and modem lines), the login, the query mode and the "L" that starts the live report stream.
// The window that shows the stream is the caller's; it closes the connection when it closes.
#pragma once

#include <optional>
#include <string>

#include "zel/comm/connect_dialog.h"
#include "zel/comm/connection.h"
#include "zel/core/settings.h"
#include "zel/platform/prompter.h"
#include "zel/recorder.h"

namespace zel::oxm {

inline constexpr char kLiveCaption[] = "View recorder live status";
inline constexpr char kLoginFailed[] = "Login failed";
inline constexpr char kNoLiveResponse[] = "No response\nCheck recorder type and firmware version";
inline constexpr char kLiveWhilePolling[] =
    "A poll is running on the line. Wait for it to end (or abort it) before viewing live status.";
inline constexpr char kLiveCommand[] = "L";

// The recorder's waits of live status, scaled in tests.
struct LiveTimings {
  int quiet_ms = 2000;    // silence after the login
  int answer_ms = 30000;  // "?" after "|"
  LiveTimings Scaled(double factor) const;
};

struct LiveOpen {
  bool connected = false;  // true: the stream runs and the caller owns the open connection
  int selector = 0;
};

// Connects (Direct: the recorder's direct line at DirectBaud; Dial: the modem Port and Baud
// with the recorder's phone number), logs in, enters query mode and sends "L". Every failure
// is told through `prompter` (connection failures by ConnectWithDialog) and leaves the
// connection closed. A stale abort flag is cleared first, so an earlier Abort cannot end this
// attempt before it starts.
LiveOpen OpenLiveStatus(comm::Connection& c, const RecorderRecord& r, bool direct,
                        const core::StationSettings& settings, const LiveTimings& timings,
                        comm::ConnectingView& view, platform::Prompter& prompter);

}  // namespace zel::oxm
