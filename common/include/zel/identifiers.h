// API-STABLE
// Input identifiers ("D001", "A08", "V16", "T200", "F03", "S01"), live identifiers and the
// fixed names of system inputs, for every model type.
#pragma once

#include <string>

#include "zel/catalogue.h"

namespace zel {

// How many inputs of each kind a model has. Inputs are numbered in one flat range in this
// order: digital, analog, virtual, timers, flash details, system inputs.
struct InputCounts {
  int digital = 0;
  int analog = 0;
  int virtuals = 0;
  int timers = 0;
  int flashDetails = 0;  // one per digital input in KRV-37E/A and KRV-61E/A, else 0
  int system = 0;        // inputs S01.. that carry a setup identifier
  // Named system inputs: system inputs and speed monitors the event reports name. Equals
  // `system` except for KRV-19XL and KRV-583A, whose reports name more numbers than carry an
  // S identifier.
  int namedSystem = 0;
  int speedMonitors = 0;  // speed monitor inputs among the named system inputs
};

// One row per model: counts and identifier widths. Widths are the digits behind the kind
// letter (2, 3 or 4).
struct IdentifierRow {
  RecorderType type;
  InputCounts counts;
  int digitalWidth;
  bool digitalLetter;  // false: the KRV-583 family's digital identifiers have no letter
  int analogWidth;
  int virtualWidth;
  int timerWidth;
  int flashWidth;
  int systemWidth;
  const char* invalidText;  // "---" or "***"
  int liveDigitalWidth;     // widths of the live identifiers
  int liveAnalogWidth;
};

// Row of a model type with inputs; nullptr for type 17 and unknown types.
const IdentifierRow* FindIdentifierRow(RecorderType type);

// Counts of a model; all zero for type 17 and unknown types.
InputCounts InputCountsOf(RecorderType type);

enum class InputKind { kDigital, kAnalog, kVirtual, kTimer, kFlashDetail, kSystem, kInvalid };

// Kind of an input number: kSystem for S01..S(system); kInvalid beyond or below.
InputKind KindOfInput(RecorderType type, int input);

int FirstAnalogInput(RecorderType type);
int FirstVirtualInput(RecorderType type);
int FirstTimerInput(RecorderType type);
int FirstFlashDetailInput(RecorderType type);
int FirstSystemInput(RecorderType type);  // 0 for type 17 and unknown types
int SystemInputCount(RecorderType type);  // inputs with an S identifier
// Count of inputs from 0 through the last system input with an identifier.
int TotalInputCount(RecorderType type);
// Count of the live inputs (digital + analog + virtual).
int LiveInputCount(RecorderType type);

// Digital input whose flash details an input number carries; -1 when it is no flash-detail
// input.
int FlashDetailSource(RecorderType type, int input);

// Setup identifier of an input number ("D001", "001" in the KRV-583 family, "A08", "V16",
// "T200", "F03", "S11"); the model's invalid text for a number outside the model's inputs;
// empty for type 17 and unknown types.
std::string SetupIdentifier(RecorderType type, int input);

// "---" or "***"; empty for type 17 and unknown types.
std::string InvalidIdentifierText(RecorderType type);

// Identifier of a live input (digital, analog, virtual only), index counted from 0 over those
// three kinds; empty beyond them and for a model type outside the catalogue.
std::string LiveIdentifier(RecorderType type, int index);

// Fixed names of a system input, by its input number. Long names have at most 20 characters
// ("System Power", "Speed Monitor 3", "System Power-2"), short names at most 8 ("Power",
// "SpeedLim", "Power-2"). A number that is no named system input gives "Invalid input number"
// and "Invalid".
std::string SystemInputLongName(RecorderType type, int input);
std::string SystemInputShortName(RecorderType type, int input);

// True when the input number is a named system input (system inputs, speed monitors and the
// sub-unit inputs of KRV-517XC/AX, including the unnamed fourth of each sub-unit).
bool IsNamedSystemInput(RecorderType type, int input);
// Number of the named system inputs after FirstSystemInput (see InputCounts::namedSystem).
int NamedSystemInputCount(RecorderType type);
// 1-based speed monitor number of an input number; 0 when it is no speed monitor.
int SpeedMonitorNumber(RecorderType type, int input);

}  // namespace zel
