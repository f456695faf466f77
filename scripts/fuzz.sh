#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time:
# MUD3_FUZZ_SECONDS (default 30) per target. The hand-written seeds in fuzz/corpus/ stay as they are; what the
# fuzzers find is kept in build-fuzz/fuzz/corpus/ for the next run, a crashing input in build-fuzz/fuzz/crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MUD3_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${MUD3_FUZZ_SECONDS:-30}

"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMUD3_WERROR=ON -DMUD3_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target settings_load_fuzzer connection_string_fuzzer

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/fuzz/crashes"
for pair in settings_load:settings connection_string:connection; do
  fuzzer=${pair%%:*}
  seeds=$root/fuzz/corpus/${pair#*:}
  found=$build/fuzz/corpus/$fuzzer
  mkdir -p "$found"
  echo "Fuzzing $fuzzer for $seconds s"
  "$build/fuzz/${fuzzer}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/crashes/$fuzzer-" "$found" "$seeds" 2>"$build/fuzz/$fuzzer.log" \
    || { tail -n 60 "$build/fuzz/$fuzzer.log" >&2; exit 1; }
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$build/fuzz/$fuzzer.log" || true
done
