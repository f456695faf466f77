#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need and this machine lacks,
# and the packages named as arguments.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6sql6-odbc
  libacl1-dev libattr1-dev
  unixodbc unixodbc-dev tdsodbc odbc-postgresql
  postgresql
  googletest libgtest-dev
  fonts-liberation librsvg2-bin
  xvfb xauth xdotool x11-utils dbus-daemon libx11-dev
  clang libclang-rt-14-dev
  util-linux
  "$@"
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
