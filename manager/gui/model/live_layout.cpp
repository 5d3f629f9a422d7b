#include "model/live_layout.h"

#include <array>

namespace zel::oxm {
namespace {

using enum LiveArrangement;
namespace m = zel::model;

constexpr std::array<LiveLayoutRow, 18> kLiveLayouts{{
    {.type = m::kKrv19xt,
     .digital = 18,
     .analog = 4,
     .positions = 30,
     .rows = 18,
     .columnWidth = 48},
    {.type = m::kKrv19xl,
     .digital = 18,
     .analog = 4,
     .positions = 30,
     .rows = 18,
     .columnWidth = 48},
    {.type = m::kKrv43_61,
     .digital = 64,
     .analog = 8,
     .positions = 88,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv61e,
     .digital = 64,
     .analog = 8,
     .positions = 104,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv517,
     .digital = 256,
     .analog = 8,
     .positions = 280,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv517e,
     .digital = 256,
     .analog = 8,
     .positions = 280,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv517xl,
     .digital = 256,
     .analog = 8,
     .positions = 360,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv517xc,
     .digital = 4096,
     .analog = 128,
     .positions = 4256,
     .rows = 32,
     .columnWidth = 54,
     .arrangement = kModules,
     .moduleAnalog = 8},
    {.type = m::kKrv583,
     .digital = 256,
     .analog = 16,
     .positions = 288,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv583e,
     .digital = 256,
     .analog = 16,
     .positions = 288,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv583a,
     .digital = 256,
     .analog = 16,
     .positions = 288,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv85e,
     .digital = 64,
     .analog = 32,
     .positions = 144,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kKrv37e,
     .digital = 20,
     .analog = 4,
     .positions = 32,
     .rows = 20,
     .columnWidth = 48},
    {.type = m::kSlgS7_246,
     .digital = 256,
     .analog = 4,
     .positions = 268,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kSlgMicrolok,
     .digital = 256,
     .analog = 4,
     .positions = 268,
     .rows = 32,
     .columnWidth = 48},
    {.type = m::kSlgS7_808,
     .digital = 999,
     .analog = 4,
     .positions = 1011,
     .rows = 32,
     .columnWidth = 48,
     .arrangement = kBlocksOf256},
    {.type = m::kSlgAS7,
     .digital = 999,
     .analog = 4,
     .positions = 1011,
     .rows = 32,
     .columnWidth = 48,
     .arrangement = kBlocksOf256},
    {.type = m::kKrv517ax,
     .digital = 4096,
     .analog = 64,
     .positions = 4256,
     .rows = 32,
     .columnWidth = 54,
     .arrangement = kModules,
     .moduleAnalog = 4},
}};

constexpr int kBlockColumns = 8;    // a block or module's digital inputs: 8 columns of 32
constexpr int kAnalogColumn = 8;    // blocks and modules: analog inputs
constexpr int kVirtualColumn = 10;  // blocks and modules: virtual inputs

int ColumnsFor(int count, int rows) { return (count + rows - 1) / rows; }

}  // namespace

const LiveLayoutRow* FindLiveLayout(RecorderType type) {
  for (const LiveLayoutRow& r : kLiveLayouts)
    if (r.type == type) return &r;
  return nullptr;
}

std::vector<LivePlacement> LivePlacements(const LiveLayoutRow& row,
                                          const std::vector<bool>& module_present) {
  std::vector<LivePlacement> out;
  auto place = [&](int position, int column, int r) {
    out.push_back({position, kLiveLeftMargin + column * row.columnWidth, r * kLiveRowHeight});
  };
  const int D = row.digital, A = row.analog, R = row.rows;
  switch (row.arrangement) {
    case kColumns: {
      for (int p = 0; p < D; ++p) place(p, p / R, p % R);
      const int analogColumn = ColumnsFor(D, R);
      for (int a = 0; a < A; ++a) place(D + a, analogColumn + a / R, a % R);
      const int virtualColumn = analogColumn + ColumnsFor(A, R) + 1;
      for (int v = 0; D + A + v < row.positions; ++v)
        place(D + A + v, virtualColumn + v / R, v % R);
      break;
    }
    case kBlocksOf256: {
      for (int p = 0; p < D; ++p) {
        const int q = p % kLiveModuleDigital;
        place(p, q / R, kLiveBlockRows * (p / kLiveModuleDigital) + q % R);
      }
      for (int a = 0; a < A; ++a) place(D + a, kAnalogColumn, a);
      for (int v = 0; D + A + v < row.positions; ++v) place(D + A + v, kVirtualColumn, v);
      break;
    }
    case kModules: {
      int k = 0;  // present modules so far
      for (int g = 0; g < kLiveModuleCount; ++g) {
        if (g >= static_cast<int>(module_present.size()) || !module_present[g]) continue;
        for (int q = 0; q < kLiveModuleDigital; ++q)
          place(kLiveModuleDigital * g + q, q / R % kBlockColumns, kLiveBlockRows * k + q % R);
        for (int j = 0; j < row.moduleAnalog; ++j)
          place(D + row.moduleAnalog * g + j, kAnalogColumn, kLiveBlockRows * k + j);
        ++k;
      }
      for (int v = 0; v < kLiveModularVirtuals && D + A + v < row.positions; ++v)
        place(D + A + v, kVirtualColumn, v);
      break;
    }
  }
  return out;
}

}  // namespace zel::oxm
