#!/usr/bin/env bash
# Installs what is missing, builds, starts a private PostgreSQL on loopback as the test database and runs
# every test. Set MUD3_SANITIZE=1 to build and run everything under AddressSanitizer and UBSan instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
if [ "${MUD3_SANITIZE:-0}" = 1 ]; then
  export MUD3_BUILD_DIR=${MUD3_BUILD_DIR:-$root/build-sanitize}
  "$root/scripts/build.sh" -DMUD3_SANITIZE=ON
  # Qt's plugins and the ODBC drivers are not built with the sanitizers; their own allocations are not ours.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  export MUD3_BUILD_DIR=${MUD3_BUILD_DIR:-$root/build}
  "$root/scripts/build.sh"
fi

database=$(mktemp -d /tmp/mud3-testdb.XXXXXX)
trap '"$root/scripts/postgres.sh" stop "$database" 2>/dev/null || true; rm -rf "$database"' EXIT
"$root/scripts/postgres.sh" start "$database"
. "$database/env"

cd "$MUD3_BUILD_DIR"
ctest --output-on-failure --timeout 300

# The fuzzers, briefly: the settings loader and the connection string against whatever bytes they can find.
# They carry the sanitizers themselves, so the sanitized pass leaves them out.
if [ "${MUD3_SANITIZE:-0}" != 1 ]; then
  MUD3_FUZZ_SECONDS=${MUD3_FUZZ_SECONDS:-20} "$root/scripts/fuzz.sh"
fi
