#!/usr/bin/env bash
# Cross-builds the static Qt 6.4.2 that the Windows build links (Core, Gui, Widgets, Sql with the ODBC
# driver, Test, the windows platform plugin) from Debian 12's own qt6-base source, with Debian's Qt 6.4.2
# as the host Qt for moc and friends. About 45 minutes on 2 cores, 2 GB of disk.
#
#   scripts/windows/build-qt.sh PREFIX     installs into PREFIX; works in PREFIX.work, removed afterwards
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?install prefix}
work=$prefix.work
mkdir -p "$work"
cd "$work"

dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q 'install ok installed' ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null

# The source comes from Debian: a deb-src entry for bookworm is added if the machine has none.
if [ ! -d qtbase-everywhere-src-6.4.2 ]; then
  if ! apt-get source --download-only qt6-base=6.4.2+dfsg-10 >/dev/null 2>&1; then
    cat >/etc/apt/sources.list.d/mud3-deb-src.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -qq
    apt-get source --download-only qt6-base=6.4.2+dfsg-10
  fi
  tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
fi
src=$work/qtbase-everywhere-src-6.4.2

# Qt 6.4.2 does not link with direct2d off: the windows platform plugin creates the DirectWrite font
# database whenever directwrite3 is on, but QtGui compiles that database only together with direct2d.
# The plugin is made to ask for both, as QtGui does.
integration=$src/src/plugins/platforms/windows/qwindowsintegration.cpp
grep -q 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration" ||
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration"

# Static, so that each .exe carries Qt and its plugins. Left out: everything the tool does not use, and
# what needs a source that Debian drops (+dfsg): sqlite, wintab (tablet events; direct2d, whose platform
# plugin needs it). Text is then drawn by GDI.
rm -rf build && mkdir build && cd build
"$src"/configure -prefix "$prefix" \
  -release -static -static-runtime -optimize-size \
  -qt-host-path /usr \
  -nomake examples -nomake tests \
  -no-opengl -no-feature-vulkan -no-dbus -no-icu -no-freetype -no-fontconfig \
  -qt-zlib -qt-pcre -qt-harfbuzz -qt-libpng -no-libjpeg \
  -no-feature-network -no-feature-xml -no-feature-concurrent -no-feature-printsupport \
  -no-feature-tabletevent -no-feature-direct2d \
  -no-feature-sql-sqlite -no-feature-sql-psql -no-feature-sql-mysql -no-feature-sql-oci \
  -no-feature-sql-ibase -no-feature-sql-db2 -sql-odbc \
  -- -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build . --parallel "$(nproc)"
cmake --install .
cd / && rm -rf "$work"
