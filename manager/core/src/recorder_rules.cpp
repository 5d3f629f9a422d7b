#include "zel/core/recorder_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <map>

#include "zel/catalogue.h"
#include "zel/core/paths.h"
#include "zel/core/tool_commands.h"

namespace zel::core {

// ---- recorder list view ----

const std::vector<ListColumn>& RecorderListColumns() {
  static const std::vector<ListColumn> kColumns = {
      {"Recorder_ID", 150}, {"Type", 100}, {"Port", 60}, {"Phone#", 110}, {"IP address:port", 130}};
  return kColumns;
}

std::string PortColumnText(int32_t port_selection) {
  if (port_selection == -1) return "TCP/IP";
  if (port_selection == 0) return "Default";
  return "Com" + std::to_string(port_selection);
}

std::string RecorderListCell(const RecorderRecord& r, int column) {
  switch (column) {
    case 0:
      return r.id;
    case 1:
      return TypeName(r.type);
    case 2:
      return PortColumnText(r.port);
    case 3:
      return r.phone;
    case 4:
      if (r.port != -1) return {};
      return DottedAddress(r.ipAddress) + ":" + std::to_string(r.tcpPort);
    default:
      return {};
  }
}

// ---- port lists ----

std::optional<int> ComPortNumber(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  int n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + (name[i] - '0');
    if (n > 100000) return std::nullopt;
  }
  if (n <= 0) return std::nullopt;
  return n;
}

std::vector<PortEntry> SerialPortEntries(const std::vector<std::string>& names) {
  std::map<int, std::string> by_number;
  for (const auto& name : names)
    if (auto n = ComPortNumber(name)) by_number.emplace(*n, name);
  std::vector<PortEntry> out;
  for (const auto& [n, name] : by_number) out.push_back({name, n});
  return out;
}

std::vector<PortEntry> RecorderPortEntries(const std::vector<std::string>& names) {
  std::vector<PortEntry> out = {{"TCP/IP", -1}, {"Default Port", 0}};
  for (auto& e : SerialPortEntries(names)) out.push_back(e);
  return out;
}

std::vector<PortEntry> PropertiesPortEntries(const std::vector<std::string>& names) {
  std::vector<PortEntry> out = SerialPortEntries(names);
  for (auto& e : out) e.value -= 1;
  return out;
}

std::size_t PortEntryIndex(const std::vector<PortEntry>& entries, int32_t value) {
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].value == value) return i;
  return 0;
}

// ---- IP address and numbers ----

std::optional<uint32_t> ParseDottedAddress(std::string_view text) {
  uint32_t ip = 0;
  std::size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
    std::size_t start = i;
    unsigned value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
      value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    if (i == start || value > 255) return std::nullopt;
    ip = (ip << 8) | value;
  }
  if (i != text.size()) return std::nullopt;
  return ip;
}

std::optional<int32_t> ParseDecimalField(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t digits = i;
  int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (i == digits) return std::nullopt;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

// ---- recorder dialog ----

const char* RecorderDialogTitle(RecorderDialogMode mode) {
  switch (mode) {
    case RecorderDialogMode::Add:
      return "Add Recorder";
    case RecorderDialogMode::Edit:
      return "Edit Recorder";
    case RecorderDialogMode::EditMultiple:
      return "Edit Multiple Recorders";
  }
  return "";
}

bool RecorderIdentityFieldsEnabled(RecorderDialogMode mode) {
  return mode != RecorderDialogMode::EditMultiple;
}

std::string TypeListNameOf(RecorderType type) {
  const ModelEntry* m = FindModel(type);
  if (m == nullptr || m->inTypeList <= 0) return {};
  return m->displayName;
}

RecorderFields OpenRecorderFields(RecorderDialogMode mode, const RecorderRecord* record) {
  RecorderFields f;
  switch (mode) {
    case RecorderDialogMode::Add:
      f.typeName = TypeListNameOf(0);
      f.portSelection = 0;
      f.ipAddress = 0;
      f.portNumberText = kDefaultTcpPortText;
      break;
    case RecorderDialogMode::Edit:
      if (record != nullptr) {
        f.id = record->id;
        f.typeName = TypeListNameOf(record->type);
        f.portSelection = record->port;
        f.ipAddress = record->ipAddress;
        f.portNumberText = std::to_string(record->tcpPort);
        f.phone = record->phone;
        f.password = record->password;
      }
      break;
    case RecorderDialogMode::EditMultiple:
      f.id = "varies";
      f.phone = "varies";
      f.portSelection = -1;
      break;
  }
  return f;
}

std::optional<std::string> CheckRecorderFields(RecorderDialogMode mode, const RecorderFields& f,
                                               const std::vector<RecorderRecord>& list,
                                               std::optional<std::size_t> editing) {
  if (mode == RecorderDialogMode::EditMultiple) return std::nullopt;
  if (f.id.empty()) return std::string(kNoIdMessage);
  if (f.id.find_first_of("\\/:*?\"<>|") != std::string::npos)
    return std::string(kSpecialCharsMessage);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (mode == RecorderDialogMode::Edit && editing && *editing == i) continue;
    if (list[i].id == f.id) return std::string(kUniqueIdMessage);
  }
  return std::nullopt;
}

namespace {

// The dialog's text fields hold at most their field widths; a longer text (pasted, or from a
// caller without the widget limits) is cut, so the saved file stays within its limits.
std::string Limit(const std::string& text, std::size_t limit) { return text.substr(0, limit); }

}  // namespace

RecorderRecord RecorderFromAddFields(const RecorderFields& f) {
  RecorderRecord r;
  r.id = Limit(f.id, kMaxRecorderId);
  r.phone = Limit(f.phone, kMaxPhone);
  r.password = Limit(f.password, kMaxPassword);
  r.type = f.typeName.empty() ? -1 : TypeOfName(f.typeName);
  r.reserved = {};
  r.port = f.portSelection;
  r.clockSetDay = 0;
  r.ipAddress = f.ipAddress;
  r.tcpPort = ParseDecimalField(f.portNumberText).value_or(0);
  return r;
}

void ApplyEditFields(const RecorderFields& f, RecorderRecord& r) {
  r.id = Limit(f.id, kMaxRecorderId);
  r.phone = Limit(f.phone, kMaxPhone);
  r.password = Limit(f.password, kMaxPassword);
  // A model that is not in the type list (or none chosen) keeps the stored type.
  if (!f.typeName.empty()) {
    if (RecorderType t = TypeOfName(f.typeName); t >= 0) r.type = t;
  }
  r.ipAddress = f.ipAddress;
  r.port = f.portSelection;
  if (auto p = ParseDecimalField(f.portNumberText)) r.tcpPort = *p;
}

void ApplyEditMultipleFields(const RecorderFields& f, RecorderRecord& r) {
  if (!f.typeName.empty()) {
    if (RecorderType t = TypeOfName(f.typeName); t >= 0) r.type = t;
  }
  if (!f.password.empty()) r.password = Limit(f.password, kMaxPassword);
  if (!f.portNumberText.empty()) {
    if (auto p = ParseDecimalField(f.portNumberText)) r.tcpPort = *p;
  }
}

// ---- move ----

std::vector<std::size_t> MoveOrder(const std::vector<bool>& selected,
                                   std::optional<std::size_t> clicked_row) {
  const std::size_t n = selected.size();
  std::size_t k = clicked_row.value_or(0);
  if (k > n) k = n;
  std::vector<std::size_t> order;
  order.reserve(n);
  for (std::size_t i = 0; i < k; ++i)
    if (!selected[i]) order.push_back(i);
  for (std::size_t i = 0; i < n; ++i)
    if (selected[i]) order.push_back(i);
  for (std::size_t i = k; i < n; ++i)
    if (!selected[i]) order.push_back(i);
  return order;
}

bool MoveMode::Press(const std::vector<bool>& selected) {
  if (std::none_of(selected.begin(), selected.end(), [](bool b) { return b; })) {
    // The button pops up; a move begun earlier is dropped with it, so the next click on the
    // list does not move anything unexpectedly.
    active_ = false;
    return false;
  }
  states_ = selected;
  active_ = true;
  inList_ = false;
  return true;
}

bool MoveMode::Press(RecorderList& list, const std::vector<bool>& selected) {
  if (!Press(selected)) return false;
  for (std::size_t i = 0; i < list.Count(); ++i)
    list.Update(i, [&](RecorderRecord& r) { r.listState = i < selected.size() && selected[i]; });
  inList_ = true;
  return true;
}

std::optional<std::vector<bool>> MoveMode::Click(RecorderList& list,
                                                 std::optional<std::size_t> clicked_row) {
  if (!active_) return std::nullopt;
  active_ = false;
  std::vector<bool> states;
  if (inList_) {
    for (const auto& r : list.Snapshot()) states.push_back(r.listState != 0);
  } else {
    states = states_;
    states.resize(list.Count(), false);  // rows added since the press count as not selected
  }
  std::vector<std::size_t> order = MoveOrder(states, clicked_row);
  list.Reorder(order);
  std::vector<bool> now;
  now.reserve(order.size());
  for (std::size_t old : order) now.push_back(states[old]);
  return now;
}

std::size_t DeleteSelected(RecorderList& list, const std::vector<std::size_t>& selected_rows) {
  return list.RemovePositions(selected_rows);
}

// ---- properties dialog ----

PropertiesFields OpenPropertiesFields(const StationSettings& s) {
  PropertiesFields f;
  f.directBaud = s.directBaud;
  f.baud = s.baud;
  f.modemInit = s.modemInit;
  f.dialPrefix = s.dialPrefix;
  f.dataFolder = s.dataFolder;
  f.autoDelete = s.autoDelete;
  f.retries = s.retries;
  f.preferedConnection = s.preferedConnection;
  f.clockSync = s.clockSync;
  f.useTxtFile = s.useTxtFile;
  f.makeText = s.makeText;
  return f;
}

std::optional<std::string> CheckPropertiesFields(
    const PropertiesFields& f, const std::function<bool(const std::string&)>& make_current) {
  if (f.retries < kMinRetries || f.retries > kMaxRetries) return std::string(kRetriesRangeMessage);
  if (f.dataFolder.empty() || !make_current || !make_current(f.dataFolder))
    return std::string(kInvalidDataFolderMessage);
  return std::nullopt;
}

void ApplyPropertiesFields(const PropertiesFields& f, StationSettings& s) {
  if (f.directPortChoice) s.directPort = *f.directPortChoice;
  if (f.modemPortChoice) s.port = *f.modemPortChoice;
  s.directBaud = std::clamp(f.directBaud, 0, kMaxBaudCode);
  s.baud = std::clamp(f.baud, 0, kMaxBaudCode);
  s.modemInit = f.modemInit.substr(0, kMaxModemText);
  s.dialPrefix = f.dialPrefix.substr(0, kMaxModemText);
  s.dataFolder = f.dataFolder;
  s.autoDelete = f.autoDelete;
  s.retries = f.retries;
  s.preferedConnection = f.preferedConnection;
  s.clockSync = f.clockSync;
  s.useTxtFile = f.useTxtFile;
  s.makeText = f.makeText;
}

std::string MissingDataFolderMessage(const std::string& data_folder) {
  return "Specified data folder \"" + data_folder +
         "\" does not exist.\nPlease select a valid data folder.";
}

// ---- command dispatch ----

namespace {

struct CommandRow {
  Command command;
  SelectionRule rule;
  const char* caption;  // One commands only
  bool inContextMenu;
};

constexpr CommandRow kCommands[] = {
    {Command::Save, SelectionRule::None, "", false},
    {Command::Exit, SelectionRule::None, "", false},
    {Command::Add, SelectionRule::None, "", true},
    {Command::Delete, SelectionRule::Any, "", true},
    {Command::Edit, SelectionRule::OneOrMore, "", true},
    {Command::Move, SelectionRule::Any, "", true},
    {Command::EditSetupData, SelectionRule::One, "Edit recorder setup data", true},
    {Command::Properties, SelectionRule::None, "", false},
    {Command::ConnectDial, SelectionRule::One, "Connect to recorder by Dialup", true},
    {Command::ConnectDirect, SelectionRule::One, "Direct connect to recorder", true},
    {Command::PollScheduledDial, SelectionRule::Group, "", true},
    {Command::PollScheduledDirect, SelectionRule::One, "Poll recorder by direct connect", true},
    {Command::PollTodayDial, SelectionRule::Group, "", true},
    {Command::PollTodayDirect, SelectionRule::One, "Poll recorder by direct connect", true},
    {Command::QueryGetData, SelectionRule::One, "Query Selected Interval", true},
    {Command::QueryViewData, SelectionRule::One, "View query events", true},
    {Command::QueryPlotData, SelectionRule::One, "View query events", true},
    {Command::RealTimeDial, SelectionRule::One, "Dial real time plot", true},
    {Command::RealTimeDirect, SelectionRule::One, "Direct real time plot", true},
    {Command::StatusDial, SelectionRule::One, "View recorder live status", true},
    {Command::StatusDirect, SelectionRule::One, "View recorder live status", true},
    {Command::DownloadSetupDial, SelectionRule::Group, "", true},
    {Command::DownloadSetupDirect, SelectionRule::One, "Download setup by direct connect", true},
    {Command::UploadSetupDial, SelectionRule::Group, "", true},
    {Command::UploadSetupDirect, SelectionRule::One, "Upload setup by direct connect", true},
    {Command::Abort, SelectionRule::None, "", false},
    {Command::ViewPollLogs, SelectionRule::None, "", false},
    {Command::ViewSetupData, SelectionRule::One, "View recorder setup data", true},
    {Command::ViewEventRecords, SelectionRule::One, "View query events", true},
    {Command::PlotEventRecords, SelectionRule::One, "Plot recorder event records", true},
    {Command::Help, SelectionRule::None, "", false},
    {Command::About, SelectionRule::None, "", false},
    {Command::PollStart, SelectionRule::Group, "", false},
    {Command::QuickPlot, SelectionRule::One, "Quick Plot data from recorder", false},
};

const CommandRow* RowOf(Command c) {
  for (const auto& row : kCommands)
    if (row.command == c) return &row;
  return nullptr;
}

}  // namespace

SelectionRule SelectionRuleOf(Command c) {
  const CommandRow* row = RowOf(c);
  return row ? row->rule : SelectionRule::None;
}

const char* OneCheckCaption(Command c) {
  const CommandRow* row = RowOf(c);
  return row && row->rule == SelectionRule::One ? row->caption : "";
}

bool InContextMenu(Command c) {
  const CommandRow* row = RowOf(c);
  return row && row->inContextMenu;
}

std::optional<std::size_t> RunOneCheck(const std::string& caption,
                                       const std::vector<std::size_t>& selected_rows,
                                       const RecorderList& list, const std::string& data_folder,
                                       platform::Prompter& prompter) {
  std::optional<RecorderRecord> r;
  if (selected_rows.size() == 1) r = list.Get(selected_rows.front());
  if (!r) {
    prompter.Show(caption, kExactlyOneMessage, platform::PromptButtons::Ok);
    return std::nullopt;
  }
  UpgradeSetupFileName(data_folder, r->id);
  return selected_rows.front();
}

std::vector<std::size_t> GroupRows(const std::vector<std::size_t>& selected_rows,
                                   std::size_t count) {
  std::vector<std::size_t> rows;
  if (selected_rows.empty()) {
    for (std::size_t i = 0; i < count; ++i) rows.push_back(i);
    return rows;
  }
  for (std::size_t r : selected_rows)
    if (r < count) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace zel::core
