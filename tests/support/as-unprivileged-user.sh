#!/bin/sh
# Runs a test program as "nobody" when started as root, so that file permissions apply to it.
if [ "$(id -u)" -eq 0 ]; then
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
fi
exec "$@"
