#!/usr/bin/env bash
# Poll run over 50 simulated TCP/IP recorders with scaled protocol waits: total time, the waits
# the protocol prescribes, where the rest went (the recorders' answers, disk syncs) and the
# engine's own time per recorder against the goal of 5 ms.
# Usage: bench/poll.sh [COUNT] [SCALE]   (default 50 recorders, waits x0.01; builds
# build-release if needed). Extra arguments after these go to poll_bench.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
count=${1:-50}
scale=${2:-0.01}
shift $(( $# > 2 ? 2 : $# ))
if [ ! -x "$build/bin/poll_bench" ] || [ ! -x "$build/bin/zelsim" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target poll_bench zelsim
fi
exec "$build/bin/poll_bench" --count "$count" --scale "$scale" --sim "$build/bin/zelsim" "$@"
