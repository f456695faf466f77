#!/usr/bin/env bash
# Installs what is missing, builds, starts a private PostgreSQL on loopback as the test database and runs
# every test. Set MUD3_SANITIZE=1 to build and run everything under AddressSanitizer and UBSan instead.
#
# MUD3_TEST_SQLSERVER=host,port (a loopback address) with MUD3_TEST_SQLSERVER_PASSWORD, the password of "sa",
# runs the database, preview, restore and end-to-end tests against that T-SQL server instead, through the
# real FreeTDS driver. Its database Account is made when missing, and the tests lay down their own tables.
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
if [ -n "${MUD3_TEST_SQLSERVER:-}" ]; then
  host=${MUD3_TEST_SQLSERVER%%[,\\]*}
  case "$host" in
  127.0.0.1 | ::1 | localhost) ;;
  *)
    echo "MUD3_TEST_SQLSERVER must name a server on loopback, not $host" >&2
    exit 64
    ;;
  esac
  : "${MUD3_TEST_SQLSERVER_PASSWORD:?the password of sa on $MUD3_TEST_SQLSERVER}"
  trap 'rm -rf "$database"' EXIT
  # The real FreeTDS driver under the name the tool asks for, in an odbcinst.ini of the run's own.
  printf '[FreeTDS]\nDriver=%s\n' "$(dpkg -L tdsodbc | grep '/libtdsodbc\.so$' | head -n 1)" >"$database/odbcinst.ini"
  export ODBCSYSINI=$database
  port=${MUD3_TEST_SQLSERVER##*,}
  [ "$port" != "$MUD3_TEST_SQLSERVER" ] || port=1433
  printf "IF DB_ID('Account') IS NULL CREATE DATABASE Account\n" |
    isql -b -k "DRIVER={FreeTDS};Server=$host;Port=$port;TDS_Version=7.4;UID=sa;PWD={$MUD3_TEST_SQLSERVER_PASSWORD};" >/dev/null
  echo "Testing against the T-SQL server at $MUD3_TEST_SQLSERVER"
else
  trap '"$root/scripts/postgres.sh" stop "$database" 2>/dev/null || true; rm -rf "$database"' EXIT
  "$root/scripts/postgres.sh" start "$database"
  . "$database/env"
fi

cd "$MUD3_BUILD_DIR"
# The tests that share the database's tables take turns (a resource lock); the others run beside them.
ctest --output-on-failure --timeout 300 -j"$(nproc)"

# The fuzzers, briefly: the settings loader and the connection string against whatever bytes they can find.
# They carry the sanitizers themselves, so the sanitized pass leaves them out.
if [ "${MUD3_SANITIZE:-0}" != 1 ]; then
  MUD3_FUZZ_SECONDS=${MUD3_FUZZ_SECONDS:-20} "$root/scripts/fuzz.sh"
fi
