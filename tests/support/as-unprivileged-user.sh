#!/bin/sh
# Runs a test program as "nobody" when started as root, so that file permissions apply to it.
# The program runs from a copy in a temporary folder: the build folder may lie where "nobody" cannot reach.
[ "$(id -u)" -eq 0 ] || exec "$@"
program=$1
shift
copy=$(mktemp -d /tmp/mud3-unprivileged.XXXXXX)
chmod 755 "$copy"
cp "$program" "$copy/"
status=0
setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$copy/$(basename "$program")" "$@" || status=$?
rm -rf "$copy"
exit $status
