#!/usr/bin/env bash
# Decoding speed of event record files against cat, on a release build.
# Usage: bench/event_decode.sh [RECORDS]   (builds build-release if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
if [ ! -x "$build/bin/event_decode_bench" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target event_decode_bench
fi
"$build/bin/event_decode_bench" "${1:-2000000}"
