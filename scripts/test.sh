#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
# With CI=true (or AXTUNE_FULL=1) it also runs the tests once in the ASan+UBSan build and each
# libFuzzer target for a short smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Runs the tests of a preset, then names the ones that skipped: a test that cannot set up its
# condition may skip, but never unseen.
run_ctest() {
  local out status=0
  out=$(mktemp)
  ctest --preset "$1" -j "$jobs" | tee "$out" || status=$?
  local skipped
  skipped=$(sed -n 's/^[[:space:]]*[0-9][0-9]* - \(.*\) (Skipped)$/\1/p' "$out")
  rm -f "$out"
  echo "skipped ($1): $(grep -c . <<<"$skipped" || true)"
  [ -z "$skipped" ] || sed 's/^/  /' <<<"$skipped"
  return "$status"
}

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
run_ctest default

echo "== Debian package =="
# Built and unpacked into a scratch root; the installed programs must run from there.
deb=$(bash scripts/package.sh | tail -n 1)
pkgroot=$(mktemp -d)
dpkg -x "$deb" "$pkgroot"
"$pkgroot/usr/bin/axtune-cli" --version
"$pkgroot/usr/bin/valdor-sim" --help >/dev/null
rm -rf "$pkgroot"
echo "package: 2 passed, 0 failed"

if [ "${CI:-}" = "true" ] || [ "${AXTUNE_FULL:-}" = "1" ]; then
  echo "== sanitizer build =="
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j "$jobs"
  run_ctest asan

  echo "== fuzz smoke =="
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  seconds=${AXTUNE_FUZZ_SECONDS:-10}
  ran=0
  for f in build/fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    echo "-- $name (${seconds}s)"
    "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" 2>&1 | tail -n 2
    rm -rf "$work"
    ran=$((ran + 1))
  done
  # A target that finds a fault stops the script above, so every one counted here passed.
  echo "fuzz: $ran passed, 0 failed"
fi
