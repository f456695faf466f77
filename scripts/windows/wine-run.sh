#!/bin/sh
# How CTest and the test list run a Windows program: under Wine, killed when it outlives
# MUD3_WINE_TIMEOUT seconds (default 110, below CTest's 120), so that a stuck error box never hangs a run.
exec timeout --kill-after=5 "${MUD3_WINE_TIMEOUT:-110}" /usr/lib/wine/wine64 "$@"
