#!/usr/bin/env bash
# Drives the emulated demo plant for a while the way a busy test rig would, beside whatever else
# runs on the machine (not part of CI):
#   - 32 loops of `axtune-cli watch`, each process logging in, watching an axis for 20 ticks of
#     100 ms and starting again;
#   - a client that moves an axis back and forth and stops it, over and over;
#   - a hostile client: silent connections held open, garbage frames, frames cut short, reads of a
#     megabyte;
#   - the window (under Xvfb) logged in on the Overview page with an axis selected.
# At the end it prints the requests served, the errors the well-behaved command-line clients saw
# (must be 0), the emulator's peak resident memory and whether every process is still alive.
#
#   scripts/soak.sh [SECONDS]    default 60; BUILD_DIR defaults to build/default
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${BUILD_DIR:-build/default}
for target in valdor-sim axtune-cli axtune; do
  case $target in
    valdor-sim) bin=$build/sim/valdor-sim ;;
    axtune-cli) bin=$build/tools/cli/axtune-cli ;;
    axtune) bin=$build/src/app/axtune ;;
  esac
  if [ ! -x "$bin" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target valdor-sim axtune-cli axtune
    break
  fi
done
cli=$build/tools/cli/axtune-cli

work=$(mktemp -d)
source scripts/demo-plant.sh
client_pids=()
gui_pid=""
finish() {
  touch "$work/stop"
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
  local pid
  for pid in "${client_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  stop_demo_plant
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

start_sim "$build" "$work/sim.log" sim/configs/demo.json 127.0.0.1.1.1 "$work/params"
sim_pid=${demo_pids[0]}
port=$sim_port
printf 'local 127.0.0.1.1.1 127.0.0.1:%s\n' "$port" >"$work/routes.conf"
export OXA_ROUTES=$work/routes.conf
touch "$work/errors"
echo "soak: valdor-sim on 127.0.0.1:$port for ${seconds}s"

running() { [ ! -e "$work/stop" ]; }
# Appends one line per failed command, and one per round of each client; short appends do not
# interleave.
failed() { echo "$*" >>"$work/errors"; }
counted() { echo >>"$work/$1.rounds"; }

# The axes of the demo plant, as port:axis.
axes=(851:1 851:2 851:3 851:4 802:1 802:2 852:5 852:6 852:7)
for i in $(seq 0 31); do
  (
    a=${axes[$((i % ${#axes[@]}))]}
    while running; do
      "$cli" watch --port "${a%%:*}" --axis "${a##*:}" --interval 100 --count 20 >/dev/null \
        2>>"$work/watch.err" || failed "watch $a: exit $?"
      counted watch
    done
  ) &
  client_pids+=($!)
done

(
  position=100
  while running; do
    "$cli" move --port 851 --axis 3 --position "$position" --velocity 250 >/dev/null \
      2>>"$work/move.err" || failed "move: exit $?"
    sleep 0.3
    "$cli" stop --port 851 --axis 3 >/dev/null 2>>"$work/move.err" || failed "stop: exit $?"
    position=$((500 - position))
    counted move
  done
) &
client_pids+=($!)

# A frame header: magic, body length, invoke id, command, flags, as printf escapes.
frame_header() { printf '\x4f\x58\x41\x01%b\x01\x00\x00\x00%b\x00\x00' "$1" "$2"; }
# A read request of 1,048,568 bytes of the identification of the server at port 851.
megabyte_read() {
  frame_header '\x20\x00\x00\x00' '\x01\x00'
  printf '\x7f\x00\x00\x01\x01\x01\x53\x03\x7f\x00\x00\x01\x01\x01\x00\x80'
  printf '\xff\xff\xff\xff\x00\x00\x00\x00\xf8\xff\x0f\x00\x00\x00\x00\x00'
}
(
  # Refused connections and writes into closed ones are what this client expects.
  exec 2>/dev/null
  set +e
  trap '' PIPE
  # Held open without a word until the end: the emulator must keep serving the others.
  silent=()
  for _ in $(seq 1 200); do
    exec {fd}<>"/dev/tcp/127.0.0.1/$port" && silent+=("$fd")
  done
  while running; do
    if exec {fd}<>"/dev/tcp/127.0.0.1/$port"; then
      head -c 64 /dev/zero | tr '\0' 'Z' >&"$fd"
      exec {fd}>&-
    fi
    if exec {fd}<>"/dev/tcp/127.0.0.1/$port"; then
      # A write announcing a full megabyte that never comes.
      { frame_header '\x20\x00\x10\x00' '\x02\x00'; head -c 100 /dev/zero; } >&"$fd"
      exec {fd}>&-
    fi
    if exec {fd}<>"/dev/tcp/127.0.0.1/$port"; then
      megabyte_read >&"$fd"
      timeout 5 head -c 24 <&"$fd" >/dev/null || true
      exec {fd}>&-
    fi
    counted hostile
    sleep 0.05
  done
) &
client_pids+=($!)

xvfb-run -a -s "-screen 0 1600x1000x24" \
  bash -c 'echo $$ >"$1"; exec "$2" --login --select "Clamp left" --page 1' _ \
  "$work/gui.pid" "$build/src/app/axtune" >"$work/gui.log" 2>&1 &
client_pids+=($!)
for _ in $(seq 1 100); do
  [ -s "$work/gui.pid" ] && break
  sleep 0.1
done
gui_pid=$(cat "$work/gui.pid" 2>/dev/null || true)

sleep "$seconds"

alive=yes
for pid in "$sim_pid" "${client_pids[@]}" $gui_pid; do
  if ! kill -0 "$pid" 2>/dev/null; then
    alive=no
    echo "soak: process $pid ended early" >&2
  fi
done
peak_kib=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$sim_pid/status")
errors=$(wc -l <"$work/errors")
rounds() { cat "$work/$1.rounds" 2>/dev/null | wc -l; }

touch "$work/stop"
kill "$gui_pid" 2>/dev/null || true
for pid in "${client_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
client_pids=()
stop_demo_plant
served=$(sed -n 's/.*stopped (.*) after \([0-9]*\) requests.*/\1/p' "$work/sim.log")

echo "soak: ${seconds}s, requests served: ${served:-unknown}"
echo "soak: $(rounds watch) watch runs, $(rounds move) moves and stops, $(rounds hostile) hostile rounds"
echo "soak: errors seen by well-behaved clients: $errors"
[ "$errors" -eq 0 ] || sort "$work/errors" | uniq -c | head -n 10
echo "soak: emulator peak resident memory: $((peak_kib / 1024)) MiB"
echo "soak: every process alive at the end: $alive"
[ "$errors" -eq 0 ] && [ "$alive" = yes ]
