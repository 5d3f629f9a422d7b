// API-STABLE
// What the recorder and properties dialogs and the list commands decide, without widgets:
// field contents by mode, the checks and their messages, the move algorithm, port lists, list
// cells, and the selection checks of the commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zel/core/recorder_list.h"
#include "zel/core/settings.h"
#include "zel/platform/prompter.h"
#include "zel/recorder.h"

namespace zel::core {

// Title of the station manager's general messages.
inline constexpr const char* kMessageTitle = "ZEL";
inline constexpr const char* kExactlyOneMessage = "Exactly one recorder must be selected!";
inline constexpr const char* kDefaultTcpPortText = "5000";

// ---- recorder list view ----
struct ListColumn {
  const char* header;
  int width;
};
// "Recorder_ID", "Type", "Port", "Phone#", "IP address:port" with their widths.
const std::vector<ListColumn>& RecorderListColumns();
// Cell text of column 0-4 for a record ("" for another column).
std::string RecorderListCell(const RecorderRecord& r, int column);
// "TCP/IP", "Default" or "Com%d".
std::string PortColumnText(int32_t port_selection);

// ---- port lists ----
struct PortEntry {
  std::string text;
  int32_t value;
  friend bool operator==(const PortEntry&, const PortEntry&) = default;
};
// The number of a port name that begins with "COM" (any case): the decimal value after the
// first three characters. nullopt for any other name or a number that is not positive.
std::optional<int> ComPortNumber(std::string_view name);
// The serial ports of the computer, in ascending number order, each showing its name and
// carrying its number (names not beginning with "COM" are left out; a number seen twice is
// listed once).
std::vector<PortEntry> SerialPortEntries(const std::vector<std::string>& names);
// Recorder dialog: "TCP/IP" (-1), "Default Port" (0), then the serial ports (value n).
std::vector<PortEntry> RecorderPortEntries(const std::vector<std::string>& names);
// Properties dialog: the serial ports, value n - 1.
std::vector<PortEntry> PropertiesPortEntries(const std::vector<std::string>& names);
// Index of the entry with `value`, else 0 (the first entry is shown selected).
std::size_t PortEntryIndex(const std::vector<PortEntry>& entries, int32_t value);

// ---- IP address and numbers ----
// "a.b.c.d" to an address (first octet most significant); nullopt unless four numbers 0-255.
std::optional<uint32_t> ParseDottedAddress(std::string_view text);
// A decimal number as the port number field holds it (blanks around it allowed, optional
// sign); nullopt when the text is not a number or does not fit 32 bits.
std::optional<int32_t> ParseDecimalField(std::string_view text);

// ---- recorder dialog ----
enum class RecorderDialogMode { Add, Edit, EditMultiple };
// "Add Recorder", "Edit Recorder", "Edit Multiple Recorders".
const char* RecorderDialogTitle(RecorderDialogMode mode);
// The ID, port, IP address and phone fields are greyed in Edit Multiple mode only.
bool RecorderIdentityFieldsEnabled(RecorderDialogMode mode);

struct RecorderFields {
  std::string id;
  std::string typeName;  // chosen type list entry; empty when none is chosen
  int32_t portSelection = 0;
  uint32_t ipAddress = 0;
  std::string portNumberText;
  std::string phone;
  std::string password;
  friend bool operator==(const RecorderFields&, const RecorderFields&) = default;
};

// Contents on opening: Add -> ID empty, "KRV-19XT", port selection 0, 0.0.0.0, "5000";
// Edit -> the recorder's values (no type chosen when its model is not in the type list);
// Edit Multiple -> ID and phone "varies", no type, empty password and port number, -1.
RecorderFields OpenRecorderFields(RecorderDialogMode mode, const RecorderRecord* record = nullptr);
// The type list name of a type, empty when the type is not in the list (9, 17, unknown).
std::string TypeListNameOf(RecorderType type);

// The OK checks, in order; the first failing message, or nullopt. `editing` is the position of
// the recorder being edited (Edit mode), skipped by the uniqueness check. Edit Multiple mode
// has no checks.
std::optional<std::string> CheckRecorderFields(RecorderDialogMode mode, const RecorderFields& f,
                                               const std::vector<RecorderRecord>& list,
                                               std::optional<std::size_t> editing = {});
inline constexpr const char* kNoIdMessage = "No Recorder ID entered!";
inline constexpr const char* kSpecialCharsMessage =
    "Recorder ID must not contain special characters:\n\\ / : * ? \" < > |";
inline constexpr const char* kUniqueIdMessage = "Recorder ID must be unique!";

// Add: the new record (type of the chosen name, -1 for none; reserved 0; clockSetDay 0; TCP
// port from the text, 0 when it is not a number).
RecorderRecord RecorderFromAddFields(const RecorderFields& f);
// Edit: copies ID, phone, password, IP address and port selection; the type of the chosen
// name (the stored type is kept when none is chosen); the TCP port only when the text is a
// number.
void ApplyEditFields(const RecorderFields& f, RecorderRecord& r);
// Edit Multiple: type when one is chosen, password when not empty, TCP port when the text is a
// number; nothing else.
void ApplyEditMultipleFields(const RecorderFields& f, RecorderRecord& r);

// ---- move ----
// New order as old positions: unselected rows 0..k-1, then the selected rows in their order,
// then unselected rows k onward. `clicked_row` nullopt (a click on no row) counts as 0.
std::vector<std::size_t> MoveOrder(const std::vector<bool>& selected,
                                   std::optional<std::size_t> clicked_row);

// The "Move" toggle of the main window.
class MoveMode {
 public:
  // "Move" pressed. With no selection nothing happens and the button pops up (returns false);
  // otherwise the selection states are kept, move mode begins (returns true).
  bool Press(const std::vector<bool>& selected);
  // The same, keeping each recorder's state in its listState, so recorders added or removed
  // before the click keep their own states (an added one counts as not selected).
  bool Press(RecorderList& list, const std::vector<bool>& selected);
  bool active() const { return active_; }
  // The click that ends move mode: reorders `list` and returns the new row selection (the
  // moved recorders stay selected). Outside move mode nothing changes and nullopt is returned.
  std::optional<std::vector<bool>> Click(RecorderList& list,
                                         std::optional<std::size_t> clicked_row);

 private:
  bool active_ = false;
  bool inList_ = false;
  std::vector<bool> states_;
};

// Delete: removes the listed rows without asking (their folders stay on disk).
std::size_t DeleteSelected(RecorderList& list, const std::vector<std::size_t>& selected_rows);

// ---- properties dialog ----
struct PropertiesFields {
  std::optional<int32_t> directPortChoice;  // set only when the user picked an entry
  int32_t directBaud = 0;
  std::optional<int32_t> modemPortChoice;
  int32_t baud = 0;
  std::string modemInit;
  std::string dialPrefix;
  std::string dataFolder;
  int32_t autoDelete = 0;
  int32_t retries = 1;
  int32_t preferedConnection = 0;
  int32_t clockSync = 0;
  int32_t useTxtFile = 0;
  int32_t makeText = 0;
};
PropertiesFields OpenPropertiesFields(const StationSettings& s);
inline constexpr const char* kRetriesRangeMessage = "Please enter an integer between 1 and 10.";
inline constexpr const char* kInvalidDataFolderMessage = "Specified Data Folder is not valid";
inline constexpr const char* kBrowseFolderText =
    "Select folder for poller data\n(folder must exist, create with explorer if necessary)";
// The OK checks: Retries 1-10, then the data folder is not empty and `make_current` can make
// it the current folder (so on success it has become current). The message, or nullopt.
std::optional<std::string> CheckPropertiesFields(
    const PropertiesFields& f, const std::function<bool(const std::string&)>& make_current);
// Copies every field into the settings (a port only when picked).
void ApplyPropertiesFields(const PropertiesFields& f, StationSettings& s);
// "Specified data folder \"%s\" does not exist.\nPlease select a valid data folder."
std::string MissingDataFolderMessage(const std::string& data_folder);

// ---- command dispatch ----
enum class Command {
  Save,
  Exit,
  Add,
  Delete,
  Edit,
  Move,
  EditSetupData,
  Properties,
  ConnectDial,
  ConnectDirect,
  PollScheduledDial,
  PollScheduledDirect,
  PollTodayDial,
  PollTodayDirect,
  QueryGetData,
  QueryViewData,
  QueryPlotData,
  RealTimeDial,
  RealTimeDirect,
  StatusDial,
  StatusDirect,
  DownloadSetupDial,
  DownloadSetupDirect,
  UploadSetupDial,
  UploadSetupDirect,
  Abort,
  ViewPollLogs,
  ViewSetupData,
  ViewEventRecords,
  PlotEventRecords,
  Help,
  About,
  PollStart,
  QuickPlot,
};
enum class SelectionRule { None, Any, OneOrMore, One, Group };
SelectionRule SelectionRuleOf(Command c);
// Title of the "Exactly one recorder must be selected!" warning; empty for a command that is
// not a One command.
const char* OneCheckCaption(Command c);
// Offered by the list's right-click menu (everything but File, Properties, Abort, View > Poll
// Log Files and Help).
bool InContextMenu(Command c);

// The One check: with exactly one selected row, brings its setup file name up to date and
// returns the row; otherwise shows the warning titled `caption` and returns nullopt.
std::optional<std::size_t> RunOneCheck(const std::string& caption,
                                       const std::vector<std::size_t>& selected_rows,
                                       const RecorderList& list, const std::string& data_folder,
                                       platform::Prompter& prompter);
// Group: the selected rows, or every row when none is selected.
std::vector<std::size_t> GroupRows(const std::vector<std::size_t>& selected_rows,
                                   std::size_t count);

}  // namespace zel::core
