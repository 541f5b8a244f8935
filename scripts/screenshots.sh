#!/usr/bin/env bash
# Renders the main window under Xvfb, logged in to the emulated demo plant with an axis selected,
# into docs/screenshots/: every page in English on screens 768 and 1080 pixels high (the pages
# scale with the screen height), the I/O page of an axis with terminal images, the Encoder page of
# an axis with drive type 26 (with its two encoder info values), the Global page in German and in
# Chinese, the trend recorder comparing two gains, and the tuning dialog after its runs and after
# Apply. Two axes of the plant move slowly meanwhile. Needs the build of scripts/demo.sh (or BUILD_DIR) and the packages of
# scripts/install-deps.sh (xvfb, fonts-liberation2, fonts-noto-cjk).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/default}
if [ ! -x "$build/src/app/axtune" ] || [ ! -x "$build/sim/valdor-sim" ] ||
  [ ! -x "$build/tools/cli/axtune-cli" ]; then
  cmake --preset default
  cmake --build --preset default --target valdor-sim axtune axtune-cli
  build=build/default
fi

work=$(mktemp -d)
# The window's remembered settings (the trend recorder's place) start afresh.
export XDG_CONFIG_HOME="$work/config"
source scripts/demo-plant.sh
start_demo_plant "$build" "$work"
out=docs/screenshots
mkdir -p "$out"
rm -f "$out"/*.png

# The Online and Overview pages show axes on their way: "Clamp left" up, "Feed table" down.
"$build/tools/cli/axtune-cli" move --port 851 --axis 1 --position 110 --velocity 1 >/dev/null
"$build/tools/cli/axtune-cli" move --port 851 --axis 3 --position 20 --velocity 1 >/dev/null
# "Clamp right" starts with a drive error; the trend recorder needs it reset.
"$build/tools/cli/axtune-cli" reset --port 851 --axis 2 >/dev/null

# shot SCREEN LANGUAGE PAGE FILE [AXIS]: the axis AXIS (default "Clamp left", library V3.0.35,
# device images) on page PAGE.
shot() {
  local screen=$1 lang=$2 page=$3 file=$4 axis=${5:-Clamp left}
  xvfb-run -a -s "-screen 0 ${screen}x24" \
    "$build/src/app/axtune" --login --select "$axis" --language "$lang" --page "$page" \
    --wait 1500 --screenshot "$out/$file"
  echo "screenshots: $out/$file"
}

names=(common overview online global valve encoder ctrl monitor auxilary io lintab lindef)
for page in "${!names[@]}"; do
  n=$(printf '%02d' "$page")
  shot 1366x768 en "$page" "page$n-${names[$page]}-768.png"
  shot 1920x1080 en "$page" "page$n-${names[$page]}-1080.png"
done
# "Press ram" (library V2.1.6) has the terminal images.
shot 1366x768 en 9 page09-io-terminal-768.png "Press ram"
shot 1920x1080 en 9 page09-io-terminal-1080.png "Press ram"
# "Die cushion" gets drive type 26, which shows the two encoder info values beside "Zero swap".
for set in "1300 26" "11009 0.125" "11010 4096"; do
  read -r no value <<<"$set"
  "$build/tools/cli/axtune-cli" set --port 851 --axis 4 --no "$no" --value "$value" >/dev/null
done
shot 1366x768 en 5 page05-encoder-drive26-768.png "Die cushion"
shot 1920x1080 en 5 page05-encoder-drive26-1080.png "Die cushion"
shot 1920x1080 de 3 page03-global-de.png
shot 1920x1080 zh 3 page03-global-zh.png
# The trend recorder comparing a move at LagKp 100 with the same move at LagKp 400.
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/src/app/axtune" --login --select "Clamp right" --language en --page 2 --trend \
  --trend-kp 100 --trend-kp 400 --trend-to 40 --trend-velocity 150 --wait 800 \
  --screenshot "$out/trend-en.png"
echo "screenshots: $out/trend-en.png"
# The tuning dialog on "Clamp right", back at 112 mm with its LagKp of 100: the limits it
# proposes, the runs within them, the proposal and, after Apply, the test move before and after.
"$build/tools/cli/axtune-cli" set --port 851 --axis 2 --no 1700 --value 100 >/dev/null
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/src/app/axtune" --login --select "Clamp right" --language en --page 2 --tune \
  --wait 800 --screenshot "$out/tune-en.png"
echo "screenshots: $out/tune-en.png $out/tune-en-limits.png $out/tune-en-runs.png" \
  "$out/tune-en-verify.png"
rm -rf "$work"
