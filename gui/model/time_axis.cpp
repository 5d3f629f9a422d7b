#include "gui/model/time_axis.h"

#include <algorithm>

namespace zel::gui {

int StepMultiplier(int ticks_per_second) {
  if (ticks_per_second >= 1000) return 100;
  if (ticks_per_second >= 100) return 10;
  return 1;
}

TimeSteps ChooseTimeSteps(int ticks_per_second, int64_t scale_ticks_per_unit) {
  return ChooseTimeSteps(ticks_per_second, std::max<int64_t>(1, scale_ticks_per_unit), 1);
}

TimeSteps ChooseTimeSteps(int ticks_per_second, int64_t ticks, int64_t units) {
  const int64_t m = StepMultiplier(ticks_per_second);
  const int64_t scale = std::max<int64_t>(1, ticks);
  const int64_t per = std::max<int64_t>(1, units);
  int chosen = kTimeStepCount - 1;
  for (int i = 0; i < kTimeStepCount; ++i) {
    const int64_t label = kLabelStepsHundredths[static_cast<size_t>(i)] * m / 10;
    if (label * per / scale >= kMinLabelSpacingUnits) {
      chosen = i;
      break;
    }
  }
  TimeSteps s;
  s.index = chosen;
  s.labelTicks = std::max<int64_t>(1, kLabelStepsHundredths[static_cast<size_t>(chosen)] * m / 10);
  s.tickTicks = std::max<int64_t>(1, kTickStepsHundredths[static_cast<size_t>(chosen)] * m / 10);
  return s;
}

}  // namespace zel::gui
