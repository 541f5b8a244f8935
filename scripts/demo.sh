#!/usr/bin/env bash
# Installs what is missing, builds, starts the emulated demo plant and a second emulator as a
# remote target in the background, and opens Axtune on them. Closing Axtune stops both
# emulators. Log in with Online > Login; Online > Target reaches the remote one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target valdor-sim axtune axtune-cli

work=build/default/demo
source scripts/demo-plant.sh
# Its trap stops the emulators when this script ends, however Axtune ends.
start_demo_plant build/default "$work"
build/default/src/app/axtune "$@"
