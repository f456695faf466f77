#!/usr/bin/env bash
# Configures and builds the tool and its tests into BUILD (default: build/). Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MUD3_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMUD3_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
