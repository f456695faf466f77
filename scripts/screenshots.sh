#!/usr/bin/env bash
# Screenshots of the two review dialogs on the demo (scripts/demo.sh) under Xvfb, for a person to look at:
# Preview Changes before the first run, with a file missing, and after it with a new external address; Restore
# a Kept Run… after two runs, with a file changed since. Prints the folder that holds them (FOLDER, or a new one).
#
#   scripts/screenshots.sh [FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$(mktemp -d /tmp/mud3-screenshots.XXXXXX)}
mkdir -p "$out"
work=$(mktemp -d /tmp/mud3-screenshots-work.XXXXXX)
xvfb=
demo=
cleanup() {
  [ -z "$demo" ] || wait "$demo" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")

"$root/scripts/demo.sh" >"$work/demo.log" 2>&1 &
demo=$!
mud3=$root/demo/Mud3
# A window of that title, once it shows; fails after a minute.
window() {
  local found
  for _ in $(seq 600); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$demo" 2>/dev/null || { cat "$work/demo.log" >&2; return 1; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}
gone() {
  for _ in $(seq 100); do xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0; sleep 0.1; done
  return 1
}
tool=$(window Form1)
# The window's controls where its layout puts them (twips / 15), clicked and typed into as a user would.
click() { xdotool mousemove --window "$tool" "$1" "$2" click 1; }
update() { click 516 380; sleep 3; }
preview() { click 516 444; window 'Preview Changes' >/dev/null; }
restore() { click 516 508; window 'Restore a Kept Run' >/dev/null; }
tickAll() { for target in $(seq 0 14); do click 30 $((28 + 32 * target)); done; }
externalIp() { click 580 53; xdotool key ctrl+a type "$1"; }
keys() { xdotool windowfocus --sync "$(window "$1")" key "${@:2}"; }
shot() { sleep 1; "$root/build/tests/e2e/screenshot" "$out/$1.png"; }
escape() { keys "$1" Escape; gone "$1"; }

preview
shot preview
escape 'Preview Changes'

mv "$mud3/Mir3Server/KLoginSvr/Logsrv.ini" "$work/Logsrv.ini"
preview
shot preview-failing
escape 'Preview Changes'
mv "$work/Logsrv.ini" "$mud3/Mir3Server/KLoginSvr/Logsrv.ini"

update
tickAll
externalIp 203.0.113.99
preview
keys 'Preview Changes' Down Down Down
shot preview-file
escape 'Preview Changes'

update
printf '; changed by hand\r\n' >>"$mud3/Mir3Server/DBSvr/Setup.ini"
restore
# The dialog takes no input while it reads the plan of the newest run.
sleep 3
keys 'Restore a Kept Run' Tab Down Down Down Down Down Down Down space
shot restore
escape 'Restore a Kept Run'

kill "$(xdotool getwindowpid "$tool")"
echo "Screenshots: $out"
