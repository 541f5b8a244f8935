#!/usr/bin/env bash
# Renders the main window under Xvfb, logged in to the emulated demo plant with an axis selected,
# in English, German and Chinese, into docs/screenshots/. Needs the build of scripts/demo.sh
# (or BUILD_DIR) and the packages of scripts/install-deps.sh (xvfb, fonts-noto-cjk).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/default}
if [ ! -x "$build/src/app/axtune" ] || [ ! -x "$build/sim/valdor-sim" ]; then
  cmake --preset default
  cmake --build --preset default --target valdor-sim axtune
  build=build/default
fi

work=$(mktemp -d)
source scripts/demo-plant.sh
start_demo_plant "$build" "$work"
mkdir -p docs/screenshots

shot() {
  local lang=$1 page=$2 out=$3
  xvfb-run -a -s "-screen 0 1600x1000x24" \
    "$build/src/app/axtune" --login --select "Press ram" --language "$lang" --page "$page" \
    --wait 1500 --screenshot "$out"
  echo "screenshots: $out"
}
shot en 1 docs/screenshots/main-en.png
shot de 1 docs/screenshots/main-de.png
shot zh 1 docs/screenshots/main-zh.png
# The trend recorder comparing a move at LagKp 10 with the same move at LagKp 60.
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/src/app/axtune" --login --select "Clamp left" --language en --page 2 --trend \
  --trend-kp 10 --trend-kp 60 --trend-to 300 --trend-velocity 200 --wait 800 \
  --screenshot docs/screenshots/trend-en.png
echo "screenshots: docs/screenshots/trend-en.png"
rm -rf "$work"
