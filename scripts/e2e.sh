#!/usr/bin/env bash
# Runs one end-to-end group, or some of its scenarios, on the real window under
# wine, as CTest does: tests/e2e's e2e.exe, on a virtual display of its own, in
# a copy of the build's wine prefix set up as the group's desktop.
#
#   bash scripts/e2e.sh [--x64] [--desktop NAME] GROUP [NAME-REGEX]
#   bash scripts/e2e.sh [--x64] --list [GROUP]       the groups and their scenarios
#
# The i686 product by default, --x64 its twin, each under the runtime that
# scripts/wine-env.sh chooses for it (qv_runtime). A group runs on the desktop
# of its own name, or on another group's with --desktop. Builds into build/
# (or $QV_BUILD_DIR) what is missing; $QV_EXE, inside the checkout or the
# build tree, stands in for the program. A failed scenario leaves a picture of
# the screen in <build>/e2e-artifacts-ARCH/.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=i686
desktop=
while [ "${1:-}" = --x64 ] || [ "${1:-}" = --desktop ]; do
  if [ "$1" = --x64 ]; then
    arch=x86_64
  else
    desktop="${2:?usage: --desktop GROUP}"
    shift
  fi
  shift
done
group="${1:?usage: e2e.sh [--x64] [--desktop NAME] GROUP [NAME-REGEX] | --list [GROUP]}"
desktop="${desktop:-$group}"
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
dir="${QV_BUILD_DIR:-build}"
win="$dir/win-$arch"
if [ ! -x "$win/shell/quorvane.exe" ] || [ ! -x "$win/tests/e2e/e2e.exe" ]; then
  QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
fi
dir="$(cd "$dir" && pwd)"
win="$dir/win-$arch"
base="$dir/$(qv_prefix_name "$arch")"
artifacts="$dir/e2e-artifacts-$arch"
mkdir -p "$artifacts"

# The desktop a group stands for: its code page (from the locale), its screen,
# and its registry (tests/e2e/variants/GROUP.reg: display scale, colours,
# fonts), applied in the group's own copy of the prefix; on another group's
# desktop, that group's registry and then its own.
lang=zh_CN.UTF-8 screen=1024x768x24
case "$desktop" in
  cp1252* | wide_system_font) lang=C.UTF-8 ;;
  small_screen) screen=320x100x24 ;;
esac
session="$base.sessions/${group#--}-$$"  # two parts of one group may run side by side
[ "$desktop" = "$group" ] || session="$session.on-$desktop"
{
  flock 9
  qv_prepare_prefix "$base" "$arch"
  qv_copy_prefix "$base" "$session"
} 9>"$base.lock"
export WINEPREFIX="$session" QV_LANG="$lang"
# Wine takes a face for System only where it has none of that name.
if [ "$desktop" = wide_system_font ]; then
  rm -f "$session/drive_c/windows/Fonts/"*sys*.fon "$session/drive_c/windows/Fonts/system.ttf"
fi
# Sessions run side by side on two cores, and the emulator is slower still.
export QV_SLOW=2
[ "$QV_RUNTIME" = qemu ] && QV_SLOW=4
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY
qv_start_display "$screen"
trap 'qv_wine wineserver -k 2>/dev/null; qv_wine wineserver -w 2>/dev/null; qv_stop_display; rm -rf "$session"' EXIT
for reg in $(printf '%s\n' "$desktop" "$group" | uniq); do
  reg="tests/e2e/variants/$reg.reg"
  if [ -f "$reg" ]; then
    qv_wine wine regedit /S "$PWD/$reg" >/dev/null 2>&1
  fi
done
echo "e2e: the $arch build under $(qv_runtime_words "$QV_RUNTIME"), group $group"
run() {
  qv_wine timeout "$1" wine "$win/tests/e2e/e2e.exe" --exe "${QV_EXE:-$win/shell/quorvane.exe}" --out "$artifacts" \
    "${@:2}" 2>/dev/null
}
# Under the emulator a wine session now and then hangs as a whole, its
# programs idle (seen about once in sixty group runs, before e2e.exe and since):
# a group that has not ended in 4 minutes, a tenth of its usual time or less,
# runs once more in a new session. A second hang fails.
if [ "$QV_RUNTIME" != qemu ]; then
  run 540 "$@"
  exit
fi
status=0
run 240 "$@" || status=$?
if [ "$status" = 124 ]; then
  echo "e2e: the wine session hung under the emulator; running the group once more in a new one"
  qv_wine wineserver -k 2>/dev/null || true
  qv_wine wineserver -w 2>/dev/null || true
  run 240 "$@"
  exit
fi
exit "$status"
