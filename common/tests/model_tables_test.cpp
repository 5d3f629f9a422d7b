// Every per-model table has the row of every model it should: a row left out of a table that is
// searched at run time shows only as wrong texts for that one model.
#include <gtest/gtest.h>

#include <string>

#include "zel/catalogue.h"
#include "zel/identifiers.h"

namespace zel {
namespace {

TEST(ModelTables, EveryModelWithInputsNamesItsSystemInputs) {
  for (RecorderType t = 0; t < kModelTypeCount; ++t) {
    SCOPED_TRACE(TypeName(t));
    const bool hasInputs = t != model::kKpd29a;
    ASSERT_EQ(FindIdentifierRow(t) != nullptr, hasInputs);
    if (!hasInputs) continue;
    const int first = FirstSystemInput(t);
    // Every model's S01 is the power input; a model missing from the names table reads
    // "Invalid input number" there.
    EXPECT_EQ(SystemInputLongName(t, first), "System Power");
    EXPECT_EQ(SystemInputShortName(t, first), "Power");
    // The speed monitors follow the fixed names, numbered from 1 without a gap.
    const InputCounts counts = InputCountsOf(t);
    int monitors = 0;
    for (int i = first; i < first + counts.namedSystem; ++i) {
      const int n = SpeedMonitorNumber(t, i);
      if (n == 0) continue;
      EXPECT_EQ(n, ++monitors) << "input " << i;
      EXPECT_EQ(SystemInputLongName(t, i), "Speed Monitor " + std::to_string(n));
    }
    EXPECT_EQ(monitors, counts.speedMonitors);
  }
}

}  // namespace
}  // namespace zel
