#include "model/details.h"

#include <cstdio>
#include <cstdlib>

#include "model/time_text.h"
#include "zel/identifiers.h"
#include "zel/value_format.h"

namespace zel::qplot {

namespace {

// The analog inputs a record's values belong to, by file type: value j belongs to
// firstAnalog + j, or for the 16-unit types to firstAnalog + perUnit x unit + j with the unit
// of the event's input.
struct ValueOwners {
  EventFileType type;
  int firstAnalog;
  int perUnit;  // 0: one set for the whole recorder
};
constexpr ValueOwners kValueOwners[] = {
    {.type = EventFileType::k19XT, .firstAnalog = 18, .perUnit = 0},
    {.type = EventFileType::k19XL, .firstAnalog = 18, .perUnit = 0},
    {.type = EventFileType::k37E, .firstAnalog = 20, .perUnit = 0},
    {.type = EventFileType::k61, .firstAnalog = 64, .perUnit = 0},
    {.type = EventFileType::k61E, .firstAnalog = 64, .perUnit = 0},
    {.type = EventFileType::k517, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::k517E, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::k517XL, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::k583, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::k583E, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::k583A, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::kSlg, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::kSlgML, .firstAnalog = 256, .perUnit = 0},
    {.type = EventFileType::kSlg808, .firstAnalog = 999, .perUnit = 0},
    {.type = EventFileType::k517P, .firstAnalog = 4096, .perUnit = 8},
    {.type = EventFileType::k517AX, .firstAnalog = 4096, .perUnit = 4},
    // KRV85E: its records carry no values.
};

std::string Tabbed(const char* caption, const std::string& value) {
  return std::string(caption) + "\t" + value;
}

// The event names of an input's event pair.
struct PairNames {
  std::string on, off, coding;
};
PairNames NamesOfPair(const EventData& data, int input) {
  PairNames p;
  const SetupDatabase* s = data.Setup();
  if (!s) return p;
  const int pair = s->EventPair(input);
  p.on = s->OnName(pair);
  p.off = s->OffName(pair);
  if (data.Is583Family()) p.coding = s->CodingName(pair);
  return p;
}

}  // namespace

std::array<std::string, 5> EquationRow(const EventData& data, const CVequation& eq, int e) {
  std::array<std::string, 5> row;
  char label[16];
  std::snprintf(label, sizeof label, "E%02d", e + 1);
  row[0] = label;
  for (size_t k = 0; k < kEquationInputs; ++k) row[k + 1] = data.Identifier(eq.in[k]);
  return row;
}

gui::InputChoices EquationChoices(const EventData& data) {
  static const SetupDatabase kNothingLoaded(-1);
  const SetupDatabase* setup = data.Setup();
  return gui::InputChoices(setup ? *setup : kNothingLoaded, 0, setup ? data.InputCount() : 0,
                           gui::kNoneEntry, false);
}

std::vector<FunctionRow> FunctionRows(const CVequation& eq) {
  std::vector<FunctionRow> rows;
  const int k = eq.UsedInputCount();
  if (k == 0) return rows;
  for (int r = 0; r < (1 << k); ++r) {
    FunctionRow row;
    row.combination = r;
    int bit = 0;  // the used inputs take the bits of r in order, In1 lowest
    for (size_t i = 0; i < kEquationInputs; ++i) {
      if (eq.in[i] < 0) continue;
      row.inputs[i] = (r >> bit) & 1 ? "On" : "Off";
      ++bit;
    }
    row.output = eq.table[static_cast<size_t>(r)] ? "On" : "Off";
    rows.push_back(row);
  }
  return rows;
}

void SetFunctionOutputs(CVequation& eq, const std::vector<int>& combinations, bool on) {
  for (int r : combinations)
    if (r >= 0 && r < kTruthTableSize) eq.table[static_cast<size_t>(r)] = on ? 1 : 0;
}

int FirstAnalogOfValues(const EventData& data, int input) {
  for (const ValueOwners& v : kValueOwners) {
    if (v.type != data.Type()) continue;
    return v.firstAnalog + v.perUnit * data.UnitOfInput(input);
  }
  return -1;
}

EventDetailLines DescribeEvent(const EventData& data, int64_t record) {
  EventDetailLines out;
  if (record < 0 || record >= data.RecordCount()) return out;
  const int input = data.RecordInput(record);
  const int level = data.RecordLevel(record);
  const TimeTexts texts(data.TicksPerSecond());
  const PairNames names = NamesOfPair(data, input);
  std::string event;
  if (data.Is583Family())
    event = level == 0 ? names.off : level == 2 ? names.coding : names.on;
  else
    event = level != 0 ? names.on : names.off;
  out.digital = {
      Tabbed("Input:", data.Identifier(input)),
      Tabbed("Time:", texts.DateTime(static_cast<double>(data.RecordTime(record)))),
      Tabbed("Name:", data.Name(input)),
      Tabbed("ID:", data.IdOf(input)),
      Tabbed("Event:", event),
  };
  out.analog.emplace_back("Inp\tName\tID\tValue");
  const int first = FirstAnalogOfValues(data, input);
  if (first < 0) return out;
  const auto rec = data.ReadRecord(record);
  if (!rec) return out;
  const SetupDatabase* s = data.Setup();
  const int analog_base = FirstAnalogInput(data.Model());
  for (int j = 0; j < rec->valueCount; ++j) {
    const int a = first + j;
    const int range = s ? s->AnalogRange(a - analog_base) : 0;
    out.analog.push_back(data.Identifier(a) + "\t" + data.Name(a) + "\t" + data.IdOf(a) + "\t" +
                         ShowThreshold(range, rec->values[static_cast<size_t>(j)]));
  }
  return out;
}

std::string Krv85eThreshold(int stored) {
  char buf[32];
  const int magnitude = std::abs(stored);
  std::snprintf(buf, sizeof buf, "%s%d.%02d", stored < 0 ? "-" : "", magnitude / 100,
                magnitude % 100);
  return buf;
}

std::vector<std::string> DescribeInput(const EventData& data, const CZelQplotDoc& doc, int input) {
  std::vector<std::string> out;
  const int n = data.InputCount();
  if (input >= n && input < n + kEquationCount && data.Loaded()) {
    const CVequation& eq = doc.Equation(input - n);
    std::string from;
    for (size_t k = 0; k < kEquationInputs; ++k) from += (k ? " " : "") + data.Identifier(eq.in[k]);
    out.push_back(Tabbed("Equation of:", from));
    return out;
  }
  const SetupDatabase* s = data.Setup();
  if (input < 0 || input >= n || !s) return out;
  const RecorderType model = data.Model();
  out.push_back(Tabbed("Name:", data.Name(input)));
  out.push_back(Tabbed("ID:", data.IdOf(input)));
  const PairNames names = NamesOfPair(data, input);
  out.push_back(Tabbed("On Event Name:", names.on));
  out.push_back(Tabbed("Off Event Name:", names.off));
  if (data.Is583Family())
    out.push_back(Tabbed("Coding Event Name:", names.coding));
  else
    out.push_back(Tabbed("Flashing:", ShowFlash(model, input, s->FlashEnabled(input))));
  switch (KindOfInput(model, input)) {
    case InputKind::kDigital:
      out.push_back(Tabbed("Detect Time:", ShowDetectTime(model, input, s->DetectTime(input))));
      break;
    case InputKind::kAnalog: {
      const int a = input - FirstAnalogInput(model);
      if (data.Type() == EventFileType::k85E) {
        out.push_back(Tabbed("High Threshold:", Krv85eThreshold(s->HighThreshold(a))));
        out.push_back(Tabbed("Low Threshold:", Krv85eThreshold(s->LowThreshold(a))));
      } else {
        const int range = s->AnalogRange(a);
        out.push_back(Tabbed("Range:", AnalogRangeLabel(model, range)));
        out.push_back(Tabbed("High Threshold:", ShowThreshold(range, s->HighThreshold(a))));
        out.push_back(Tabbed("Low Threshold:", ShowThreshold(range, s->LowThreshold(a))));
      }
      break;
    }
    case InputKind::kVirtual: {
      const int v = input - FirstVirtualInput(model);
      std::string from;
      for (int slot = 0; slot < kEquationInputs; ++slot)
        from += (slot ? " " : "") + SetupIdentifier(model, s->VirtualSource(v, slot));
      out.push_back(Tabbed("Function of:", from));
      break;
    }
    default:
      break;
  }
  return out;
}

}  // namespace zel::qplot
