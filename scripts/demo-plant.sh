# Sourced by demo.sh and screenshots.sh: starts the emulators of the demo in the background,
# each on a free port, and writes the route file that leads Axtune to them.
#
#   start_demo_plant BUILD_DIR WORK_DIR
#
# After it returns, OXA_ROUTES names WORK_DIR/routes.conf: the demo plant (sim/configs/demo.json)
# is the local system, and the route "Remote_line" leads to a second emulator. Both emulators
# save their axes' parameter files in WORK_DIR/params. They are stopped when the calling shell
# exits.

demo_pids=()

stop_demo_plant() {
  local pid
  for pid in "${demo_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  demo_pids=()
}

# start_sim BUILD_DIR LOG CONFIG NETID SAVE_DIR [PORT]: starts one emulator on PORT (default: a
# free one) and waits until it listens; its TCP port is then in sim_port.
start_sim() {
  local build=$1 log=$2 config=$3 netid=$4 save=$5 want=${6:-0}
  # The log exists before the loop below reads it, however late the background job starts.
  : >"$log"
  "$build/sim/valdor-sim" --listen "127.0.0.1:$want" --netid "$netid" --config "$config" \
    --save-dir "$save" >"$log" 2>&1 &
  demo_pids+=($!)
  local port="" i
  for i in $(seq 1 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    if ! kill -0 "${demo_pids[-1]}" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ -z "$port" ]; then
    echo "demo: valdor-sim did not start:" >&2
    cat "$log" >&2
    return 1
  fi
  sim_port=$port
}

start_demo_plant() {
  local build=$1 work=$2
  mkdir -p "$work/params"
  trap stop_demo_plant EXIT
  trap 'exit 130' INT TERM
  local local_port remote_port
  # The plant takes the default local endpoint when it is free, so that axtune-cli in another
  # terminal reaches it without a route file.
  local want=26801
  if (exec 3<>/dev/tcp/127.0.0.1/26801) 2>/dev/null; then want=0; fi
  start_sim "$build" "$work/plant.log" sim/configs/demo.json 127.0.0.1.1.1 "$work/params" "$want"
  local_port=$sim_port
  start_sim "$build" "$work/remote.log" sim/configs/minimal.json 10.20.30.40.1.1 "$work/params"
  remote_port=$sim_port
  cat >"$work/routes.conf" <<ROUTES
# Written by scripts/demo-plant.sh for this run.
local 127.0.0.1.1.1 127.0.0.1:$local_port
route Remote_line 10.20.30.40.1.1 127.0.0.1:$remote_port
ROUTES
  export OXA_ROUTES="$work/routes.conf"
  echo "demo: plant on 127.0.0.1:$local_port, remote target on 127.0.0.1:$remote_port"
  echo "demo: from another terminal: OXA_ROUTES=$(cd "$work" && pwd)/routes.conf $build/tools/cli/axtune-cli discover"
}
