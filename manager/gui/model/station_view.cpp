#include "model/station_view.h"

#include <cstdio>
#include <cstdlib>

#include "zel/core/schedule.h"

namespace zel::oxm {

using core::Command;

namespace {

constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

}  // namespace

std::string WeekdayName(int weekday) {
  if (weekday < 0 || weekday > 6) return {};
  return kDays[weekday];
}

std::string WeekdayShortName(int weekday) { return WeekdayName(weekday).substr(0, 3); }

std::string ClockLineText(const platform::LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %s", t.hour, t.minute, t.second,
                WeekdayName(t.weekday).c_str());
  return buf;
}

std::string SaveFailedMessage(const std::string& reason) {
  return "zel.dat could not be saved: " + reason;
}

std::string ExitSaveFailedQuestion(const std::string& reason) {
  return SaveFailedMessage(reason) +
         "\n\nExit anyway? The changes made since the last save will be lost.";
}

std::string PollHeldMessage(const std::string& held) {
  return held + ".\nThis poll was not started; try again when that one has ended.";
}

// ---- menus ----

const std::vector<MenuEntry>& MenuBar() {
  static const std::vector<MenuEntry> kMenu = {
      {{"&File", "&Save"}, Command::Save, "Ctrl+S"},
      {{"&File", "E&xit"}, Command::Exit, ""},
      {{"&Edit", "&Add"}, Command::Add, ""},
      {{"&Edit", "&Delete"}, Command::Delete, ""},
      {{"&Edit", "&Edit"}, Command::Edit, ""},
      {{"&Edit", "&Move"}, Command::Move, ""},
      {{"&Edit", "Edit Recorder &Setup Data"}, Command::EditSetupData, ""},
      {{"&Edit", "&Properties..."}, Command::Properties, ""},
      {{"&Access", "&Connect", "&Dial"}, Command::ConnectDial, ""},
      {{"&Access", "&Connect", "Di&rect"}, Command::ConnectDirect, ""},
      {{"&Access", "Poll &Scheduled Data", "&Dial"}, Command::PollScheduledDial, ""},
      {{"&Access", "Poll &Scheduled Data", "Di&rect"}, Command::PollScheduledDirect, ""},
      {{"&Access", "Poll &Todays Data", "&Dial"}, Command::PollTodayDial, ""},
      {{"&Access", "Poll &Todays Data", "Di&rect"}, Command::PollTodayDirect, ""},
      {{"&Access", "&Query Selected Interval", "&Get Data"}, Command::QueryGetData, ""},
      {{"&Access", "&Query Selected Interval", "&View Data"}, Command::QueryViewData, ""},
      {{"&Access", "&Query Selected Interval", "&Plot Data"}, Command::QueryPlotData, ""},
      {{"&Access", "&Real Time Plot", "&Dial"}, Command::RealTimeDial, ""},
      {{"&Access", "&Real Time Plot", "Di&rect"}, Command::RealTimeDirect, ""},
      {{"&Access", "Stat&us", "&Dial"}, Command::StatusDial, ""},
      {{"&Access", "Stat&us", "Di&rect"}, Command::StatusDirect, ""},
      {{"&Access", "D&ownload Setup Data (recorder->ZEL)", "&Dial"},
       Command::DownloadSetupDial,
       ""},
      {{"&Access", "D&ownload Setup Data (recorder->ZEL)", "Di&rect"},
       Command::DownloadSetupDirect,
       ""},
      {{"&Access", "U&pload Setup Data (ZEL->recorder)", "&Dial"}, Command::UploadSetupDial, ""},
      {{"&Access", "U&pload Setup Data (ZEL->recorder)", "Di&rect"},
       Command::UploadSetupDirect,
       ""},
      {{"&Access", "A&bort"}, Command::Abort, ""},
      {{"&View", "&Poll Log Files"}, Command::ViewPollLogs, ""},
      {{"&View", "Recorder &Setup Data"}, Command::ViewSetupData, ""},
      {{"&View", "Recorder &Event Records"}, Command::ViewEventRecords, ""},
      {{"&View", "P&lot Event Records"}, Command::PlotEventRecords, ""},
      {{"&Help", "&Help"}, Command::Help, "F1"},
      {{"&Help", "&About"}, Command::About, ""},
  };
  return kMenu;
}

std::vector<MenuEntry> ContextMenu() {
  std::vector<MenuEntry> out;
  for (const MenuEntry& e : MenuBar()) {
    if (!core::InContextMenu(e.command)) continue;
    MenuEntry c = e;
    c.path.erase(c.path.begin());  // no menu bar title in a pop-up menu
    c.shortcut.clear();
    out.push_back(std::move(c));
  }
  return out;
}

std::string PlainText(const std::string& menu_text) {
  std::string out;
  for (std::size_t i = 0; i < menu_text.size(); ++i) {
    if (menu_text[i] == '&') {
      if (i + 1 < menu_text.size() && menu_text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += menu_text[i];
  }
  return out;
}

// ---- poll commands ----

namespace {

constexpr PollCommand kPollCommands[] = {
    {Command::PollStart, false, Connection::Preferred, core::kOpsEventsPoll, true},
    {Command::PollScheduledDial, false, Connection::Dial, core::kOpsEventsPoll, true},
    {Command::PollScheduledDirect, true, Connection::Direct, core::kOpsEventsPoll, true},
    {Command::PollTodayDial, false, Connection::Dial, core::kOpsEventsPoll, false},
    {Command::PollTodayDirect, true, Connection::Direct, core::kOpsEventsPoll, false},
    {Command::DownloadSetupDial, false, Connection::Dial, core::kOpsSetupDownload, false},
    {Command::DownloadSetupDirect, true, Connection::Direct, core::kOpsSetupDownload, false},
    {Command::UploadSetupDial, false, Connection::Dial, core::kOpsSetupUpload, false},
    {Command::UploadSetupDirect, true, Connection::Direct, core::kOpsSetupUpload, false},
};

}  // namespace

std::optional<PollCommand> PollCommandOf(Command c) {
  for (const PollCommand& p : kPollCommands)
    if (p.command == c) return p;
  return std::nullopt;
}

bool UsesDirect(Connection c, const core::StationSettings& s) {
  switch (c) {
    case Connection::Dial:
      return false;
    case Connection::Direct:
      return true;
    case Connection::Preferred:
      return s.preferedConnection == 1;
  }
  return false;
}

int DaysBackOf(const PollCommand& c, const core::WeeklySchedule& schedule, int weekday) {
  return c.scheduledDaysBack ? core::DaysBackToPreviousEnabledDay(schedule, weekday) : 0;
}

// ---- progress ----

void PollProgress::OnBlocks(int blocks) {
  std::lock_guard l(mu_);
  if (s_.active) s_.blocks = blocks;
}

void PollProgress::OnEvent(const core::PollEvent& e) {
  std::lock_guard l(mu_);
  // Every event of the run comes between transfers: the block count is the last transfer's.
  if (e.kind != core::PollEvent::kFile && e.kind != core::PollEvent::kWarning) s_.blocks = 0;
  switch (e.kind) {
    case core::PollEvent::kRunStart:
      s_ = {};
      s_.active = true;
      s_.total = std::atoi(e.text.c_str());
      current_.clear();
      break;
    case core::PollEvent::kAttempt: {
      const int attempt = std::atoi(e.text.c_str());
      // A new recorder's first attempt means the one before it is done.
      if (attempt <= 1 && !current_.empty() && s_.done < s_.total) ++s_.done;
      current_ = e.recorder;
      s_.attempt = attempt;
      break;
    }
    case core::PollEvent::kRunEnd:
      s_.active = false;
      s_.done = s_.total;
      s_.attempt = 0;
      current_.clear();
      break;
    default:
      break;
  }
}

PollProgress::Snapshot PollProgress::Get() const {
  std::lock_guard l(mu_);
  return s_;
}

std::string PollProgress::Text(const Snapshot& s) {
  std::string text = std::to_string(s.done) + " of " + std::to_string(s.total) + " recorders";
  if (s.blocks > 0) text += ", block " + std::to_string(s.blocks);
  return text;
}

}  // namespace zel::oxm
