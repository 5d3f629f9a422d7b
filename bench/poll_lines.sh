#!/usr/bin/env bash
# A fleet of simulated TCP/IP recorders polled by zelpoll over one line and over many at once:
# wall time of each run, the speed-up, and the peak memory of zelpoll and zelsim. No figure is
# asserted; the run only fails when a poll does not succeed for every recorder.
# Usage: bench/poll_lines.sh [COUNT] [LINES] [SCALE]   (default 200 recorders, 32 lines,
# protocol waits x0.01). BUILD_DIR picks the build (default build-release, built when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
count=${1:-200}
lines=${2:-32}
scale=${3:-0.01}
bin=$build/bin
if [ ! -x "$bin/zelpoll" ] || [ ! -x "$bin/zelsim" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target zelpoll zelsim
fi

work=$(mktemp -d /tmp/zel_poll_lines.XXXXXX)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill -INT "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The fleet: every recorder on a free TCP port of 127.0.0.1.
{
  echo "scale = $scale"
  for i in $(seq 1 "$count"); do
    printf '[recorder F%04d]\nmodel = KRV-517XL\npassword = P%04d\nseed = %d\ntcp = 0\n' "$i" "$i" "$i"
  done
} >"$work/fleet.conf"

"$bin/zelsim" --config "$work/fleet.conf" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 1 600); do
  grep -q '^zelsim: ready' "$work/sim.out" && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.out"; exit 1; }
  sleep 0.1
done
grep -q '^zelsim: ready' "$work/sim.out" || { echo "zelsim did not get ready"; exit 1; }

# One station (zel.dat and data folder) per run, the same recorders in both.
station() {
  local dir=$work/$1
  mkdir -p "$dir/data"
  {
    printf 'DirectPort=0\r\nDirectBaud=7\r\nPort=0\r\nBaud=7\r\nPreferedConnection=1\r\n'
    printf 'ModemInit=\r\nDialPrefix=\r\nDataFolder=%s\r\nAutoDelete=2\r\nRetries=1\r\n' "$dir/data"
    printf 'ClockSync=1\r\nUseTxtFile=1\r\nMakeText=0\r\nSchedule=0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n'
    for i in $(seq 1 "$count"); do
      local name port
      name=$(printf 'F%04d' "$i")
      port=$(sed -n "s/^zelsim: $name (.*listening on 127.0.0.1:\([0-9]*\).*/\1/p" "$work/sim.out")
      printf 'Recorder="%s","","P%04d",5,0,0,0,0,0,-1,0,2130706433,%s\r\n' "$name" "$i" "$port"
    done
  } >"$dir/zel.dat"
  echo "$dir/zel.dat"
}

run() {  # run LINES -> prints seconds; peak memory in $work/poll-LINES.rss
  local n=$1 dat start end
  dat=$(station "lines$n")
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/poll-$n.rss" \
    "$bin/zelpoll" --config "$dat" --scale "$scale" poll --direct --today --lines "$n" \
    >"$work/poll-$n.out" 2>&1 || { tail -20 "$work/poll-$n.out" >&2; echo "the run on $n line(s) failed" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

t1=$(run 1)
tn=$(run "$lines")
# The prescribed waits of one recorder: the pause after each connection (3 s) and the
# recorder's own answer waits are scaled alike; the limit of the parallel run is the one-line
# time spread over the lines.
printf 'recorders: %d, waits x%s\n' "$count" "$scale"
printf 'lines 1:  %8.2f s  (%.1f ms per recorder)\n' "$t1" "$(echo "$t1 * 1000 / $count" | bc -l)"
printf 'lines %d: %8.2f s  (limit when only waits count: %.2f s)\n' "$lines" "$tn" \
  "$(echo "$t1 / $lines" | bc -l)"
printf 'speed-up: %.1f (lines %d; ideal %d)\n' "$(echo "$t1 / $tn" | bc -l)" "$lines" "$lines"
printf 'peak memory zelpoll: %d kB (1 line), %d kB (%d lines)\n' \
  "$(cat "$work/poll-1.rss")" "$(cat "$work/poll-$lines.rss")" "$lines"
# zelsim's peak so far, read before it is stopped.
printf 'peak memory zelsim: %d kB\n' "$(awk '/^VmHWM:/ {print $2}' "/proc/$sim_pid/status")"
