#!/usr/bin/env bash
# Checks the test host's edit-control model against wine's real edit control:
# both sides run the same random edit sequences (edit_script.h) and must print
# the same text and selection after every step. Needs mingw-w64 and wine.
#   tests/support/edit_script_check.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$(mkdir -p "${1:-$root/build}/edit-script" && cd "${1:-$root/build}/edit-script" && pwd)"
g++ -std=c++20 -O1 -I"$root/core" -I"$root/tests/support" "$root/tests/support/edit_script_fake.cpp" \
  "$root/tests/support/fake_host.cpp" "$root/core/radix_codec.cpp" "$root/core/converter_panel.cpp" \
  -o "$out/fake"
x86_64-w64-mingw32-g++ -std=c++20 -O1 -static -I"$root/tests/support" \
  "$root/tests/support/edit_script_win.cpp" -o "$out/win.exe"
source "$root/scripts/wine-env.sh"
# A copy of the tree's x86_64 prefix of its own, made under the lock that the
# end-to-end sessions take to copy it: they may run side by side.
(
  flock 9
  qv_prepare_prefix "$out/../wineprefix" x86_64 2>/dev/null
  qv_copy_prefix "$WINEPREFIX" "$out/wineprefix"
) 9>"$out/../wineprefix.lock"
qv_prepare_prefix "$out/wineprefix" x86_64 2>/dev/null
qv_start_display
trap 'qv_wine wineserver -k 2>/dev/null; qv_stop_display' EXIT
"$out/fake" > "$out/fake.txt"
qv_wine wine "$out/win.exe" 2>/dev/null | tr -d '\r' > "$out/wine.txt"
steps=$(wc -l < "$out/fake.txt")
if [ "$steps" -gt 0 ] && diff -q "$out/fake.txt" "$out/wine.txt" >/dev/null; then
  echo "edit model matches wine's edit control in all $steps steps"
else
  diff "$out/fake.txt" "$out/wine.txt" | head -20
  echo "edit model differs from wine's edit control ($(wc -l < "$out/wine.txt") steps from wine)"
  exit 1
fi
