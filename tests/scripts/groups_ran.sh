#!/usr/bin/env bash
# Fails unless each GROUP ran in an e2e.exe transcript, that is, printed its
# line "GROUP: N programs, X s" with at least one program started, and the
# run reached its last line "e2e: N passed, N failed, N skipped". e2e.exe
# --all skips, with exit 0, every group the machine is not set up for; the
# Windows workflow names the groups a stock runner must not skip.
#
#   bash tests/scripts/groups_ran.sh TRANSCRIPT GROUP...
set -euo pipefail
(($# >= 2)) || { echo "usage: groups_ran.sh TRANSCRIPT GROUP..." >&2; exit 2; }
transcript="$1"
shift
if [ ! -s "$transcript" ]; then
  echo "groups_ran: no transcript, or an empty one: $transcript" >&2
  exit 1
fi
# Windows' C runtime ends the lines with CR LF.
text="$(tr -d '\r' < "$transcript")"
missing=()
for group in "$@"; do
  grep -qE "^$group: [1-9][0-9]* programs, " <<< "$text" && continue
  missing+=("$group")
  why="$(grep -m 1 -E "^SKIP $group: |^$group: 0 programs" <<< "$text" || echo "no line of it")"
  echo "groups_ran: $group did not run ($why)" >&2
done
if ! grep -qE '^e2e: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' <<< "$text"; then
  echo "groups_ran: the run did not reach its end (no line 'e2e: N passed, N failed, N skipped')" >&2
  exit 1
fi
if ((${#missing[@]})); then
  echo "groups_ran: ${#missing[@]} of $# groups did not run: ${missing[*]}" >&2
  exit 1
fi
echo "groups_ran: all $# groups ran; skipped as this machine is not set up for them:"
grep -E '^SKIP [a-z0-9_]+: ' <<< "$text" | sed 's/^/  /' || echo "  none"
