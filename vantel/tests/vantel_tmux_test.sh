#!/usr/bin/env bash
# Drives Vantel in tmux against zelsim: over TCP (the wake-up typed by hand, capture to a log
# file), through the emulated modem (wake-up sent by the terminal), a busy number and a port
# that does not exist. Usage: vantel_tmux_test.sh BIN_DIR
set -u
BIN=${1:?program folder}
command -v tmux >/dev/null || { echo "tmux is not installed (scripts/setup installs it)"; exit 77; }
T=$(mktemp -d)
SOCK="vantel-test-$$"
SIM_PID=
cleanup() {
  tmux -L "$SOCK" kill-server 2>/dev/null
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$T"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for s in $(tmux -L "$SOCK" ls -F '#S' 2>/dev/null); do echo "--- screen $s"; tmux -L "$SOCK" capture-pane -p -t "$s"; done; exit 1; }

# wait_for SESSION TEXT: the text on the session's screen within 20 s.
wait_for() {
  for _ in $(seq 200); do
    tmux -L "$SOCK" capture-pane -p -t "$1" 2>/dev/null | grep -qF -- "$2" && return 0
    sleep 0.1
  done
  fail "\"$2\" did not appear on $1"
}
# wait_rc SESSION: the exit code the session's Vantel left, within 20 s.
wait_rc() {
  for _ in $(seq 200); do
    [ -s "$T/$1.rc" ] && { cat "$T/$1.rc"; return 0; }
    sleep 0.1
  done
  fail "Vantel in $1 did not end"
}
start() {  # start SESSION ARGS...: Vantel in a 100x30 terminal; its exit code goes to SESSION.rc
  local s=$1; shift
  printf '%q ' "$BIN/Vantel" "$@" > "$T/$s.cmd"
  echo "; echo \$? > $T/$s.rc; sleep 30" >> "$T/$s.cmd"
  tmux -L "$SOCK" new-session -d -s "$s" -x 100 -y 30 "bash $T/$s.cmd" || fail "tmux cannot start"
}

cat > "$T/fleet.conf" <<CONF
scale = 0.05
[recorder yard]
model = KRV-517XL
password = EAST17
tcp = 0
phone = 555-0101
[modem m]
pty = $T/COM1
busy = 555-0199
CONF
"$BIN/zelsim" --config "$T/fleet.conf" > "$T/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 200); do grep -q "zelsim: ready" "$T/sim.out" && break; sleep 0.1; done
grep -q "zelsim: ready" "$T/sim.out" || fail "zelsim did not start: $(cat "$T/sim.out")"
PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/sim.out")
echo "COM1=$T/COM1" > "$T/ports.map"
echo "COM9=$T/nothing-here" >> "$T/ports.map"

# TCP, as Connect > Direct starts it for a TCP/IP recorder; the person wakes the recorder.
start tcp /port=0 /baud=38400 "/ip=127.0.0.1:$PORT" --no-wake --log "$T/capture.log"
wait_for tcp "Connected to 127.0.0.1:$PORT"
tmux -L "$SOCK" send-keys -t tcp Escape; tmux -L "$SOCK" send-keys -t tcp -l XY; tmux -L "$SOCK" send-keys -t tcp Escape
wait_for tcp "Enter password:"
tmux -L "$SOCK" send-keys -t tcp -l EAST17; tmux -L "$SOCK" send-keys -t tcp Enter
wait_for tcp "Main menu"
tmux -L "$SOCK" send-keys -t tcp C-a C-h
wait_for tcp "hang up and quit"
tmux -L "$SOCK" send-keys -t tcp C-a x
[ "$(wait_rc tcp)" = 0 ] || fail "Ctrl-A X did not end Vantel with 0"
wait_for tcp "Disconnected."
grep -q "Main menu" "$T/capture.log" || fail "the capture lacks the recorder's menu"
grep -q "Connected to" "$T/capture.log" && fail "the capture holds the terminal's own status line"
echo "ok: TCP login, keys list, capture, Ctrl-A X"

# Through the emulated modem, as Connect > Dial starts it.
start modem /port=1 /baud=9600 /init=ATZ /dial=555-0101 --port-map "$T/ports.map"
wait_for modem "Dialing 555-0101 on COM1 at 9600 baud"
wait_for modem "CONNECT"
wait_for modem "Enter password:"
tmux -L "$SOCK" send-keys -t modem -l EAST17; tmux -L "$SOCK" send-keys -t modem Enter
wait_for modem "Main menu"
tmux -L "$SOCK" send-keys -t modem C-a x
[ "$(wait_rc modem)" = 0 ] || fail "Ctrl-A X did not end the modem session with 0"
echo "ok: modem dial, login, Ctrl-A X"

# The modem hung up: the same number answers again.
start again /port=1 /baud=9600 /dial=555-0101 --port-map "$T/ports.map"
wait_for again "Enter password:"
tmux -L "$SOCK" send-keys -t again C-a x
[ "$(wait_rc again)" = 0 ] || fail "second call did not end with 0"
echo "ok: second call after hang-up"

start busy /port=1 /baud=9600 /dial=555-0199 --port-map "$T/ports.map"
[ "$(wait_rc busy)" = 1 ] || fail "a busy line did not end Vantel with 1"
wait_for busy "The line was busy"

start noport /port=9 /baud=9600 --port-map "$T/ports.map"
[ "$(wait_rc noport)" = 1 ] || fail "a missing port did not end Vantel with 1"
wait_for noport "COM9 ($T/nothing-here) does not exist"

start refused /port=0 /ip=127.0.0.1:1
[ "$(wait_rc refused)" = 1 ] || fail "a refused connection did not end Vantel with 1"
wait_for refused "cannot connect to 127.0.0.1:1"
echo "ok: busy, missing port, refused connection end with 1 and a message"

# Started without a terminal (as the station manager starts programs): it starts itself again
# inside $TERMINAL with -e and its own arguments, marked so that it cannot loop.
printf '#!/bin/sh\necho "$ZEL_VANTEL_HOSTED" > %s/host.env\nprintf "%%s\\n" "$@" > %s/host.args\n' "$T" "$T" > "$T/fake-term"
chmod +x "$T/fake-term"
TERMINAL="$T/fake-term --hold" "$BIN/Vantel" /port=3 "/dial=9,555 0101" < /dev/null > "$T/detached.out" 2>&1
[ "$(cat "$T/host.env" 2>/dev/null)" = 1 ] || fail "the emulator was not started, or not marked: $(cat "$T/detached.out")"
printf -- '--hold\n-e\n%s\n/port=3\n/dial=9,555 0101\n' "$(readlink -f "$BIN/Vantel")" > "$T/host.expected"
cmp -s "$T/host.args" "$T/host.expected" || fail "emulator arguments: $(cat "$T/host.args")"
# No emulator anywhere: a clear message and 1.
env -u TERMINAL PATH=/nonexistent "$BIN/Vantel" /port=3 < /dev/null > "$T/none.out" 2>&1
rc=$?
[ $rc = 1 ] && grep -q "no terminal emulator was found" "$T/none.out" || fail "without an emulator: rc $rc, $(cat "$T/none.out")"
# Marked as started by an emulator but still without a terminal: no second start.
ZEL_VANTEL_HOSTED=1 TERMINAL="$T/fake-term" "$BIN/Vantel" /port=3 < /dev/null > "$T/loop.out" 2>&1
rc=$?
[ $rc = 1 ] && grep -q "gave this program no terminal" "$T/loop.out" || fail "hosted without a terminal: rc $rc"
echo "ok: started without a terminal, inside \$TERMINAL; no emulator; no loop"
exit 0
