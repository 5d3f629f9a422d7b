// The setup-to-text converters: one listing of a setup database for every model with a
// converter program, driven by the model's layout and the small table of texts below.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "zel/catalogue.h"
#include "zel/setup_database.h"

namespace zel::s2t {

// What a model's listing needs beyond its layout: the program names and the model's own
// labels. Everything else (counts, widths, which fields exist) comes from the layout.
struct ConverterModel {
  RecorderType type;
  // Both names are the catalogue's converter and converterAlias without ".exe".
  const char* program = nullptr;  // program file name
  const char* alias = nullptr;  // second spelling in the program folder (the editors'), or nullptr
  // Time-zone labels by index; empty when the model has no label list.
  std::vector<const char*> timeZones;
  const char* clockSyncMode0;  // label of clock sync mode 0: "None" ("Digital" in KRV-61E)
  const char* clockSyncNone;   // clock sync input "none": "None" ("---       (SNTP)" KRV-517E)
};

// The 17 converter programs, in type order (types 14 and 15 share one).
const std::vector<ConverterModel>& ConverterModels();
// The converter of a model type (type 15 gives the one of type 14); nullptr when none.
const ConverterModel* FindConverterModel(RecorderType type);

// The whole listing of a setup database, with "\n" line ends.
std::string ListSetup(const SetupDatabase& db, const ConverterModel& model);

// The converter program: argv[1] the setup file, argv[2] the text file. Returns the exit
// status: 1 with fewer than two arguments, 0 otherwise, also when a file cannot be opened or
// written (then a one-line explanation goes to err and no listing is written). The listing
// goes to a temporary file that is renamed over the text file only when complete.
int RunConverter(RecorderType type, int argc, const char* const* argv, std::ostream& err);

// Label of an index into a label list, or "Unknown (n)" for an index outside it.
std::string LabelOrUnknown(const std::vector<const char*>& labels, int index);

}  // namespace zel::s2t
