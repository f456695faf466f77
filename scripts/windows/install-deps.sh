#!/usr/bin/env bash
# Installs, from Debian's packages, what the Windows cross-build and its tests under Wine need on top of
# the Linux build's packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/install-deps.sh"

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ninja-build xz-utils
  qt6-base-dev qt6-base-dev-tools googletest
  wine64 fonts-wine fonts-wqy-microhei
  xvfb xdotool x11-apps netpbm iproute2 util-linux
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run this as root to install them." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
