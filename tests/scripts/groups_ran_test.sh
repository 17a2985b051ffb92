#!/usr/bin/env bash
# groups_ran.sh against transcripts made here, with the groups the Windows
# workflow requires: a whole run (with Windows' CR LF line ends) passes; a
# required group renamed, skipped or cut short, a run that did not reach
# its end, and no transcript at all each fail, naming what is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
check=tests/scripts/groups_ran.sh
read -ra groups < <(sed -n 's/.*groups_ran\.sh [^ ]* //p' .github/workflows/windows.yml)
((${#groups[@]} >= 14)) || { echo "FAIL: the workflow calls groups_ran.sh with ${#groups[@]} groups" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

transcript() {  # the groups as they ran; the run's end unless --cut
  echo "e2e: quorvane.exe on Windows, 96 DPI, code page 1252"
  local g
  for g in "$@"; do
    [ "$g" = --cut ] && return
    echo "PASS $g.first (0.5 s)"
    echo "SKIP $g.second (0.0 s): needs UI Automation"
    echo "$g: 2 programs, 1.5 s"
  done
  echo "SKIP dpi144: this system is not a display at 150 %"
  echo "e2e: 28 passed, 0 failed, 15 skipped"
}

failures=0
expect() {  # expect pass|fail WANTED-IN-OUTPUT TRANSCRIPT-FILE WHAT
  local status=0 out
  out="$(bash "$check" "$3" "${groups[@]}" 2>&1)" || status=$?
  if { [ "$1" = pass ] && [ "$status" != 0 ]; } || { [ "$1" = fail ] && [ "$status" = 0 ]; } ||
      ! grep -qF -- "$2" <<< "$out"; then
    echo "FAIL: $4: expected to $1 saying '$2', exit $status, said:" >&2
    sed 's/^/  /' <<< "$out" >&2
    failures=$((failures + 1))
  else
    echo "ok: $4: $(tail -n 1 <<< "$out")"
  fi
}

transcript "${groups[@]}" | sed 's/$/\r/' > "$work/whole"
expect pass "all ${#groups[@]} groups ran" "$work/whole" "every group ran"

last=$((${#groups[@]} - 1))
transcript "${groups[@]:0:2}" "${groups[2]}s" "${groups[@]:3}" > "$work/renamed"
expect fail "groups did not run: ${groups[2]}" "$work/renamed" "${groups[2]} renamed"

transcript "${groups[@]:0:last}" > "$work/skipped"
echo "SKIP ${groups[last]}: this system is not set up for it" >> "$work/skipped"
expect fail "${groups[last]} did not run (SKIP ${groups[last]}: this system is not" "$work/skipped" \
  "${groups[last]} skipped"

transcript "${groups[@]}" | sed "s/^${groups[1]}: 2 programs/${groups[1]}: 0 programs/" > "$work/none"
expect fail "${groups[1]} did not run (${groups[1]}: 0 programs" "$work/none" "${groups[1]} started no program"

transcript "${groups[@]:0:5}" --cut > "$work/cut"
expect fail "did not reach its end" "$work/cut" "the run cut short"

: > "$work/empty"
expect fail "no transcript, or an empty one" "$work/empty" "an empty transcript"
expect fail "no transcript, or an empty one" "$work/absent" "no transcript"

((failures == 0))
