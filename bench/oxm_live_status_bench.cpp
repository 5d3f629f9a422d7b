// Live status window of a KRV-517XC with all 16 input modules present (4,256 items): the time
// to open it, and a burst of state lines from the line applied in timer ticks (time per tick,
// per line, and the repaint after it). The line is a socket pair attached to the connection.
// Usage: oxm_live_status_bench [--lines N] [--opens K]
// Prints; never asserts.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "live_status_window.h"
#include "zel/comm/fd_transport.h"

using namespace zel;
using Clock = std::chrono::steady_clock;

static double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int main(int argc, char** argv) {
  int lines = 10000, opens = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--lines")) lines = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--opens")) opens = std::atoi(argv[i + 1]);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  SetupDatabase setup(model::kKrv517xc);
  for (int g = 0; g < 16; ++g) setup.SetSecondaryIp(g, {10, 0, 1, static_cast<uint8_t>(g + 1)});
  for (int d = 0; d < 4096; d += 3) setup.SetFlashEnabled(d, true);

  // Opening: the model, the list with every item placed, shown and painted once.
  std::vector<double> openMs;
  std::size_t items = 0;
  for (int k = 0; k < opens; ++k) {
    const auto t0 = Clock::now();
    auto live = std::make_unique<oxm::LiveStatusModel>(model::kKrv517xc, &setup);
    items = live->items().size();
    oxm::LiveStatusWindow w(std::move(live), oxm::LiveTitle("BENCH", "Bench"), nullptr, 0, {});
    w.show();
    app.processEvents();
    w.repaint();  // a painted window, whether or not the platform exposed it yet
    openMs.push_back(Ms(Clock::now() - t0));
  }
  std::sort(openMs.begin(), openMs.end());
  std::printf("open: %zu items, median %.1f ms, best %.1f ms over %d opens (goal 200 ms)\n", items,
              openMs[openMs.size() / 2], openMs.front(), opens);

  // A burst from the line.
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 1;
  comm::Connection conn;
  conn.Attach(std::make_unique<comm::FdTransport>(sv[0]));
  oxm::LiveStatusWindow::Services s;
  s.tickMs = 1000000;  // ticked by hand below
  auto live = std::make_unique<oxm::LiveStatusModel>(model::kKrv517xc, &setup);
  oxm::LiveStatusWindow w(std::move(live), oxm::LiveTitle("BENCH", "Bench"), &conn, 0, s);
  w.show();
  app.processEvents();
  std::string burst;
  std::mt19937 rng(7);
  for (int i = 0; i < lines; ++i) {
    const int position = static_cast<int>(rng() % 4256) + 1;
    burst += std::to_string(position) + " " + std::to_string(rng() % 2) + "\r\n";
  }
  std::thread writer([&] {
    std::size_t at = 0;
    while (at < burst.size()) {
      const ssize_t n = ::write(sv[1], burst.data() + at, burst.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
  });
  std::vector<double> tickMs;
  double paintMs = 0;
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (w.linesRead() < static_cast<std::size_t>(lines) && Clock::now() < end) {
    const auto t0 = Clock::now();
    w.Tick();
    const auto t1 = Clock::now();
    app.processEvents();  // the repaint of what changed
    paintMs += Ms(Clock::now() - t1);
    if (w.linesRead() > 0) tickMs.push_back(Ms(t1 - t0));
  }
  writer.join();
  double total = 0;
  for (double t : tickMs) total += t;
  std::printf(
      "burst: %zu of %d lines (%zu bytes) in %zu ticks; %.2f ms in ticks (longest %.2f ms), "
      "%.2f us per line; repaint %.2f ms (tick budget 100 ms)\n",
      w.linesRead(), lines, burst.size(), tickMs.size(), total,
      tickMs.empty() ? 0.0 : *std::max_element(tickMs.begin(), tickMs.end()),
      w.linesRead() ? 1000.0 * total / static_cast<double>(w.linesRead()) : 0.0, paintMs);
  ::close(sv[1]);
  return 0;
}
