#!/bin/sh
# How CTest and the test list run a Windows program: under Wine, killed when it outlives
# MUD3_WINE_TIMEOUT seconds (default 110, below CTest's 120), so that a stuck error box never hangs a run.
run() {
  timeout --kill-after=5 "${MUD3_WINE_TIMEOUT:-110}" /usr/lib/wine/wine64 "$@"
}

case " $* " in
*" --gtest_list_tests "*)
  # Listing the tests changes nothing, and Wine now and then lets a program end with 1 and no output
  # before it has run (seen once in CI, while gathering the list); a failed listing is tried again and
  # said, and only a complete listing is printed.
  for attempt in 1 2 3; do
    if list=$(run "$@"); then
      printf '%s\n' "$list"
      exit 0
    else
      status=$?
    fi
    echo "wine-run.sh: listing the tests of $1 ended with $status (attempt $attempt of 3)" >&2
  done
  exit "$status"
  ;;
esac
run "$@"
