#!/usr/bin/env bash
# Installs what is missing, checks the format of every C++ file, builds and runs every test
# through CTest. With CI=true (or AXTUNE_FULL=1) it also runs clang-tidy over the sources, the
# tests once in the ASan+UBSan build and each libFuzzer target for a short smoke run.
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

echo "== format =="
# The repo's .clang-format, as clang-format 14 applies it.
find src sim tools tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror
echo "format: clean"

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
# Every manual page shows every section.
for page in axtune axtune-cli valdor-sim; do
  shown=$(MANWIDTH=100 man -l "$pkgroot/usr/share/man/man1/$page.1.gz" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION COMMANDS ENVIRONMENT FILES "EXIT STATUS" EXAMPLES \
    "SEE ALSO"; do
    grep -qx "$section" <<<"$shown" || { echo "package: $page.1 lacks $section" >&2; exit 1; }
  done
done
rm -rf "$pkgroot"
echo "package: 3 passed, 0 failed"

if [ "${CI:-}" = "true" ] || [ "${AXTUNE_FULL:-}" = "1" ]; then
  echo "== clang-tidy =="
  # The checks of .clang-tidy over the program sources (src, sim, tools), with the default
  # build's compile commands, one file per core. The build's -Werror is left out: the compiler's
  # own warnings are the build's business, not clang-tidy's.
  tidy_log=$(mktemp)
  run-clang-tidy -p build/default -j "$jobs" -quiet -extra-arg=-Wno-error \
    "^$PWD/(src|sim|tools)/" >"$tidy_log" 2>&1 || {
    # run-clang-tidy 14 always asks for colours; the log is read without them.
    sed 's/\x1b\[[0-9;]*m//g' "$tidy_log" | grep -E 'warning:|error:' -A3 | head -n 200
    echo "clang-tidy: findings (above)" >&2
    exit 1
  }
  rm -f "$tidy_log"
  echo "clang-tidy: clean"

  echo "== sanitizer build =="
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j "$jobs"
  run_ctest asan

  echo "== fuzz smoke =="
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  # The targets run side by side, one per core; each prints its last lines as one block.
  fuzz_one() {
    local f=$1 name corpus work out status=0
    name=$(basename "$f")
    corpus="fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    out=$("$f" -max_total_time="$AXTUNE_FUZZ_SECONDS" -rss_limit_mb=2048 -print_final_stats=0 \
      "$work" 2>&1) || status=$?
    rm -rf "$work"
    printf -- '-- %s (%ss)\n%s\n' "$name" "$AXTUNE_FUZZ_SECONDS" "$(tail -n 2 <<<"$out")"
    if [ "$status" -ne 0 ]; then
      # A finding: the whole report, so the crash input and stack are in the log.
      printf '%s\n' "$out" | tail -n 60
      return 1
    fi
  }
  export -f fuzz_one
  export AXTUNE_FUZZ_SECONDS=${AXTUNE_FUZZ_SECONDS:-10}
  targets=(build/fuzz/fuzz/fuzz_*)
  printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'fuzz_one "$1"' _ {}
  ran=${#targets[@]}
  # xargs fails when any target finds a fault, so every one counted here passed.
  echo "fuzz: $ran passed, 0 failed"
fi
