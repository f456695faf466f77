#!/bin/sh
# Runs a test program with MUD3_SMALL_DISK naming an empty 64 KiB tmpfs of its own. The file system is
# mounted in a private mount namespace, so nothing outside the program ever sees it and it vanishes with
# the program. Where it cannot be mounted the program runs without it, MUD3_SMALL_DISK_UNAVAILABLE says
# why, and its cases skip.
if [ "$(id -u)" -ne 0 ]; then
  MUD3_SMALL_DISK_UNAVAILABLE="mounting a small file system needs root" exec "$@"
fi
if ! unshare --mount --propagation private true 2>/dev/null; then
  MUD3_SMALL_DISK_UNAVAILABLE="this system allows no private mount namespace (unshare --mount failed)" exec "$@"
fi
folder=$(mktemp -d /tmp/mud3-small-disk.XXXXXX)
status=0
unshare --mount --propagation private -- sh -c '
  folder=$1
  shift
  mount -t tmpfs -o size=64k,mode=0755 mud3-small-disk "$folder" || exit 125
  MUD3_SMALL_DISK=$folder exec "$@"
' sh "$folder" "$@" || status=$?
rmdir "$folder"
exit $status
