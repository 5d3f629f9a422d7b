#!/usr/bin/env bash
# Report writing speed on a release build: 2 million KRV-517XL records, against cat.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
cmake --build "$build" --target report_bench >/dev/null
"$build/bin/report_bench" "${1:-2000000}"
