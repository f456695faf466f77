#!/usr/bin/env bash
# The folders of the tool and the includes between them, lowest first: each folder may include only from
# folders before it in this list, and only platform/ may branch on the system. Prints how many includes
# lead from each folder to each other; exits 1, naming the lines, when an include leads up or across, or a
# system branch stands outside platform/.
#
#   scripts/layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(platform model templates database update preview restore cli app)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

status=0
echo "Includes between folders (from -> to: count):"
for from in "${layers[@]}"; do
  grep -ho '#include "[a-z]*/' "$from"/*.h "$from"/*.cpp | sed 's/#include "//; s#/##' | sort | uniq -c |
    while read -r count to; do [ "$to" = "$from" ] || echo "  $from -> $to: $count"; done
done

# templates and database stand side by side: neither includes the other.
for from in "${layers[@]}"; do
  while IFS=: read -r file line to; do
    to=${to#*\"}; to=${to%%/*}
    [ "$to" = "$from" ] && continue
    if [ "$(rank "$to")" -ge "$(rank "$from")" ] || { [ "$from" = database ] && [ "$to" = templates ]; }; then
      echo "upward include: $file:$line includes from $to/" >&2
      status=1
    fi
  done < <(grep -Hn '^#include "[a-z]*/' "$from"/*.h "$from"/*.cpp || true)
done

branches=$(grep -rn -E '^\s*#\s*(if|ifdef|ifndef|elif).*(Q_OS_|_WIN32|__linux|__unix)' \
  --include='*.cpp' --include='*.h' . | grep -v -E '^\./(platform|build[^/]*)/' || true)
if [ -n "$branches" ]; then
  echo "system branches outside platform/:" >&2
  echo "$branches" >&2
  status=1
fi
echo "System branches outside platform/: $(printf '%s' "$branches" | grep -c . || true)"
exit $status
