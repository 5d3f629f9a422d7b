// What the live status window shows, without widgets: one item per listed input with its grid
// point, text and state, the two position maps, the stream's lines applied by the rules of the
// recorder's model, the status line, and the input properties of an item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/model/stream_line.h"
#include "model/live_layout.h"
#include "zel/platform/clock.h"
#include "zel/setup_database.h"

namespace zel::oxm {

inline constexpr char kLiveTitleFormat[] = "Live status for: %s, Unit Name:%s";
inline constexpr int kLiveTickMs = 100;

// Item states (the state images): 1 olive (off), 2 green (on), 3 yellow (on, flash-enabled
// digital input), 4 red (on, analog threshold position).
enum class LiveState : uint8_t { kOff = 1, kOn = 2, kFlashing = 3, kThreshold = 4 };

// "Live status for: <ID>, Unit Name:<unit name>".
std::string LiveTitle(const std::string& recorder_id, const std::string& unit_name);
// "Connected", "Line lost at hh:mm:ss".
std::string LiveConnectedText();
std::string LiveLineLostText(const platform::LocalTime& at);

class LiveStatusModel {
 public:
  struct Item {
    int position;  // list position, 0-based
    int x, y;      // grid point, pixels
    std::string text;
    LiveState state = LiveState::kOff;
  };

  // `setup` is the recorder's saved setup database when it could be loaded (flash bits, unit
  // name, present modules, names for tooltips and properties), nullptr otherwise.
  LiveStatusModel(RecorderType type, const SetupDatabase* setup);

  RecorderType type() const { return type_; }
  const LiveLayoutRow* layout() const { return layout_; }
  bool setupLoaded() const { return setup_.has_value(); }
  const SetupDatabase* setup() const { return setup_ ? &*setup_ : nullptr; }
  int digital() const { return layout_ ? layout_->digital : 0; }
  int analog() const { return layout_ ? layout_->analog : 0; }

  const std::vector<Item>& items() const { return items_; }
  // Item of a list position (0-based), -1 when the position is not listed.
  int ItemOfPosition(int position) const;
  int PositionOfItem(int item) const;
  // Size of the grid the items cover, pixels.
  int width() const { return width_; }
  int height() const { return height_; }

  // Feeds received bytes; complete lines are applied. Returns how many lines were applied.
  std::size_t Feed(std::string_view bytes);
  // Applies one line (without its CR); the item it changed, if any.
  std::optional<int> ApplyLine(std::string_view line);
  // Items changed since the last call (each once, in the order first changed).
  std::vector<int> TakeChanged();

  // Tooltip of an item: "<identifier>  <name>  (ID: <setup identifier>)" from the setup
  // database, or the identifier alone without it.
  std::string ToolTip(int item) const;
  // The lines of the Input Properties dialog for an item; empty when the setup database is not
  // loaded or the item does not exist.
  std::vector<std::string> PropertyLines(int item) const;

 private:
  void SetState(int item, LiveState s);

  RecorderType type_;
  const LiveLayoutRow* layout_;
  std::optional<SetupDatabase> setup_;
  std::vector<Item> items_;
  std::vector<int> itemOfPosition_;
  std::vector<uint8_t> changedMark_;
  std::vector<int> changed_;
  gui::LiveLineAssembler assembler_;
  int width_ = 0;
  int height_ = 0;
};

// The lines of "Input Properties" for input number `input` of a recorder of type `type` with
// D digital and A analog inputs in its live layout.
std::vector<std::string> InputPropertyLines(RecorderType type, const SetupDatabase& setup,
                                            int digital, int analog, int input);
// A KRV-85E threshold in hundredths: "%d.%02d", the minus sign kept between -0.99 and -0.01.
std::string HundredthsText(int stored);

inline constexpr char kSetupNotAvailable[] = "Event Recorder setup database not available";
inline constexpr char kPropertiesTitle[] = "Input Properties";
inline constexpr int kPropertiesTabStopDlu = 70;

}  // namespace zel::oxm
