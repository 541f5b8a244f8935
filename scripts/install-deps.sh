#!/usr/bin/env bash
# Installs the Debian 12 packages Axtune needs to build, test and run: only the missing ones,
# so running it again is cheap and changes nothing. The Debian package needs dpkg-dev
# (dpkg-shlibdeps computes the dependencies) and file; its checks use lintian and man-db (every
# manual page shows every section).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev llvm clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools libgl-dev libqcustomplot-dev
  libasio-dev nlohmann-json3-dev libcli11-dev libeigen3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-noto-cjk fonts-liberation2
  dpkg-dev file man-db lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
