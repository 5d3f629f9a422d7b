// What the station manager's main window computes and shows, without widgets: the clock line,
// the menus and their commands, the arguments each poll command hands to the poll engine, the
// progress of a poll run, the polling time slider and the delete confirmation countdown.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zel/core/poll_engine.h"
#include "zel/core/recorder_rules.h"
#include "zel/core/settings.h"
#include "zel/platform/clock.h"

namespace zel::oxm {

inline constexpr char kWindowCaption[] = "ZEL Station Manager";
inline constexpr char kListTitle[] = "List of Recorders to poll";
inline constexpr char kExitCaption[] = "Exit";
inline constexpr char kExitQuestion[] = "Exit Program, are you sure?";
inline constexpr char kAboutTitle[] = "About ZEL";
inline constexpr char kAboutLine[] = "ZEL Version 5.06";
inline constexpr char kAboutMenuText[] = "&About ZEL...";
inline constexpr char kHelpPage[] = "ZEL.html";
inline constexpr int kTickMs = 1000;

// "Sunday" ... "Saturday"; empty outside 0..6.
std::string WeekdayName(int weekday);
// "Sun" ... "Sat" (the schedule's check boxes).
std::string WeekdayShortName(int weekday);
// "%02d:%02d:%02d %s" with hour, minute, second and the weekday name.
std::string ClockLineText(const platform::LocalTime& t);

// "zel.dat could not be saved: <reason>".
std::string SaveFailedMessage(const std::string& reason);
// The same, asking whether to end the program without the changes.
std::string ExitSaveFailedQuestion(const std::string& reason);
// A poll asked for while another program polls this station: that program's message ("Another
// poll of this station is running (process N)") and that this poll was not started.
std::string PollHeldMessage(const std::string& held);
// The step field's text when the schedule's poll could not start.
inline constexpr char kScheduledPoll[] = "Scheduled poll";

// ---- menus ----
struct MenuEntry {
  std::vector<std::string> path;  // menu texts with their '&' mnemonics, then the item's text
  core::Command command;
  std::string shortcut;  // key sequence text ("Ctrl+S"), empty for none
};
// The menu bar, in order.
const std::vector<MenuEntry>& MenuBar();
// The right-click menu of the list: the menu bar's entries that it offers, in the same order
// and submenus ("Cancel" is added by the window).
std::vector<MenuEntry> ContextMenu();
// An item's text without its mnemonic marks ("Poll &Todays Data" -> "Poll Todays Data").
std::string PlainText(const std::string& menu_text);

// ---- poll commands ----
enum class Connection { Dial, Direct, Preferred };
struct PollCommand {
  core::Command command;
  bool one;  // One: exactly one selected recorder; else Group
  Connection connection;
  uint32_t ops;
  bool scheduledDaysBack;  // back to the previous enabled day; else 0
};
// The poll, download and upload commands; nullopt for any other command.
std::optional<PollCommand> PollCommandOf(core::Command c);
// Direct line or modem for this command.
bool UsesDirect(Connection c, const core::StationSettings& s);
// Days back for this command on weekday `weekday`.
int DaysBackOf(const PollCommand& c, const core::WeeklySchedule& schedule, int weekday);

// ---- progress of a poll run ----
// Fed from the poll thread (PollEngine::onEvent), read by the window's timer.
class PollProgress {
 public:
  struct Snapshot {
    bool active = false;  // a run has started and not ended
    int total = 0;        // recorders of the run
    int done = 0;         // recorders finished
    int attempt = 0;      // attempt on the current recorder, 1 up
    int blocks = 0;       // blocks moved so far by the transfer in progress, 0 when none
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
  };
  void OnEvent(const core::PollEvent& e);
  // Called from the line as a transfer moves blocks: the count so far (0 when one starts).
  void OnBlocks(int blocks);
  Snapshot Get() const;
  // "%d of %d recorders", and ", block %d" while a transfer moves blocks (the bar's text).
  static std::string Text(const Snapshot& s);

 private:
  mutable std::mutex mu_;
  Snapshot s_;
  std::string current_;
};

// ---- polling time dialog ----
inline constexpr int kPollingTimeMax = 95;  // 23:45
inline constexpr int kPollingTimeTick = 4;  // a tick every full hour
inline constexpr char kPollingTimeTitle[] = "Polling Time";

// ---- delete confirmation ----
// Counts down from 60 once a second; at 0 the dialog answers "No".
class DeleteCountdown {
 public:
  static constexpr int kStart = 60;
  int Remaining() const { return remaining_; }
  // One second passed; true when the time is up (the dialog closes as "No").
  bool Tick() {
    if (remaining_ > 0) --remaining_;
    return remaining_ == 0;
  }
  void Reset() { remaining_ = kStart; }

 private:
  int remaining_ = kStart;
};

}  // namespace zel::oxm
