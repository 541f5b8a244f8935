#!/usr/bin/env bash
# Renders the main window under Xvfb, logged in to the emulated demo plant with an axis selected,
# into docs/screenshots/: every page in English on screens 768 and 1080 pixels high (the pages
# scale with the screen height), and the Global page in German and in Chinese. Needs the build of
# scripts/demo.sh (or BUILD_DIR) and the packages of scripts/install-deps.sh (xvfb,
# fonts-liberation2, fonts-noto-cjk).
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
out=docs/screenshots
mkdir -p "$out"
rm -f "$out"/*.png

# shot SCREEN LANGUAGE PAGE FILE: the axis "Clamp left" (library V3.0.35) on page PAGE.
shot() {
  local screen=$1 lang=$2 page=$3 file=$4
  xvfb-run -a -s "-screen 0 ${screen}x24" \
    "$build/src/app/axtune" --login --select "Clamp left" --language "$lang" --page "$page" \
    --wait 1500 --screenshot "$out/$file"
  echo "screenshots: $out/$file"
}

names=(common overview online global valve encoder ctrl monitor auxilary io lintab lindef)
for page in "${!names[@]}"; do
  n=$(printf '%02d' "$page")
  shot 1366x768 en "$page" "page$n-${names[$page]}-768.png"
  shot 1920x1080 en "$page" "page$n-${names[$page]}-1080.png"
done
shot 1920x1080 de 3 page03-global-de.png
shot 1920x1080 zh 3 page03-global-zh.png
rm -rf "$work"
