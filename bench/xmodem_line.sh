#!/usr/bin/env bash
# XMODEM-CRC speed over the simulator's emulated serial line: a long event query downloaded and
# a setup database of the same size uploaded at BYTES_PER_SECOND (default 3840 = 38400 baud 8N1).
# Usage: bench/xmodem_line.sh [BYTES] [BYTES_PER_SECOND]   (default 1 MiB; builds build-release
# if needed, or the folder in BUILD_DIR). Prints bytes/s and the ratio to the line limit.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
bytes=${1:-1048576}
bps=${2:-3840}
if [ ! -x "$build/bin/xmodem_line_bench" ] || [ ! -x "$build/bin/zelsim" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target xmodem_line_bench zelsim
fi
echo "xmodem_line: $bytes bytes each way at $bps bytes/s; expect about $((bytes * 134 / 128 / bps * 2)) s"
"$build/bin/xmodem_line_bench" --bytes "$bytes" --bps "$bps"
