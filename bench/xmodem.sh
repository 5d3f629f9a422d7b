#!/usr/bin/env bash
# XMODEM-CRC speed over TCP loopback through a relay that delays every chunk by DELAY ms each
# way: our sender to our receiver against lrzsz's sx to rx through the same relay.
# Usage: bench/xmodem.sh [BYTES] [DELAY_MS]   (default 1 MiB, 2 ms; builds build-release if needed)
# Prints both times and the ratio ours/lrzsz (goal: at most 1.0).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
bytes=${1:-1048576}
delay=${2:-2}
if [ ! -x "$build/bin/xmodem_bench" ] || [ ! -x "$build/bin/xmodem_relay" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF -DZEL_GUI=OFF >/dev/null
  cmake --build "$build" --target xmodem_bench xmodem_relay
fi
for tool in sx rx socat; do
  command -v "$tool" >/dev/null || { echo "xmodem: $tool is missing (apt install lrzsz socat)"; exit 1; }
done
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
head -c "$bytes" /dev/urandom >"$work/data.bin"

# Waits until file $1 holds a line (a port number) and prints it.
port_of() {
  for _ in $(seq 500); do
    [ -s "$1" ] && { head -n1 "$1"; return; }
    sleep 0.01
  done
  echo "xmodem: no port in $1" >&2
  exit 1
}
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
now() { date +%s.%N; }
padded_equal() {  # $1: a received file; true when it is the data plus padding
  local n
  n=$(stat -c %s "$1")
  cmp -s <(head -c "$bytes" "$1") "$work/data.bin" &&
    [ $((n % 128)) -eq 0 ] && [ "$n" -lt $((bytes + 128)) ]
}

# ours: our sender listens, the relay sits between, our receiver connects (as the manager does)
"$bin/xmodem_bench" send "$work/data.bin" 0 >"$work/ours.port" 2>"$work/ours_send.log" &
pids+=($!)
send_port=$(port_of "$work/ours.port")
"$bin/xmodem_relay" 0 "$send_port" "$delay" >"$work/relay1.port" &
pids+=($!)
relay_port=$(port_of "$work/relay1.port")
t0=$(now)
"$bin/xmodem_bench" recv "$work/ours.bin" "$relay_port" 2>"$work/ours_recv.log"
t1=$(now)
wait "${pids[0]}" || { echo "xmodem: our sender failed"; cat "$work/ours_send.log"; exit 1; }
padded_equal "$work/ours.bin" || { echo "xmodem: our transfer corrupted the data"; exit 1; }

# lrzsz: sx behind socat listens, the same relay, rx behind socat connects
sx_port=$(free_port)
(cd "$work" && socat "TCP-LISTEN:$sx_port,bind=127.0.0.1,reuseaddr,nodelay" \
  EXEC:"sx -q -X data.bin") 2>"$work/sx.log" &
pids+=($!)
sleep 0.3  # the relay reaches sx only once rx has connected
"$bin/xmodem_relay" 0 "$sx_port" "$delay" >"$work/relay2.port" &
pids+=($!)
relay_port=$(port_of "$work/relay2.port")
t2=$(now)
(cd "$work" && socat "TCP:127.0.0.1:$relay_port,nodelay" EXEC:"rx -q -X -c lrzsz.bin") 2>"$work/rx.log"
t3=$(now)
padded_equal "$work/lrzsz.bin" || { echo "xmodem: lrzsz transfer failed"; exit 1; }

awk -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" -v n="$bytes" -v ms="$delay" 'BEGIN {
  ours = b - a; lz = d - c;
  printf "xmodem: %d bytes over TCP loopback, relay %d ms each way\n", n, ms;
  printf "xmodem: ours  %.2f s (%.1f KiB/s)\n", ours, n / 1024 / ours;
  printf "xmodem: lrzsz %.2f s (%.1f KiB/s)\n", lz, n / 1024 / lz;
  printf "xmodem: ratio ours/lrzsz %.3f (goal <= 1.0)\n", ours / lz;
}'
