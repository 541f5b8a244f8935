#!/usr/bin/env bash
# Builds the Debian package of Axtune from the default build and prints its path on the last
# line: build/default/axtune_<version>_<arch>.deb. Where lintian is installed it checks the
# package and fails on an error.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
cmake --preset default >&2
cmake --build --preset default -j "$(nproc)" >&2

cd build/default
rm -f axtune_*.deb
cpack -G DEB >&2
deb=$(ls axtune_*.deb)
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >&2
fi
echo "$PWD/$deb"
