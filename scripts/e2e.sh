#!/usr/bin/env bash
#   bash scripts/e2e.sh [--x64] [--desktop GROUP] GROUP [NAME-REGEX]  |  [--x64] --list [GROUP]
# One end-to-end group (or its scenarios that NAME-REGEX matches) as CTest runs it: the i686 product, or its --x64
# twin, under wine on a display of its own, in a copy of the build's prefix set up as the group's desktop (or another
# group's). $QV_EXE, in the checkout or build tree, stands in for the program. Builds what is missing into build/ (or
# $QV_BUILD_DIR); a failed scenario leaves a picture of the screen in <build>/e2e-artifacts-ARCH/.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=i686 desktop=
[ "${1:-}" != --x64 ] || { arch=x86_64; shift; }
[ "${1:-}" != --desktop ] || { desktop="${2:?usage: --desktop GROUP}"; shift 2; }
group="${1:?usage: e2e.sh [--x64] [--desktop GROUP] GROUP [NAME-REGEX] | [--x64] --list [GROUP]}"
desktop="${desktop:-$group}"
source scripts/wine-env.sh
dir="$(realpath -m "${QV_BUILD_DIR:-build}")"
mkdir -p "$dir/e2e-artifacts-$arch"
win="$dir/win-$arch" base="$dir/$(qv_prefix_name "$arch")"
[[ -x $win/shell/quorvane.exe && -x $win/tests/e2e/e2e.exe ]] || QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
session="$base.sessions/${group#--}-$$.on-${desktop#--}"  # two parts of one group may run side by side
{
  flock 9
  qv_prepare_prefix "$base" "$arch"
  qv_copy_prefix "$base" "$session"
} 9>"$base.lock"
# The desktop: its code page (by the locale), its screen, and its registry (tests/e2e/variants/, --desktop's first).
lang=zh_CN.UTF-8 screen=1024x768x24
case "$desktop" in
  cp1252*) lang=C.UTF-8 ;;
  # Wine takes a face for System only where it has none of that name.
  wide_system_font) lang=C.UTF-8; rm -f "$session"/drive_c/windows/Fonts/{*sys*.fon,system.ttf} ;;
  small_screen) screen=320x100x24 ;;
esac
export WINEPREFIX="$session" QV_LANG="$lang" QV_SLOW=2 WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY
qv_start_display "$screen"
trap 'qv_wine wineserver -k 2>/dev/null; qv_wine wineserver -w 2>/dev/null; qv_stop_display; rm -rf "$session" "$session.txt"' EXIT
for reg in $(printf 'tests/e2e/variants/%s.reg\n' "$desktop" "$group" | uniq); do
  [ ! -f "$reg" ] || qv_wine wine regedit /S "$PWD/$reg" >/dev/null 2>&1
done
echo "e2e: the $arch build under $(qv_runtime_words "$QV_RUNTIME"), group $group"
# QV_SLOW: sessions share two cores, the emulator is slower still. Now and then a wine session hangs whole (programs
# idle, wineserver busy; once in sixty group runs emulated): a group not ended in twice its longest time runs once more
# in a new session. A long soak or benchmark asked for by hand runs as long as it takes.
limit=180 retries=1
[ "$QV_RUNTIME" != qemu ] || QV_SLOW=4 limit=240
[ -z "${QV_SOAK_KEYS:-}${QV_BENCH_KEYS:-}" ] || limit=86400 retries=0
transcript="$session.txt"
until qv_wine timeout "$limit" wine "$win/tests/e2e/e2e.exe" --exe "${QV_EXE:-$win/shell/quorvane.exe}" \
    --out "$dir/e2e-artifacts-$arch" "$@" 2>/dev/null | tee "$transcript"; do
  status=$?
  [[ "$status" = 124 && "$((retries--))" -gt 0 ]] || exit "$status"
  echo "e2e: the wine session hung; running the group once more in a new one"
  qv_wine wineserver -k 2>/dev/null || true
  qv_wine wineserver -w 2>/dev/null || true
done
# e2e.exe skips, with exit 0, a group whose desktop this is not: here every group has its own, so that is a fault.
[ "$group" = --list ] || bash tests/scripts/groups_ran.sh "$transcript" ${group//,/ } >/dev/null
