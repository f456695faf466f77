#!/usr/bin/env bash
# Cross-builds the tool for 64-bit Windows with MinGW: one self-contained Mud3IPSetup.exe (Qt, the windows
# platform plugin, the ODBC driver plugin and the MinGW runtime linked in; it needs only Windows' own DLLs),
# its test programs, and a release zip. Prints the exe's path as its last line.
#
#   scripts/windows/build.sh [CMAKE ARGS...]
#
# Qt for MinGW comes, in this order, from the archive MUD3_QT_MINGW_ARCHIVE names, from
# ../shared/cache/qt6-mingw-6.4.2-static.tar.xz beside the repository, or is built from Debian's qt6-base
# source (about 45 minutes). Unpacked Qt and GoogleTest for MinGW are kept in MUD3_WINDOWS_CACHE
# (default /var/cache/mud3-windows), so that a second run only builds the project.
# The build goes to MUD3_WINDOWS_BUILD_DIR (default build-windows/ of the repository).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${MUD3_WINDOWS_CACHE:-/var/cache/mud3-windows}
build=${MUD3_WINDOWS_BUILD_DIR:-$root/build-windows}
toolchain=$here/mingw-toolchain.cmake

"$here/install-deps.sh"
mkdir -p "$cache"

# Qt: the archive of the recipe in build-qt.sh, verified against the checksum of the known build unless
# MUD3_QT_MINGW_SHA256 names another.
qt=$cache/qt6-mingw-6.4.2
known_sha256=a3df108d0e23a7337d7a6d4f94b78c95104afdc4bee7220eb895669def271a7b
archive=${MUD3_QT_MINGW_ARCHIVE:-$root/../shared/cache/qt6-mingw-6.4.2-static.tar.xz}
if [ -n "${MUD3_QT_MINGW_ARCHIVE:-}" ] && [ ! -f "$archive" ]; then
  echo "MUD3_QT_MINGW_ARCHIVE: no such file: $archive" >&2
  exit 1
fi
if [ -f "$archive" ]; then
  origin=$(sha256sum "$archive" | cut -d' ' -f1)
  if [ "$origin" != "${MUD3_QT_MINGW_SHA256:-$known_sha256}" ]; then
    echo "$archive: sha256 $origin is not the expected ${MUD3_QT_MINGW_SHA256:-$known_sha256}" >&2
    exit 1
  fi
else
  origin=debian-source
fi
if [ "$(cat "$qt/.origin" 2>/dev/null)" != "$origin" ]; then
  rm -rf "$qt" "$qt.unpack"
  if [ "$origin" = debian-source ]; then
    echo "No Qt archive found: building Qt for MinGW from Debian's source (about 45 minutes)."
    "$here/build-qt.sh" "$qt"
  else
    echo "Unpacking $archive"
    mkdir -p "$qt.unpack"
    tar xJf "$archive" -C "$qt.unpack"
    mv "$qt.unpack/qt6-mingw" "$qt" && rm -rf "$qt.unpack"
  fi
  echo "$origin" >"$qt/.origin"
fi

# GoogleTest for MinGW, from Debian's source of the same version as the Linux build uses.
gtest=$cache/googletest-mingw
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if [ "$(cat "$gtest/.version" 2>/dev/null)" != "$gtest_version" ]; then
  rm -rf "$gtest" "$cache/googletest-build"
  cmake -S /usr/src/googletest -B "$cache/googletest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$cache/googletest-build" >/dev/null
  cmake --install "$cache/googletest-build" >/dev/null
  rm -rf "$cache/googletest-build"
  echo "$gtest_version" >"$gtest/.version"
fi

# The project: size-optimised, unused code and data dropped at link time, the MinGW runtime linked in
# (-static, as the toolchain file's default that this setting replaces).
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh" \
  -DCMAKE_PREFIX_PATH="$qt;$gtest" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_CXX_FLAGS="-ffunction-sections -fdata-sections" -DCMAKE_EXE_LINKER_FLAGS="-static -Wl,--gc-sections" \
  -DMUD3_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

# The release: the stripped exe, a short readme and Qt's licence notice.
release=$build/release
rm -rf "$release" && mkdir -p "$release"
x86_64-w64-mingw32-strip -o "$release/Mud3IPSetup.exe" "$build/app/Mud3IPSetup.exe"
cp "$here/release/README.txt" "$release/README.txt"
{
  cat "$here/release/Qt-NOTICE.txt"
  printf '\n\n==== GNU LESSER GENERAL PUBLIC LICENSE, version 3 ====\n\n'
  cat /usr/share/common-licenses/LGPL-3
  printf '\n\n==== GNU GENERAL PUBLIC LICENSE, version 3 ====\n\n'
  cat /usr/share/common-licenses/GPL-3
} | sed 's/$/\r/' >"$release/Qt-LICENSE.txt"
sed -i 's/$/\r/' "$release/README.txt"
(cd "$release" && cmake -E tar cf ../Mud3IPSetup-windows-x64.zip --format=zip \
  Mud3IPSetup.exe README.txt Qt-LICENSE.txt)
echo "Release zip: $build/Mud3IPSetup-windows-x64.zip"
echo "$release/Mud3IPSetup.exe"
