#!/bin/sh
# Checks the resources of the exe (first argument), decompiled by windres: every line of the expected list
# (second argument) is among them, and the manifest names no code page for the process.
set -eu
resources=$(x86_64-w64-mingw32-windres --input "$1" --output-format rc)
status=0
while IFS= read -r line; do
  printf '%s\n' "$resources" | grep -qF -- "$line" || { echo "missing: $line" >&2; status=1; }
done <"$2"
if printf '%s\n' "$resources" | grep -q activeCodePage; then
  echo "the manifest sets activeCodePage" >&2
  status=1
fi
exit $status
