#!/usr/bin/env bash
# Benchmarks, measured side by side in one run:
#  - start of the tool to its window shown, against a bare Qt window with as many widgets (under Xvfb);
#  - the update run's file targets and settings save without backups, against a minimal writer of the same
#    thirteen files;
#  - the three database targets against a local database, with the statements they send;
#  - full runs with backups against full runs without them;
#  - a full run against a full restore of it, both from the command line;
#  - the preview of all fifteen targets against the same database and files, and of one target whose file has
#    grown to 200,000 lines, to its dialog shown;
#  - peak memory of each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
starts=${MUD3_BENCH_STARTS:-20}

"$root/scripts/install-deps.sh"
MUD3_BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release -DMUD3_BENCH=ON

work=$(mktemp -d /tmp/mud3-bench.XXXXXX)
chmod 755 "$work" # the database server runs as its own account
display_pid=
cleanup() {
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  "$root/scripts/postgres.sh" stop "$work/db" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$root/scripts/postgres.sh" start "$work/db" >/dev/null
. "$work/db/env"
sql() { "$root/scripts/postgres.sh" sql "$work/db" -At "$@"; }
sql -f "$root/scripts/demo-account.sql" >/dev/null
median_of() { sort -n | awk '{a[NR]=$1} END {print (a[int((NR+1)/2)] + a[int(NR/2)+1]) / 2}'; }

echo "== Update run"
"$build/bench/bench_update_run"
"$build/bench/bench_huge_preview"

echo "== A full run against a full restore, from the command line (median of $starts each, in turns)"
# Every run changes every target of a sample installation; every restore puts all of it back.
cli=$(mktemp -d "$work/cli.XXXXXX")
cp "$build/tests/on-postgresql/Mud3IPSetup" "$cli/"
for target in 'Mir3Server/DBSvr/!ServerInfo.txt' Mir3Server/DBSvr/Setup.ini 'Mir3Server/KLoginSvr/!AddrTable.txt' \
  'Mir3Server/KLoginSvr/!ServerAddr.txt' Mir3Server/KLoginSvr/Logsrv.ini Mir3Server/LoginGate/Config.ini \
  Mir3Server/RunGate01/GameGate.ini Mir3Server/RunGate02/GameGate.ini Mir3Server/SelGate/SelGate.ini \
  'Setup/!RunAddr.txt' 'Setup/!ServerTable.txt' Setup/Plus_Setup.ini; do
  mkdir -p "$cli/Mud3/$(dirname "$target")"
  printf 'sample content before the run\r\n' >"$cli/Mud3/$target"
done
printf '%s\r\n' "[Settings]" "ServerName=Morrowtide" "ExternalIP=203.0.113.24" "InternalIP=127.0.0.1" \
  "SQLIP=127.0.0.1,$MUD3_PG_PORT" "SQLPass=qef" "Mud3Path=$cli/Mud3\\" "LGPort=7005" "SGPort=7105" \
  "RG01Port=7201" "RG02Port=7202" >"$cli/Settings.ini"
seconds_of() { local begin end; begin=$(date +%s.%N); "$@" >/dev/null || [ $? -eq 3 ]; end=$(date +%s.%N); awk -v b="$begin" -v e="$end" 'BEGIN {print e - b}'; }
: >"$work/run.times"
: >"$work/restore.times"
for _ in $(seq "$starts"); do
  seconds_of "$cli/Mud3IPSetup" --apply >>"$work/run.times"
  newest=$("$cli/Mud3IPSetup" --list-backups | head -n 1 | cut -f1)
  seconds_of "$cli/Mud3IPSetup" --restore "$newest" >>"$work/restore.times"
done
printf '  run      %.3f s\n  restore  %.3f s\n' "$(median_of <"$work/run.times")" "$(median_of <"$work/restore.times")"

echo "== Statements the three database targets send (server log, one run)"
sql -c "ALTER SYSTEM SET log_statement = 'all'" -c "SELECT pg_reload_conf()" >/dev/null
log=$MUD3_PG_SOCKET/server.log
before=$(wc -l <"$log")
"$build/bench/bench_update_run" --database-only >/dev/null
# Every statement the driver sent, the connection's own set-up included; the SELECT and UPDATE of each row update
# are the tool's, the rest is the driver's bookkeeping (transactions, savepoints, key and column look-ups).
sent=$(tail -n +"$((before + 1))" "$log" | grep -E 'LOG:  (statement|execute [^:]*):' | sed -E 's/.*LOG:  (statement|execute [^:]*): //')
echo "$sent" | cut -c1-110 | sort | uniq -c | sort -rn
echo "  $(echo "$sent" | wc -l) statements in all; per table: $(for table in TBL_PUBIPS TBL_SELECTGATEIPS TBL_SERVERINFO; do
  printf '%s %s selects, %s updates; ' "$table" "$(echo "$sent" | grep -c "Select \* From $table")" "$(echo "$sent" | grep -ci "^UPDATE $table")"; done)"
sql -c "ALTER SYSTEM RESET log_statement" -c "SELECT pg_reload_conf()" >/dev/null

echo "== Start to window shown (median of $starts starts under Xvfb)"
# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
display_pid=$!
until [ -s "$work/display" ]; do sleep 0.05; done
export DISPLAY=:$(cat "$work/display")
# Seconds from start until a visible window with the title exists; prints "seconds peak-KiB".
time_start() {
  local title=$1
  shift
  local begin end pid peak
  begin=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/start.err" &
  pid=$!
  # xdotool's own --sync polls twice a second: too coarse here.
  local deadline=$((SECONDS + 30))
  until xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "$title exited before its window showed:" >&2; cat "$work/start.err" >&2; return 1; }
    [ "$SECONDS" -lt "$deadline" ] || { echo "no $title window within 30 s" >&2; kill "$pid"; return 1; }
    sleep 0.005
  done
  end=$(date +%s.%N)
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "$(awk -v b="$begin" -v e="$end" 'BEGIN {print e - b}') $peak"
}
tool=$(mktemp -d "$work/tool.XXXXXX")
cp "$build/tests/on-postgresql/Mud3IPSetup" "$tool/"
: >"$work/tool.times"
: >"$work/bare.times"
# Now and then a program here cannot reach the display at all and ends at once, the bare window as well as the
# tool; such a start is said and tried again, up to three times.
time_start_again() {
  local attempt
  for attempt in 1 2 3; do
    time_start "$@" && return 0
  done
  return 1
}
# Alternate the two so that whatever else the machine does weighs on both alike.
for _ in $(seq "$starts"); do
  time_start_again Form1 "$tool/Mud3IPSetup" >>"$work/tool.times"
  time_start_again BareWindow "$build/bench/bench_bare_window" >>"$work/bare.times"
done
tool_median=$(cut -d' ' -f1 "$work/tool.times" | median_of)
bare_median=$(cut -d' ' -f1 "$work/bare.times" | median_of)
printf '  tool   %.3f s   peak %s KiB\n' "$tool_median" "$(cut -d' ' -f2 "$work/tool.times" | sort -n | tail -1)"
printf '  bare   %.3f s   peak %s KiB\n' "$bare_median" "$(cut -d' ' -f2 "$work/bare.times" | sort -n | tail -1)"
printf '  ratio  %.2f\n' "$(awk -v t="$tool_median" -v b="$bare_median" 'BEGIN {print t / b}')"
