#!/usr/bin/env bash
# The README's run command: installs what running needs, builds the program,
# and starts it in a wine prefix inside the build tree.
#
#   bash scripts/run.sh          # the product, the 32-bit build
#   bash scripts/run.sh --x64    # the x86_64 build
#
# It says which build it started and under which wine. With a display the
# program runs in the foreground until it is closed. Without one, it runs on
# a virtual display until its window is painted; the script then saves a
# screenshot, ends the program and exits 0.
#
# Only the program is built here (the tests are built by scripts/test.sh),
# and the runtime's first set-up (a download) runs while it builds.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=i686
case "${1:-}" in
  "") ;;
  --x64) arch=x86_64 ;;
  *) echo "usage: run.sh [--x64]" >&2; exit 2 ;;
esac

dir="${QV_BUILD_DIR:-build}"
exe="$dir/win-$arch/shell/quorvane.exe"
shot="$dir/quorvane-screenshot.png"

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
prefix="$dir/$(qv_prefix_name "$arch")"
runtime="$(qv_runtime "$arch")"
# The runtime's set-up (a download, the first time) runs while the rest is
# installed and the program is built.
bash scripts/install-deps.sh --runtime "$arch"
mkdir -p "$dir"
setup_log="$dir/runtime-setup.log"
echo "run: preparing $(qv_runtime_words "$runtime") and its prefix (log: $setup_log)"
(qv_prepare_prefix "$prefix" "$arch") > "$setup_log" 2>&1 &
setup=$!
bash scripts/install-deps.sh --run "$arch"

echo "run: building $exe"
QV_BUILD_DIR="$dir" bash scripts/build.sh --program "$arch"

if ! wait "$setup"; then
  echo "run: preparing the runtime or its prefix failed:" >&2
  tail -n 20 "$setup_log" >&2
  exit 1
fi
qv_prepare_prefix "$prefix" "$arch"
echo "run: starting the $arch build, $exe, under $(qv_runtime_words "$QV_RUNTIME"): $(qv_runtime_why "$arch")"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  if [ "$QV_RUNTIME" = qemu ]; then
    # Under emulation a fresh wine session takes about 3 s to come up, a
    # running one about 0.6 s: the session outlives the program by five
    # minutes, so running the program again soon starts it at once. A server
    # already running (from the run before) refuses a second one.
    wineserver -p300 2>/dev/null || true
  fi
  LANG="$QV_LANG" LC_ALL="$QV_LANG" exec wine "$exe"
fi

qv_start_display
cleanup() {
  wineserver -k 2>/dev/null || true
  qv_stop_display
}
trap cleanup EXIT

qv_wine wine "$exe" &
program=$!

window=""
for _ in $(seq 1 150); do
  window="$(xdotool search --name '^ Quorvane V' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "run: the window did not appear" >&2
  exit 1
fi

# Painted once the gradient shows in the gap between the title and the first
# row (client y 22, inside a one-pixel border); until then it is black.
eval "$(xdotool getwindowgeometry --shell "$window")"
painted=""
for _ in $(seq 1 50); do
  import -window root "$shot"
  colour="$(convert "$shot" -format "%[hex:p{$((X + 1 + 200)),$((Y + 1 + 22))}]" info:)"
  if [ "$colour" != "000000" ]; then
    painted=yes
    break
  fi
  sleep 0.2
done
if [ -z "$painted" ]; then
  echo "run: the window was not painted" >&2
  exit 1
fi

# The screenshot shows the window, not the whole virtual screen.
convert "$shot" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
echo "run: window at $X,$Y (${WIDTH}x${HEIGHT}) on virtual display $DISPLAY"
echo "run: screenshot saved to $(pwd)/$shot"
wineserver -k 2>/dev/null || true
wait "$program" 2>/dev/null || true
exit 0
