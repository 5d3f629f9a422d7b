// The waits an events poll of one recorder must sit out even when the recorder answers at once
// (the silence after the prompt, the password wait, the silences around the setup transfer and
// the pause after the connection closes), with the protocol's waits scaled as zelpoll --scale
// scales them. bench/poll_lines.sh takes the limit of a run over several lines from it.
// Usage: poll_waits [SCALE]   (default 1). Prints the milliseconds, nothing else.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "zel/comm/timings.h"

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (scale <= 0 || scale > 100) {
    std::fprintf(stderr, "poll_waits: the scale is a number above 0 and at most 100.\n");
    return 2;
  }
  const zel::comm::Timings t = zel::comm::Timings{}.Scaled(scale);
  // zelpoll's pause after each connection, scaled the same way.
  const int afterClose = std::max(1, static_cast<int>(3000 * scale));
  std::printf("%d\n", t.login_quiet_ms + t.password_ms + 2 * t.setup_quiet_ms + afterClose);
  return 0;
}
