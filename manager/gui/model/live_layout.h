// The live status window's layout by model: how many digital and analog inputs a model
// reports, how many list positions it has, the rows per column and the column width, and where
// each listed position sits in the window.
#pragma once

#include <optional>
#include <vector>

#include "zel/catalogue.h"

namespace zel::oxm {

enum class LiveArrangement {
  kColumns,      // digital, analog, one empty column, virtual; columns of `rows` each
  kBlocksOf256,  // digital in blocks of 8 columns by 32 rows; analog column 8, virtual 10
  kModules,      // present input modules stacked; analog column 8, virtual column 10
};

struct LiveLayoutRow {
  RecorderType type;
  int digital;      // D: digital inputs (positions 1..D)
  int analog;       // A: analog inputs (positions D+1..D+A)
  int positions;    // list positions; those after D+A are virtual inputs
  int rows;         // R: rows per column
  int columnWidth;  // pixels
  LiveArrangement arrangement = LiveArrangement::kColumns;
  int moduleAnalog = 0;  // kModules: analog inputs of one module
};

// Row of a model type; nullptr for KPD-29A (an empty window) and unknown types.
const LiveLayoutRow* FindLiveLayout(RecorderType type);

// The grid: a module holds 256 digital inputs; a module or block is 33 rows high.
inline constexpr int kLiveModuleCount = 16;
inline constexpr int kLiveModuleDigital = 256;
inline constexpr int kLiveBlockRows = 33;
inline constexpr int kLiveModularVirtuals = 32;
inline constexpr int kLiveRowHeight = 16;
inline constexpr int kLiveLeftMargin = 16;

struct LivePlacement {
  int position;  // list position, 0-based
  int x;         // left edge, pixels
  int y;         // top, pixels
};

// Every listed position of a model in list order with its grid point. `module_present`
// (modular models only; missing entries count as absent) says which of the 16 modules are
// listed.
std::vector<LivePlacement> LivePlacements(const LiveLayoutRow& row,
                                          const std::vector<bool>& module_present = {});

}  // namespace zel::oxm
