// What the equation dialogs and the details dialogs show: the rows of the Equations list, the
// entries of an Equation's input lists, the combinations of the Function list, and the lines
// of Event Details and Input Details. Lines hold "caption\tvalue" (or several tab-separated
// cells); the dialogs show one cell per column.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/model/input_choices.h"
#include "model/event_data.h"
#include "model/plot_document.h"

namespace zel::qplot {

// Equations list row e: the equation's label "E%02d", then the identifiers of In1 to In4
// (blank where not used).
std::array<std::string, 5> EquationRow(const EventData& data, const CVequation& eq, int e);

// The entries of an input list of the Equation dialog: "---       (none)", then "%s   %s" with
// the identifier and the name of every input 0 to N-1 (entry i + 1 stands for input i).
gui::InputChoices EquationChoices(const EventData& data);

// One row of the Function list: combination r of the used inputs, "On"/"Off" per In1 to In4
// (blank where not used), then the output.
struct FunctionRow {
  int combination = 0;
  std::array<std::string, kEquationInputs> inputs;
  std::string output;
};
// 2^k rows for k used inputs (none when no input is used).
std::vector<FunctionRow> FunctionRows(const CVequation& eq);
// ON / OFF: the outputs of the given rows (combinations) become 1 or 0.
void SetFunctionOutputs(CVequation& eq, const std::vector<int>& combinations, bool on);

struct EventDetailLines {
  std::vector<std::string> digital;
  std::vector<std::string> analog;  // the heading "Inp\tName\tID\tValue" first
};
// The details of record `record` (an index into the loaded records).
EventDetailLines DescribeEvent(const EventData& data, int64_t record);

// The first analog input that the values of a record of `input` belong to, or -1 for a type
// whose records carry none.
int FirstAnalogOfValues(const EventData& data, int input);

// The details of input `input` (0 to N-1), or of equation output N to N+7.
std::vector<std::string> DescribeInput(const EventData& data, const CZelQplotDoc& doc, int input);

// A KRV-85E threshold in hundredths: "%d.%02d" of whole and absolute remainder, with the minus
// sign kept for values between -0.99 and -0.01 (-50 is "-0.50").
std::string Krv85eThreshold(int stored);

}  // namespace zel::qplot
