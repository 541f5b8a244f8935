#!/usr/bin/env bash
# Installs what is missing, builds the emulator and runs the demo plant in the foreground
# (Ctrl-C stops it). A second terminal reaches it as the local system, 127.0.0.1.1.1.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target valdor-sim
exec build/default/sim/valdor-sim --config sim/configs/demo.json "$@"
