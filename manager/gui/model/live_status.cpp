#include "model/live_status.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "zel/identifiers.h"
#include "zel/value_format.h"

namespace zel::oxm {

std::string LiveTitle(const std::string& recorder_id, const std::string& unit_name) {
  return "Live status for: " + recorder_id + ", Unit Name:" + unit_name;
}

std::string LiveConnectedText() { return "Connected"; }

std::string LiveLineLostText(const platform::LocalTime& at) {
  char text[40];
  std::snprintf(text, sizeof text, "Line lost at %02d:%02d:%02d", at.hour % 100, at.minute % 100,
                at.second % 100);
  return text;
}

LiveStatusModel::LiveStatusModel(RecorderType type, const SetupDatabase* setup)
    : type_(type), layout_(FindLiveLayout(type)) {
  if (setup != nullptr) setup_.emplace(*setup);
  if (layout_ == nullptr) return;
  std::vector<bool> present;
  if (layout_->arrangement == LiveArrangement::kModules && setup_) {
    for (int g = 0; g < kLiveModuleCount; ++g) present.push_back(setup_->ModulePresent(g));
  }
  itemOfPosition_.assign(static_cast<std::size_t>(layout_->positions), -1);
  for (const LivePlacement& p : LivePlacements(*layout_, present)) {
    itemOfPosition_[static_cast<std::size_t>(p.position)] = static_cast<int>(items_.size());
    items_.push_back({p.position, p.x, p.y, LiveIdentifier(type, p.position), LiveState::kOff});
    width_ = std::max(width_, p.x + layout_->columnWidth);
    height_ = std::max(height_, p.y + kLiveRowHeight);
  }
  changedMark_.assign(items_.size(), 0);
}

int LiveStatusModel::ItemOfPosition(int position) const {
  if (position < 0 || position >= static_cast<int>(itemOfPosition_.size())) return -1;
  return itemOfPosition_[static_cast<std::size_t>(position)];
}

int LiveStatusModel::PositionOfItem(int item) const {
  if (item < 0 || item >= static_cast<int>(items_.size())) return -1;
  return items_[static_cast<std::size_t>(item)].position;
}

std::size_t LiveStatusModel::Feed(std::string_view bytes) {
  std::size_t lines = 0;
  assembler_.FeedAll(bytes, [&](std::string_view line) {
    ApplyLine(line);
    ++lines;
  });
  return lines;
}

void LiveStatusModel::SetState(int item, LiveState s) {
  Item& it = items_[static_cast<std::size_t>(item)];
  if (it.state == s) return;
  it.state = s;
  if (!changedMark_[static_cast<std::size_t>(item)]) {
    changedMark_[static_cast<std::size_t>(item)] = 1;
    changed_.push_back(item);
  }
}

std::optional<int> LiveStatusModel::ApplyLine(std::string_view line) {
  if (layout_ == nullptr) return std::nullopt;
  const gui::LiveLine l = gui::SplitLiveLine(line);
  const long D = layout_->digital, A = layout_->analog;
  if (l.kind == gui::LiveLine::Kind::kState) {
    // Positions count from 1 over every list position; anything else changes nothing.
    if (l.number < 1 || l.number > layout_->positions) return std::nullopt;
    const int position = static_cast<int>(l.number - 1);
    LiveState s;
    if (FamilyOf(type_) == ModelFamily::kKrv583) {
      // Three-state inputs: 0 off, 1 on, 2 coding; 3 counts as on.
      const long m = l.state % 4;
      s = m == 3 ? LiveState::kOn : static_cast<LiveState>(m + 1);
    } else if (l.state == 0) {
      s = LiveState::kOff;
    } else {
      const bool flashing = position < D && setup_ && setup_->FlashEnabled(position);
      s = flashing ? LiveState::kFlashing : LiveState::kOn;
    }
    if (l.number > D && l.number <= D + A && s != LiveState::kOff) s = LiveState::kThreshold;
    const int item = ItemOfPosition(position);
    if (item < 0) return std::nullopt;
    SetState(item, s);
    return item;
  }
  if (l.kind == gui::LiveLine::Kind::kValue) {
    // Analog input numbers count from 1 over the analog inputs.
    if (l.number < 1 || l.number > A) return std::nullopt;
    const int position = static_cast<int>(D + l.number - 1);
    const int item = ItemOfPosition(position);
    if (item < 0) return std::nullopt;
    Item& it = items_[static_cast<std::size_t>(item)];
    std::string text = LiveIdentifier(type_, position);
    text += '=';
    text.append(l.value);
    if (it.text != text) {
      it.text = std::move(text);
      if (!changedMark_[static_cast<std::size_t>(item)]) {
        changedMark_[static_cast<std::size_t>(item)] = 1;
        changed_.push_back(item);
      }
    }
    return item;
  }
  return std::nullopt;
}

std::vector<int> LiveStatusModel::TakeChanged() {
  for (int i : changed_) changedMark_[static_cast<std::size_t>(i)] = 0;
  std::vector<int> out;
  out.swap(changed_);
  return out;
}

std::string LiveStatusModel::ToolTip(int item) const {
  const int position = PositionOfItem(item);
  if (position < 0) return {};
  std::string tip = LiveIdentifier(type_, position);
  if (!setup_) return tip;
  const std::string name = setup_->Name(position);
  const std::string id = setup_->Identifier(position);
  if (!name.empty()) tip += "  " + name;
  if (!id.empty()) tip += "  (ID: " + id + ")";
  return tip;
}

std::vector<std::string> LiveStatusModel::PropertyLines(int item) const {
  const int position = PositionOfItem(item);
  if (position < 0 || !setup_) return {};
  return InputPropertyLines(type_, *setup_, digital(), analog(), position);
}

std::string HundredthsText(int stored) {
  const int whole = stored / 100;
  const int rest = std::abs(stored % 100);
  char text[32];
  if (stored < 0 && whole == 0)
    std::snprintf(text, sizeof text, "-0.%02d", rest);
  else
    std::snprintf(text, sizeof text, "%d.%02d", whole, rest);
  return text;
}

std::vector<std::string> InputPropertyLines(RecorderType type, const SetupDatabase& setup,
                                            int digital, int analog, int input) {
  std::vector<std::string> lines;
  lines.push_back("Name:\t" + setup.Name(input));
  lines.push_back("ID:\t" + setup.Identifier(input));
  const bool hasEvents = SetupTypeOf(type) >= 0;  // every model with a setup layout
  if (hasEvents) {
    const int pair = setup.EventPair(input);
    lines.push_back("On Event Name:\t" + setup.OnName(pair));
    lines.push_back("Off Event Name:\t" + setup.OffName(pair));
    if (FamilyOf(type) == ModelFamily::kKrv583)
      lines.push_back("Coding Event Name:\t" + setup.CodingName(pair));
    else
      lines.push_back("Flashing:\t" +
                      ShowFlash(type, input, input < digital && setup.FlashEnabled(input)));
  }
  if (input < digital) {
    lines.push_back("Detect Time:\t" + ShowDetectTime(type, input, setup.DetectTime(input)));
  } else if (input < digital + analog) {
    const int a = input - digital;
    if (type == model::kKrv85e) {
      lines.push_back("High Threshold:\t" + HundredthsText(setup.HighThreshold(a)));
      lines.push_back("Low Threshold:\t" + HundredthsText(setup.LowThreshold(a)));
    } else {
      const int range = setup.AnalogRange(a);
      lines.push_back("Range:\t" + AnalogRangeLabel(type, range));
      lines.push_back("High Threshold:\t" + ShowThreshold(range, setup.HighThreshold(a)));
      lines.push_back("Low Threshold:\t" + ShowThreshold(range, setup.LowThreshold(a)));
    }
  } else {
    const int v = input - digital - analog;
    std::string f = "Function of:\t";
    for (int slot = 0; slot < 4; ++slot) {
      if (slot > 0) f += ' ';
      f += SetupIdentifier(type, setup.VirtualSource(v, slot));
    }
    lines.push_back(f);
  }
  return lines;
}

}  // namespace zel::oxm
