#!/usr/bin/env bash
# Installs, from Debian's packages, what the Windows cross-build and its tests under Wine need on top of
# the Linux build's packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/install-deps.sh" \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ninja-build xz-utils \
  qt6-base-dev qt6-base-dev-tools googletest \
  wine64 fonts-wine fonts-wqy-microhei icoutils locales \
  xvfb iproute2 util-linux
