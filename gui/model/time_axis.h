// The time axis of the timing diagrams: the two step tables (in hundredths of a second, indexed
// together) and the choice of the step pair for a zoom.
#pragma once

#include <array>
#include <cstdint>

namespace zel::gui {

inline constexpr int kTimeStepCount = 17;
// Steps between labelled grid lines and between ticks, hundredths of a second.
inline constexpr std::array<int64_t, kTimeStepCount> kLabelStepsHundredths = {
    10,    20,    50,    100,    200,    500,    1500,    3000,   6000,
    12000, 30000, 90000, 180000, 360000, 720000, 2160000, 4320000};
inline constexpr std::array<int64_t, kTimeStepCount> kTickStepsHundredths = {
    1, 2, 5, 10, 20, 50, 100, 500, 1000, 1500, 3000, 6000, 12000, 60000, 90000, 180000, 360000};
// Labelled lines are at least this many units apart when a table entry allows it.
inline constexpr int64_t kMinLabelSpacingUnits = 80;

// Multiplier of the tables by tick rate: 100 for 1/1000 s, 10 for 1/100 s, 1 for 1/10 s (a
// step of h hundredths is h x m / 10 ticks).
int StepMultiplier(int ticks_per_second);

struct TimeSteps {
  int index = 0;           // entry of the tables
  int64_t labelTicks = 1;  // label step in ticks
  int64_t tickTicks = 1;   // tick step in ticks, at least 1
};

// The first entry whose label step, in ticks divided by the scale (ticks per unit), is at least
// 80 units; the last entry when none is. A tick step below one tick (1/10 s types at the first
// entries) counts as one tick, so the grid always advances.
TimeSteps ChooseTimeSteps(int ticks_per_second, int64_t scale_ticks_per_unit);
// The same with a scale of `ticks` per `units` (the real-time plotter's zoom is ticks per 10
// units): the first entry whose label step is at least 80 units long.
TimeSteps ChooseTimeSteps(int ticks_per_second, int64_t ticks, int64_t units);

}  // namespace zel::gui
