#!/usr/bin/env bash
# A fleet of simulated TCP/IP recorders polled by zelpoll over one line and over many at once:
# wall time of each run, the speed-up against its goal (0.8 x the lines), the run on many lines
# against its limit (the prescribed waits of one recorder x the recorders / the lines; goal
# within 1.25 x), and the peak memory of zelpoll (goal under 200 MB) and zelsim. No figure is
# asserted; the run only fails when a poll does not succeed for every recorder.
# Usage: bench/poll_lines.sh [COUNT] [LINES] [SCALE] [ONE_LINE_COUNT]
#   default 1000 recorders, 64 lines, protocol waits x0.1 (the one-line run then takes about
#   half an hour). ONE_LINE_COUNT (default COUNT) polls only the first that many recorders on
#   one line and extrapolates its time to COUNT; the output says so.
# BUILD_DIR picks the build (default build-release, built when missing: Release, no sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
count=${1:-1000}
lines=${2:-64}
scale=${3:-0.1}
one_count=${4:-$count}
if [ "$one_count" -gt "$count" ]; then one_count=$count; fi
bin=$build/bin
if [ ! -x "$bin/zelpoll" ] || [ ! -x "$bin/zelsim" ] || [ ! -x "$bin/poll_waits" ]; then
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target zelpoll zelsim poll_waits
fi

work=$(mktemp -d /tmp/zel_poll_lines.XXXXXX)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill -INT "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Many listening sockets and connections: lift the open-file limit as far as allowed.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

# The fleet: every recorder on a free TCP port of 127.0.0.1.
{
  echo "scale = $scale"
  for i in $(seq 1 "$count"); do
    printf '[recorder F%04d]\nmodel = KRV-517XL\npassword = P%04d\nseed = %d\ntcp = 0\n' "$i" "$i" "$i"
  done
} >"$work/fleet.conf"

"$bin/zelsim" --config "$work/fleet.conf" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 1 1200); do
  grep -q '^zelsim: ready' "$work/sim.out" && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.out"; exit 1; }
  sleep 0.1
done
grep -q '^zelsim: ready' "$work/sim.out" || { echo "zelsim did not get ready"; exit 1; }
printf 'zelsim: %d recorders ready, %s threads, %s kB resident\n' "$count" \
  "$(awk '/^Threads:/ {print $2}' "/proc/$sim_pid/status")" \
  "$(awk '/^VmRSS:/ {print $2}' "/proc/$sim_pid/status")"

# One station (zel.dat and data folder) per run, the first N recorders of the fleet.
station() {  # station NAME N
  local dir=$work/$1 n=$2
  mkdir -p "$dir/data"
  {
    printf 'DirectPort=0\r\nDirectBaud=7\r\nPort=0\r\nBaud=7\r\nPreferedConnection=1\r\n'
    printf 'ModemInit=\r\nDialPrefix=\r\nDataFolder=%s\r\nAutoDelete=2\r\nRetries=1\r\n' "$dir/data"
    printf 'ClockSync=1\r\nUseTxtFile=1\r\nMakeText=0\r\nSchedule=0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n'
    sed -n 's/^zelsim: F\([0-9]*\) (.*listening on 127.0.0.1:\([0-9]*\).*/\1 \2/p' "$work/sim.out" |
      head -n "$n" | while read -r i port; do
        printf 'Recorder="F%s","","P%s",5,0,0,0,0,0,-1,0,2130706433,%s\r\n' "$i" "$i" "$port"
      done
  } >"$dir/zel.dat"
  echo "$dir/zel.dat"
}

run() {  # run LINES N -> prints seconds; peak memory in $work/poll-LINES.rss
  local n=$1 recorders=$2 dat start end
  dat=$(station "lines$n" "$recorders")
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/poll-$n.rss" \
    "$bin/zelpoll" --config "$dat" --scale "$scale" poll --direct --today --lines "$n" \
    >"$work/poll-$n.out" 2>&1 || { tail -20 "$work/poll-$n.out" >&2; echo "the run on $n line(s) failed" >&2; exit 1; }
  end=$(date +%s.%N)
  local ok
  ok=$(grep -c 'result: Success' "$work/poll-$n.out" || true)
  [ "$ok" -eq "$recorders" ] || { echo "the run on $n line(s): $ok of $recorders succeeded" >&2; exit 1; }
  echo "$end - $start" | bc -l
}

waits=$("$bin/poll_waits" "$scale")
printf 'recorders: %d, waits x%s, prescribed waits of one recorder: %d ms\n' "$count" "$scale" "$waits"

# The parallel run first: its figure comes in minutes, the one-line run's in about half an hour.
tn=$(run "$lines" "$count")
limit=$(echo "$waits * $count / $lines / 1000" | bc -l)
printf 'lines %d: %8.2f s  (limit %.2f s = %d ms x %d / %d; %.3f x the limit, goal at most 1.25)\n' \
  "$lines" "$tn" "$limit" "$waits" "$count" "$lines" "$(echo "$tn / $limit" | bc -l)"

t1m=$(run 1 "$one_count")
t1=$(echo "$t1m * $count / $one_count" | bc -l)
if [ "$one_count" -eq "$count" ]; then
  printf 'lines 1:  %8.2f s  (%.1f ms per recorder)\n' "$t1" "$(echo "$t1 * 1000 / $count" | bc -l)"
else
  printf 'lines 1:  %8.2f s  EXTRAPOLATED from %.2f s measured on the first %d recorders (%.1f ms per recorder)\n' \
    "$t1" "$t1m" "$one_count" "$(echo "$t1m * 1000 / $one_count" | bc -l)"
fi
goal=$(echo "0.8 * $lines" | bc -l)
printf 'speed-up: %.1f (lines %d; goal at least %.1f, ideal %d)\n' "$(echo "$t1 / $tn" | bc -l)" \
  "$lines" "$goal" "$lines"
printf 'peak memory zelpoll: %d kB (1 line, %d recorders), %d kB (%d lines, %d recorders); goal under 200 MB\n' \
  "$(cat "$work/poll-1.rss")" "$one_count" "$(cat "$work/poll-$lines.rss")" "$lines" "$count"
# zelsim's peak so far, read before it is stopped.
printf 'peak memory zelsim: %d kB (%s threads now)\n' \
  "$(awk '/^VmHWM:/ {print $2}' "/proc/$sim_pid/status")" \
  "$(awk '/^Threads:/ {print $2}' "/proc/$sim_pid/status")"
