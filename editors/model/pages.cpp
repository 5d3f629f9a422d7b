#include "model/pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "gui/model/input_choices.h"
#include "model/command_line.h"
#include "zel/identifiers.h"
#include "zel/value_format.h"

namespace zel::editors {
namespace {

using F = SetupField;
using M = SetupMember;

std::string Printf(const char* format, int a) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a);
  return buffer;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

FormField TextField(std::string key, std::string label, int maxLength) {
  FormField f;
  f.key = std::move(key);
  f.kind = FormKind::kText;
  f.label = std::move(label);
  f.maxLength = maxLength;
  return f;
}

FormField NumberField(std::string key, std::string label, std::string unit = {}) {
  FormField f;
  f.key = std::move(key);
  f.kind = FormKind::kNumber;
  f.label = std::move(label);
  f.unit = std::move(unit);
  return f;
}

FormField ComboField(std::string key, std::string label, std::vector<std::string> entries,
                     int index) {
  FormField f;
  f.key = std::move(key);
  f.kind = FormKind::kCombo;
  f.label = std::move(label);
  f.entries = std::move(entries);
  f.index = index;
  return f;
}

FormField CheckField(std::string key, std::string label, int state) {
  FormField f;
  f.key = std::move(key);
  f.kind = FormKind::kCheck;
  f.label = std::move(label);
  f.check = state;
  return f;
}

// Combo entry for a stored index in single or multi-edit (-1 when it is none of them).
int EntryFor(int stored, int entryCount, bool multi) {
  if (multi) return 0;
  return stored >= 0 && stored < entryCount ? stored : -1;
}
// Stored index of a combo value; nullopt for "(unchanged)" or no entry.
std::optional<int> IndexFrom(const FormField& f, bool multi) {
  const int index = f.index - (multi ? 1 : 0);
  if (index < 0 || index >= static_cast<int>(f.entries.size()) - (multi ? 1 : 0)) {
    return std::nullopt;
  }
  return index;
}

// A text field's value: nullopt for no change (empty in multi-edit).
std::optional<std::string> TextFrom(const FormField& f, bool multi) {
  if (multi && f.text.empty()) return std::nullopt;
  return f.text;
}

std::optional<bool> CheckFrom(const FormField& f) {
  if (f.check == kGray) return std::nullopt;
  return f.check == kChecked;
}

// ---------------------------------------------------------------------------------------------

class EventNamesPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Event Names"; }
  std::string CloseCaption() const override { return "Exit"; }
  std::vector<Column> Columns() const override {
    std::vector<Column> c{{"Pair", 50}, {"ON Name", 100}, {"OFF Name", 100}};
    if (db_.HasCodingNames()) c.push_back({"CODING Name", 100});
    return c;
  }
  int RowCount() const override { return db_.EventPairCount(); }
  std::string Cell(int row, int column) const override {
    switch (column) {
      case 0:
        return Printf("%02d", row + 1);
      case 1:
        return db_.OnName(row);
      case 2:
        return db_.OffName(row);
      case 3:
        return db_.CodingName(row);
    }
    return {};
  }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Event Names";
    form.multiEdit = rows.size() > 1;
    const int width = db_.EventNameWidth() - 1;
    form.Add(TextField("on", "ON Event Name:", width));
    form.Add(TextField("off", "OFF Event Name:", width));
    if (db_.HasCodingNames()) form.Add(TextField("coding", "CODING Event Name:", width));
    if (rows.size() == 1) {
      form.Find("on")->text = db_.OnName(rows[0]);
      form.Find("off")->text = db_.OffName(rows[0]);
      if (db_.HasCodingNames()) form.Find("coding")->text = db_.CodingName(rows[0]);
    }
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    const auto on = TextFrom(*form.Find("on"), multi);
    const auto off = TextFrom(*form.Find("off"), multi);
    const FormField* codingField = form.Find("coding");
    const auto coding = codingField ? TextFrom(*codingField, multi) : std::nullopt;
    for (int row : rows) {
      if (on) db_.SetOnName(row, *on);
      if (off) db_.SetOffName(row, *off);
      if (coding) db_.SetCodingName(row, *coding);
    }
    return {};
  }
};

std::string PairText(const SetupDatabase& db, int pair) {
  return Printf("(%02d) ", pair + 1) + db.OnName(pair) + "/" + db.OffName(pair);
}

class InputNamesPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Input Names"; }
  std::string CloseCaption() const override { return "Exit"; }
  std::vector<Column> Columns() const override {
    return {{"Input", 50}, {"Name", 250}, {"ID", 100}, {"Event Names", 250}};
  }
  int RowCount() const override { return db_.NameCount(); }
  std::string Cell(int row, int column) const override {
    switch (column) {
      case 0:
        return InputId(row);
      case 1:
        return db_.Name(row);
      case 2:
        return db_.Identifier(row);
      case 3:
        return PairText(db_, db_.EventPair(row));
    }
    return {};
  }
  bool Filterable() const override { return true; }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Input Names";
    form.multiEdit = rows.size() > 1;
    form.Add(TextField("name", "Input Name:", db_.NameWidth() - 1));
    form.Add(TextField("id", "Input ID", db_.IdentifierWidth() - 1));
    std::vector<std::string> pairs;
    for (int p = 0; p < db_.EventPairCount(); ++p) pairs.push_back(PairText(db_, p));
    const int count = static_cast<int>(pairs.size());
    form.Add(
        ComboField("pair", "Event Names:", gui::WithUnchanged(pairs, form.multiEdit),
                   EntryFor(rows.empty() ? 0 : db_.EventPair(rows[0]), count, form.multiEdit)));
    if (rows.size() == 1) {
      form.Find("name")->text = db_.Name(rows[0]);
      form.Find("id")->text = db_.Identifier(rows[0]);
    }
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    std::optional<std::string> name = TextFrom(*form.Find("name"), multi);
    std::optional<std::string> id = TextFrom(*form.Find("id"), multi);
    const std::optional<int> pair = IndexFrom(*form.Find("pair"), multi);
    const std::size_t nameMax = static_cast<std::size_t>(db_.NameWidth() - 1);
    const std::size_t idMax = static_cast<std::size_t>(db_.IdentifierWidth() - 1);
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const int row = rows[k];
      // The first row takes the typed text; each next row the text advanced by one, cut to
      // the field's width.
      if (name) {
        if (k > 0) *name = AdvanceByOne(*name).substr(0, nameMax);
        db_.SetName(row, *name);
      }
      if (id) {
        if (k > 0) *id = AdvanceByOne(*id).substr(0, idMax);
        db_.SetIdentifier(row, *id);
      }
      if (pair) db_.SetEventPair(row, *pair);
    }
    return {};
  }
};

class DetectTimesPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Detect Times"; }
  std::string CloseCaption() const override { return "Exit"; }
  std::vector<Column> Columns() const override {
    return {{"Input", 50}, {"Detect Time", 80}, {"Flashing", 60}};
  }
  int RowCount() const override { return db_.DigitalCount(); }
  std::string Cell(int row, int column) const override {
    switch (column) {
      case 0:
        return InputId(row);
      case 1:
        return ShowDetectTime(db_.type(), row, db_.DetectTime(row));
      case 2:
        return ShowFlash(db_.type(), row, db_.FlashEnabled(row));
    }
    return {};
  }
  bool Filterable() const override { return true; }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Detect Times";
    form.multiEdit = rows.size() > 1;
    form.grayNote = form.multiEdit && HasFlashBits(db_.type());
    FormField& time = form.Add(NumberField("time", "Detect Time:"));
    if (HasFlashBits(db_.type())) {
      form.Add(CheckField(
          "flash", "Flashing:", form.multiEdit ? kGray : (db_.FlashEnabled(rows[0]) ? 1 : 0)));
    }
    if (rows.size() == 1) time.text = ShowDetectTime(db_.type(), rows[0], db_.DetectTime(rows[0]));
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const auto text = TextFrom(*form.Find("time"), form.multiEdit);
    std::optional<int> time;
    if (text) {
      const std::string number = LeadingNumber(*text);
      time = number.empty() ? 0 : ParseDetectTime(db_.type(), number).value_or(0);
    }
    const FormField* flashField = form.Find("flash");
    const auto flash = flashField ? CheckFrom(*flashField) : std::nullopt;
    for (int row : rows) {
      if (time) db_.SetDetectTime(row, *time);
      if (flash) db_.SetFlashEnabled(row, *flash);
    }
    return {};
  }
};

class AnalogPage : public ListPage {
 public:
  using ListPage::ListPage;
  bool HasRange() const { return db_.Has(F::kAnalogRange); }
  std::string Title() const override { return "Analog"; }
  std::string CloseCaption() const override { return "Exit"; }
  std::vector<Column> Columns() const override {
    if (!HasRange()) return {{"Input", 50}, {"High Thld", 60}, {"Low Thld", 60}};
    return {{"Input", 50}, {"Range", 80}, {"Filter", 50}, {"High Thld", 60}, {"Low Thld", 60}};
  }
  int RowCount() const override { return db_.AnalogCount(); }
  std::string Threshold(int row, int stored) const {
    return HasRange() ? ShowThreshold(db_.AnalogRange(row), stored) : std::to_string(stored);
  }
  std::string Cell(int row, int column) const override {
    if (!HasRange() && column > 0) column += 2;
    switch (column) {
      case 0:
        return InputId(db_.layout()->FirstAnalog() + row);
      case 1:
        return AnalogRangeLabel(db_.type(), db_.AnalogRange(row));
      case 2:
        return FilterText(db_.AnalogFilter(row));
      case 3:
        return Threshold(row, db_.HighThreshold(row));
      case 4:
        return Threshold(row, db_.LowThreshold(row));
    }
    return {};
  }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Analog";
    form.multiEdit = rows.size() > 1;
    const bool multi = form.multiEdit;
    if (HasRange()) {
      std::vector<std::string> ranges;
      for (int r = 0; r < kAnalogRangeCount; ++r) ranges.push_back(AnalogRangeLabel(r));
      form.Add(ComboField("range", "Range:", gui::WithUnchanged(ranges, multi),
                          EntryFor(db_.AnalogRange(rows[0]), kAnalogRangeCount, multi)));
      form.Add(ComboField("filter", "Filter:", gui::WithUnchanged({"Fast", "Slow"}, multi),
                          EntryFor(db_.AnalogFilter(rows[0]) & 1, 2, multi)));
    }
    FormField& high = form.Add(NumberField("high", "High Threshold:"));
    FormField& low = form.Add(NumberField("low", "Low Threshold"));
    if (!multi) {
      high.text = Threshold(rows[0], db_.HighThreshold(rows[0]));
      low.text = Threshold(rows[0], db_.LowThreshold(rows[0]));
    }
    return form;
  }
  // A threshold typed for a row with the range it has after the edit.
  int ParseFor(int row, const std::string& text) const {
    if (!HasRange()) return ClampTo(ReadScaled(text, 1), -32768, 32767);
    const int range = db_.AnalogRange(row);
    const AnalogRange* r = FindAnalogRange(range);
    if (r == nullptr) return 0;
    return ClampTo(ReadScaled(text, r->scale), r->lowest, r->highest);
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    std::vector<std::string> messages;
    const FormField* rangeField = form.Find("range");
    const FormField* filterField = form.Find("filter");
    const auto range = rangeField ? IndexFrom(*rangeField, multi) : std::nullopt;
    const auto filter = filterField ? IndexFrom(*filterField, multi) : std::nullopt;
    const auto high = TextFrom(*form.Find("high"), multi);
    const auto low = TextFrom(*form.Find("low"), multi);
    for (int row : rows) {
      if (range) {
        // The battery input keeps range 1; the rest of its edit still applies.
        if (editor_.batteryLock && row == 7 && *range != 1) {
          if (messages.empty()) messages.emplace_back("Cannot change Range for A08");
        } else {
          db_.SetAnalogRange(row, *range);
        }
      }
      if (filter) db_.SetAnalogFilter(row, *filter);
      if (high) db_.SetHighThreshold(row, ParseFor(row, *high));
      if (low) db_.SetLowThreshold(row, ParseFor(row, *low));
    }
    return messages;
  }
};

class VirtualPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Virtual Inputs"; }
  std::string CloseCaption() const override { return "Exit"; }
  std::vector<std::string> RelayCaptions(bool withBlank) const {
    const int n = db_.RelayCount();
    if (n == 1) return {"Relay"};
    std::vector<std::string> out;
    for (int r = 0; r < n; ++r)
      out.push_back((withBlank ? "Relay " : "Relay") + std::to_string(r + 1));
    return out;
  }
  std::vector<Column> Columns() const override {
    std::vector<Column> c{{"Input", 50}, {"In1", 40}, {"In2", 40}, {"In3", 40}, {"In4", 40}};
    for (const std::string& r : RelayCaptions(false)) c.push_back({r, 50});
    c.push_back({"Dial Out", 50});
    return c;
  }
  int RowCount() const override { return db_.VirtualCount(); }
  int Source(int row, int slot) const {
    return InputOrNone(F::kVirtualInputs, db_.VirtualSource(row, slot), M::kSourceInputs);
  }
  std::string Cell(int row, int column) const override {
    if (column == 0) return InputId(db_.layout()->FirstVirtual() + row);
    if (column <= 4) {
      const int source = Source(row, column - 1);
      return source < 0 ? std::string() : InputId(source);
    }
    const int relay = column - 5;
    if (relay < db_.RelayCount()) return db_.Relay(row, relay) ? "Yes" : "No";
    if (relay == db_.RelayCount()) return db_.DialOut(row) ? "Yes" : "No";
    return {};
  }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Virtual Inputs";
    form.multiEdit = rows.size() > 1;
    form.grayNote = form.multiEdit;
    const bool multi = form.multiEdit;
    const gui::InputChoices choices(db_, 0, db_.NameCount(), gui::kNoneEntry, multi);
    for (int slot = 0; slot < 4; ++slot) {
      const std::string key = "in" + std::to_string(slot + 1);
      form.Add(ComboField(key, "In" + std::to_string(slot + 1), choices.entries(),
                          multi ? 0 : choices.EntryOf(Source(rows[0], slot))));
    }
    const std::vector<std::string> relays = RelayCaptions(true);
    for (int r = 0; r < static_cast<int>(relays.size()); ++r) {
      form.Add(CheckField("relay" + std::to_string(r), relays[static_cast<std::size_t>(r)],
                          multi ? kGray : (db_.Relay(rows[0], r) ? 1 : 0)));
    }
    form.Add(CheckField("dial", "Dial Out", multi ? kGray : (db_.DialOut(rows[0]) ? 1 : 0)));
    if (!multi) {
      FormField fn;
      fn.key = "function";
      fn.kind = FormKind::kButton;
      fn.label = "Function...";
      fn.text = std::to_string(db_.TruthTable(rows[0]));  // the truth table being edited
      form.Add(std::move(fn));
    }
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    const gui::InputChoices choices(db_, 0, db_.NameCount(), gui::kNoneEntry, multi);
    for (int row : rows) {
      for (int slot = 0; slot < 4; ++slot) {
        const FormField* f = form.Find("in" + std::to_string(slot + 1));
        if (const auto input = choices.InputOf(f->index)) db_.SetVirtualSource(row, slot, *input);
      }
      for (int r = 0; r < db_.RelayCount(); ++r) {
        const FormField* f = form.Find("relay" + std::to_string(r));
        if (const auto on = f ? CheckFrom(*f) : std::nullopt) db_.SetRelay(row, r, *on);
      }
      if (const auto dial = CheckFrom(*form.Find("dial"))) db_.SetDialOut(row, *dial ? 1 : 0);
      const FormField* fn = form.Find("function");
      if (!multi && fn != nullptr && !fn->text.empty()) {
        db_.SetTruthTable(row, static_cast<int>(std::stoll(fn->text)));
      }
    }
    return {};
  }
};

class MeasureSpeedPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Measure Speed"; }
  std::string CloseCaption() const override { return "OK"; }
  std::vector<Column> Columns() const override {
    return {{"Speed#", 50},  {"Event", 40},    {"Sensor1", 51},
            {"Sensor2", 51}, {"Distance", 60}, {"Threshold", 60}};
  }
  int RowCount() const override { return db_.SpeedMonitorCount(); }
  // The system input that reports speed monitor m ("S04" for the first in KRV-517).
  std::string EventId(int m) const {
    const int first = FirstSystemInput(db_.type());
    for (int n = first; n < first + 200; ++n) {
      if (SpeedMonitorNumber(db_.type(), n) == m + 1) return "(" + InputId(n) + ")";
    }
    return {};
  }
  std::string UnitText(int m) const {
    if (!editor_.speedUnitOnSpeedPage) return "Feet";
    return db_.SpeedDistanceUnit(m) == 0 ? "Inches" : "Feet";
  }
  std::string Sensor(int m, bool second) const {
    const int v = second ? db_.SpeedSensor2(m) : db_.SpeedSensor1(m);
    const int input = InputOrNone(F::kSpeedMonitors, v, second ? M::kSensor2 : M::kSensor1);
    return input < 0 ? std::string() : InputId(input);
  }
  std::string Cell(int row, int column) const override {
    switch (column) {
      case 0:
        return Printf("%2d", row + 1);
      case 1:
        return EventId(row);
      case 2:
        return Sensor(row, false);
      case 3:
        return Sensor(row, true);
      case 4:
        return Printf("%4d ", db_.SpeedDistance(row)) + UnitText(row);
      case 5:
        return Printf("%3d MPH", db_.SpeedThreshold(row));
    }
    return {};
  }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Measure Speed";
    form.multiEdit = rows.size() > 1;
    const bool multi = form.multiEdit;
    const gui::InputChoices choices(db_, 0, db_.DigitalCount(), gui::kNoneEntryWide, multi);
    const int m = rows[0];
    const auto sensor = [&](bool second) {
      const int v = second ? db_.SpeedSensor2(m) : db_.SpeedSensor1(m);
      return multi ? 0
                   : choices.EntryOf(
                         InputOrNone(F::kSpeedMonitors, v, second ? M::kSensor2 : M::kSensor1));
    };
    form.Add(ComboField("sensor1", "Sensor1:", choices.entries(), sensor(false)));
    form.Add(ComboField("sensor2", "Sensor2:", choices.entries(), sensor(true)));
    FormField& distance = form.Add(NumberField("distance", "Distance:", "Feet"));
    if (editor_.speedUnitOnSpeedPage) {
      distance.unit.clear();
      form.Add(ComboField("distanceUnit", "Distance unit",
                          gui::WithUnchanged({"Inches", "Feet"}, multi),
                          EntryFor(db_.SpeedDistanceUnit(m), 2, multi)));
    }
    FormField& threshold = form.Add(NumberField("threshold", "Threshold:", "MPH"));
    if (!multi) {
      distance.text = std::to_string(db_.SpeedDistance(m));
      threshold.text = std::to_string(db_.SpeedThreshold(m));
    }
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    const gui::InputChoices choices(db_, 0, db_.DigitalCount(), gui::kNoneEntryWide, multi);
    const auto s1 = choices.InputOf(form.Find("sensor1")->index);
    const auto s2 = choices.InputOf(form.Find("sensor2")->index);
    const auto distance = TextFrom(*form.Find("distance"), multi);
    const auto threshold = TextFrom(*form.Find("threshold"), multi);
    const FormField* unitField = form.Find("distanceUnit");
    const auto unit = unitField ? IndexFrom(*unitField, multi) : std::nullopt;
    for (int row : rows) {
      if (s1) db_.SetSpeedSensor1(row, *s1);
      if (s2) db_.SetSpeedSensor2(row, *s2);
      if (distance) db_.SetSpeedDistance(row, ClampTo(ReadScaled(*distance, 1), 0, 5280));
      if (threshold) db_.SetSpeedThreshold(row, ClampTo(ReadScaled(*threshold, 1), 0, 180));
      if (unit) db_.SetSpeedDistanceUnit(row, *unit);
    }
    return {};
  }
};

class TimersPage : public ListPage {
 public:
  using ListPage::ListPage;
  std::string Title() const override { return "Timers"; }
  std::string CloseCaption() const override { return "OK"; }
  std::vector<Column> Columns() const override {
    return {{"Timer", 40}, {"From", 40},     {"Event", 40},    {"To", 40},
            {"Event", 40}, {"LowLimit", 60}, {"HighLimit", 60}};
  }
  int RowCount() const override { return db_.TimerCount(); }
  int From(int t) const { return InputOrNone(F::kTimerFromInput, db_.TimerFrom(t)); }
  int To(int t) const { return InputOrNone(F::kTimerToInput, db_.TimerTo(t)); }
  std::string Cell(int row, int column) const override {
    switch (column) {
      case 0:
        return InputId(db_.layout()->FirstTimer() + row);
      case 1:
        return From(row) < 0 ? std::string() : InputId(From(row));
      case 2:
        return db_.TimerFromState(row) ? "On" : "Off";
      case 3:
        return To(row) < 0 ? std::string() : InputId(To(row));
      case 4:
        return db_.TimerToState(row) ? "On" : "Off";
      case 5:
        return ShowTimerLimit(db_.TimerLowLimit(row));
      case 6:
        return ShowTimerLimit(db_.TimerHighLimit(row));
    }
    return {};
  }
  bool Filterable() const override { return true; }
  std::vector<std::string> FilterKeys(int row) const override {
    const int input = db_.layout()->FirstTimer() + row;
    return {InputId(input), db_.Name(input), db_.Identifier(input)};
  }
  gui::InputChoices FromChoices(bool multi) const {
    return gui::InputChoices(db_, 0, db_.NameCount(), gui::kNoneEntryWide, multi);
  }
  gui::InputChoices ToChoices(bool multi) const {
    return gui::InputChoices(db_, 0, db_.layout()->FirstTimer(), gui::kNoneEntryWide, multi);
  }
  EditForm MakeForm(const std::vector<int>& rows) const override {
    EditForm form;
    form.title = "Edit Timer";
    form.multiEdit = rows.size() > 1;
    const bool multi = form.multiEdit;
    const int t = rows[0];
    const gui::InputChoices from = FromChoices(multi);
    const gui::InputChoices to = ToChoices(multi);
    const std::vector<std::string> states = gui::WithUnchanged({"On", "Off"}, multi);
    // State entry 0 "On" stores 1, entry 1 "Off" stores 0.
    const auto stateEntry = [&](int stored) { return multi ? 0 : (stored ? 0 : 1); };
    form.Add(ComboField("from", "From:", from.entries(), multi ? 0 : from.EntryOf(From(t))));
    form.Add(ComboField("fromState", "From state", states, stateEntry(db_.TimerFromState(t))));
    form.Add(ComboField("to", "To:", to.entries(), multi ? 0 : to.EntryOf(To(t))));
    form.Add(ComboField("toState", "To state", states, stateEntry(db_.TimerToState(t))));
    FormField& low = form.Add(NumberField("low", "Low Limit:"));
    FormField& high = form.Add(NumberField("high", "High Limit:"));
    if (!multi) {
      low.text = ShowTimerLimit(db_.TimerLowLimit(t));
      high.text = ShowTimerLimit(db_.TimerHighLimit(t));
    }
    return form;
  }
  std::vector<std::string> Apply(std::vector<int> rows, const EditForm& form) override {
    rows = SortedRows(std::move(rows), RowCount());
    const bool multi = form.multiEdit;
    const auto from = FromChoices(multi).InputOf(form.Find("from")->index);
    const auto to = ToChoices(multi).InputOf(form.Find("to")->index);
    const auto fromState = IndexFrom(*form.Find("fromState"), multi);
    const auto toState = IndexFrom(*form.Find("toState"), multi);
    const auto low = TextFrom(*form.Find("low"), multi);
    const auto high = TextFrom(*form.Find("high"), multi);
    for (int row : rows) {
      if (from) db_.SetTimerFrom(row, *from);
      if (fromState) db_.SetTimerFromState(row, *fromState == 0 ? 1 : 0);
      if (to) db_.SetTimerTo(row, *to);
      if (toState) db_.SetTimerToState(row, *toState == 0 ? 1 : 0);
      if (low) db_.SetTimerLowLimit(row, ClampTo(ReadScaled(*low, 10), 0, 9999));
      if (high) db_.SetTimerHighLimit(row, ClampTo(ReadScaled(*high, 10), 0, 9999));
    }
    return {};
  }
};

}  // namespace

std::vector<int> SortedRows(std::vector<int> rows, int count) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::erase_if(rows, [count](int r) { return r < 0 || r >= count; });
  return rows;
}

std::string ListPage::InputId(int input) const { return SetupIdentifier(db_.type(), input); }

int ListPage::InputOrNone(SetupField field, int value, SetupMember member) const {
  if (db_.IsNoInput(field, value, member) || value < 0) return -1;
  return value;
}

std::vector<std::string> ListPage::FilterKeys(int row) const {
  return {InputId(row), db_.Name(row), db_.Identifier(row)};
}

namespace {

// True when `needle` (already in lower case) occurs in `hay`, ignoring case.
bool ContainsFolded(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return false;
  const auto fold = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  for (std::size_t start = 0; start + needle.size() <= hay.size(); ++start) {
    std::size_t k = 0;
    while (k < needle.size() && fold(hay[start + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

}  // namespace

std::vector<int> ListPage::FilterRows(std::string_view text) const {
  const int count = RowCount();
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(count));
  const std::string needle = Lower(text);
  for (int row = 0; row < count; ++row) {
    bool keep = needle.empty();
    if (!keep) {
      for (const std::string& key : FilterKeys(row)) {
        if (ContainsFolded(key, needle)) {
          keep = true;
          break;
        }
      }
    }
    if (keep) rows.push_back(row);
  }
  return rows;
}

std::unique_ptr<ListPage> MakeListPage(Page page, const EditorFamilyRow& editor,
                                       SetupDatabase& db) {
  switch (page) {
    case Page::kEventNames:
      return std::make_unique<EventNamesPage>(editor, db);
    case Page::kInputNames:
      return std::make_unique<InputNamesPage>(editor, db);
    case Page::kDetectTimes:
      return std::make_unique<DetectTimesPage>(editor, db);
    case Page::kAnalog:
      return std::make_unique<AnalogPage>(editor, db);
    case Page::kVirtual:
      return std::make_unique<VirtualPage>(editor, db);
    case Page::kMeasureSpeed:
      return std::make_unique<MeasureSpeedPage>(editor, db);
    case Page::kTimers:
      return std::make_unique<TimersPage>(editor, db);
    default:
      break;
  }
  return nullptr;
}

}  // namespace zel::editors
