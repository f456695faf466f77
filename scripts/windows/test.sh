#!/usr/bin/env bash
# Cross-builds for Windows (build.sh) and runs the test suite under Wine on a virtual X display, driven by
# CTest, at the ANSI code pages 936 (Chinese), 1252 (Western) and 65001 (UTF-8). Everything runs in a
# private network namespace with only its own loopback: the test PostgreSQL listens on its default port
# there, so that the SQL IP can be a bare 127.0.0.1, and nothing can reach another machine.
#
#   scripts/windows/test.sh [CTEST ARGS...]      e.g. -R CodePage to run a part
#
# MUD3_WINDOWS_NO_BUILD=1 runs the tests of the last build without building first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${MUD3_WINDOWS_CACHE:-/var/cache/mud3-windows}
build=${MUD3_WINDOWS_BUILD_DIR:-$root/build-windows}

if [ "${MUD3_IN_PRIVATE_NETWORK:-}" != 1 ]; then
  [ "${MUD3_WINDOWS_NO_BUILD:-0}" = 1 ] || "$here/build.sh"
  MUD3_IN_PRIVATE_NETWORK=1 exec unshare --net -- "$0" "$@"
fi
ip link set lo up

work=$(mktemp -d /tmp/mud3-wine.XXXXXX)
chmod 755 "$work" # the database server runs as "postgres"
xvfb=
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || /usr/lib/wine/wineserver -k 2>/dev/null || true
  "$root/scripts/postgres.sh" stop "$work/db" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The X display: Wine's windows need one, also for creating the prefix.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")

# The test database on PostgreSQL's default port, reached through unixODBC from Wine's odbc32. psqlODBC is
# also registered under the name the tool's driver look-up picks from the registry below.
MUD3_PG_FIXED_PORT=5432 "$root/scripts/postgres.sh" start "$work/db" >/dev/null
. "$work/db/env"
odbc_driver='ODBC Driver 18 for SQL Server'
printf '[%s]\nDriver=%s\n' "$odbc_driver" "$(sed -n 's/^Driver=//p' "$ODBCSYSINI/odbcinst.ini" | head -n 1)" \
  >>"$ODBCSYSINI/odbcinst.ini"

# The Wine prefix: made once and cached, copied for each run. Debian's Wine does not find the fonts of
# fonts-wine by itself; SimSun, the Chinese locale's font, becomes an installed CJK font.
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
wine=/usr/lib/wine/wine64
pristine=$cache/wine-prefix-$(dpkg-query -W -f='${Version}' wine64)
if [ ! -d "$pristine" ]; then
  rm -rf "$pristine.new"
  WINEPREFIX=$pristine.new "$wine" wineboot --init >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$pristine.new/drive_c/windows/Fonts/"
  WINEPREFIX=$pristine.new "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun \
    /d 'WenQuanYi Micro Hei' /f >/dev/null
  WINEPREFIX=$pristine.new /usr/lib/wine/wineserver -w
  mv "$pristine.new" "$pristine"
fi
cp -a "$pristine" "$work/prefix"
export WINEPREFIX=$work/prefix
/usr/lib/wine/wineserver -p
# Wine does not copy unixODBC's drivers into the registry, where the tool looks for them.
"$wine" reg add 'HKLM\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers' /v "$odbc_driver" /d Installed /f >/dev/null
# Wine closes its desktop a moment after the last program on it has ended, and a test starting just then
# hangs: the keeper holds the desktop from the first test to the last.
"$wine" "$build/tests/windows/desktop_keeper.exe" >"$work/keeper" 2>/dev/null </dev/null &
for _ in $(seq 300); do [ -s "$work/keeper" ] && break; sleep 0.1; done
[ -s "$work/keeper" ] || { echo "Wine's desktop could not be held open" >&2; exit 1; }

# Wine takes the ANSI code page from the locale (which need not exist on the host): zh_CN gives 936,
# en_US 1252, and hi_IN, a locale without an ANSI code page, 65001. The Chinese one runs everything; the
# others run what turns text into bytes, in plain folders.
code_page_tests='^(CodePage\.|ServerFilesGolden\.|Folders/ToolWindowFrom\.Pressing.*/PlainFolders$|ToolWindow\.ChineseServerName)'
# File names outside ASCII reach the host in the host locale's character set: the Chinese locale is built,
# for this run alone, so that the tool can run from and write to folders with Chinese names.
mkdir -p "$work/locale"
localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8"
export LOCPATH=$work/locale
failed=()
run_pass() {
  local code_page=$1 locale=$2
  shift 2
  echo "== Windows tests under Wine, code page $code_page"
  LANG=$locale LC_ALL=$locale ctest --test-dir "$build" --output-on-failure --timeout 120 -j"$(nproc)" "$@" ||
    failed+=("$code_page")
}
# The tool window tests leave screenshots of the window and its dialogs for a person to look at.
screenshots=$build/screenshots
rm -rf "$screenshots" && mkdir -p "$screenshots"
MUD3_SCREENSHOT=$screenshots/window-96dpi-%1.png run_pass 936 zh_CN.UTF-8 "$@"
run_pass 1252 en_US.UTF-8 -R "$code_page_tests" "$@"
run_pass 65001 hi_IN.UTF-8 -R "$code_page_tests" "$@"
# The window and its dialogs once more at 144 dpi (150 %), as a larger display shows them.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
MUD3_SCREENSHOT=$screenshots/window-144dpi-%1.png run_pass "936 at 144 dpi" zh_CN.UTF-8 \
  -R '^(Folders/ToolWindowFrom\.Pressing.*/PlainFolders$|ToolWindow\.ReviewDialogs|WindowTest\.)' "$@"
echo "Screenshots: $screenshots"

if [ ${#failed[@]} -ne 0 ]; then
  echo "Windows tests failed at code page(s) ${failed[*]}" >&2
  exit 1
fi
echo "Windows tests passed at code pages 936, 1252 and 65001"
