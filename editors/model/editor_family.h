// The setup editor family: one row per editor program. Everything that differs between the 17
// editors (title, version, converter, create prompt, buttons and their order, the model
// details the pages show) is read from this table; the pages take counts and widths from the
// model's setup layout.
#pragma once

#include <string>
#include <vector>

#include "zel/catalogue.h"

namespace zel::editors {

// What a main-dialog button opens.
enum class Page {
  kEventNames,
  kInputNames,
  kDetectTimes,
  kAnalog,
  kVirtual,
  kSystem,
  kMeasureSpeed,
  kTimers,
  kNetwork,
  kPeerProtocol,
  kRestoreDefaults,  // the "Restore Factory Defaults" command
};

struct MainButton {
  Page page;
  const char* caption;  // "&Event Names", "Meas. Speed", ...
};

// Which time-zone list the System page offers.
enum class TimeZoneList { kNone, kUtcWide, kUtcNarrow };

struct EditorFamilyRow {
  RecorderType type;
  const char* program;              // "ZelEdit517xl"
  const char* title;                // "ZELEdit517XL": window title and About box
  const char* version;              // "1.02"
  const char* converter;            // "krv517xls2t.exe", started after a save
  bool createPrompt;                // a missing file may be created
  std::vector<MainButton> buttons;  // besides OK and Cancel, in dialog order
  bool batteryLock;                 // A08 keeps range 1 ("Cannot change Range for A08")
  bool speedOnSystemPage;           // the one speed measurement sits on the System page
  bool speedUnitOnSystemPage;       // "Inches"/"Feet" choice in that group (KRV-19)
  bool speedUnitOnSpeedPage;        // "Inches"/"Feet" combo beside "Distance:" (KRV-19XL, KRV-37E)
  bool temperatureChecked;          // temperature limits checked against -67 to 257
  const char* baud1Label;           // "Baud:", "Terminal1 Baud:", "Port 1 Baud:"
  const char* baud2Label;           // "" for one-port models
  const char* clockSyncNone;        // none entry of the clock sync input list
  const char* clockModeFirst;       // first clock sync mode entry: "None" or "Digital"
  TimeZoneList timeZones;
};

// Row of the editor of a model type (15 gives the SLG808 row); nullptr for a type without an
// editor.
const EditorFamilyRow* FindEditor(RecorderType type);
// All 17 rows in table order.
const std::vector<EditorFamilyRow>& EditorFamily();

// Texts of a time-zone list.
std::vector<std::string> TimeZoneTexts(TimeZoneList list);

}  // namespace zel::editors
