#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool on a working demo: a sample installation tree and a
# local account database (PostgreSQL on loopback standing in for SQL Server), with Settings.ini beside the
# executable pointing at both, so that "Update Selected IP's" succeeds. The executable is the tool built to
# speak PostgreSQL's dialect where it would speak SQL Server's, as the tests run it. The installation and the executable
# live below demo/, the database in a temporary folder until the window closes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$root/demo

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

rm -rf "$demo"
mkdir -p "$demo/bin" "$demo/Mud3"

# The database lives in a temporary folder, where the "postgres" account can reach it.
database=$(mktemp -d /tmp/mud3-demo-db.XXXXXX)
"$root/scripts/postgres.sh" start "$database"
. "$database/env"
trap '"$root/scripts/postgres.sh" stop "$database" 2>/dev/null || true; rm -rf "$database"' EXIT
"$root/scripts/postgres.sh" sql "$database" -f "$root/scripts/demo-account.sql" >/dev/null

# The installation: every file that the run rewrites, plus the two files that the launcher buttons open.
while IFS= read -r file; do
  mkdir -p "$demo/Mud3/$(dirname "$file")"
  printf 'sample content before the first update\r\n' >"$demo/Mud3/$file"
done <<'FILES'
Mir3Server/DBSvr/!ServerInfo.txt
Mir3Server/DBSvr/Setup.ini
Mir3Server/KLoginSvr/!AddrTable.txt
Mir3Server/KLoginSvr/!ServerAddr.txt
Mir3Server/KLoginSvr/Logsrv.ini
Mir3Server/LoginGate/Config.ini
Mir3Server/RunGate01/GameGate.ini
Mir3Server/RunGate02/GameGate.ini
Mir3Server/SelGate/SelGate.ini
Setup/!RunAddr.txt
Setup/!ServerTable.txt
Setup/Plus_Setup.ini
Database/ODBC.reg
Setup/!Setup.txt Editor.exe
FILES

cp "$root/build/tests/on-postgresql/Mud3IPSetup" "$demo/bin/"
printf '%s\r\n' "[Settings]" "ServerName=Morrowtide" "ExternalIP=203.0.113.24" "InternalIP=127.0.0.1" \
  "SQLIP=127.0.0.1,$MUD3_PG_PORT" "SQLPass=qef" "Mud3Path=$demo/Mud3\\" "LGPort=7005" "SGPort=7105" \
  "RG01Port=7201" "RG02Port=7202" >"$demo/bin/Settings.ini"
chmod 600 "$demo/bin/Settings.ini"

echo "Demo installation: $demo/Mud3"
echo "Demo database:     127.0.0.1,$MUD3_PG_PORT (login sa, password qef, database Account)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available, so the window cannot open here."
  echo "To open it under Xvfb (a virtual display), run:  xvfb-run -a -s '-screen 0 1024x768x24' $0"
  exit 0
fi
echo "Opening the tool; the demo database stops when its window closes."
"$demo/bin/Mud3IPSetup"
