#!/usr/bin/env bash
# Soak test of the real window under wine: random real key presses (xdotool)
# into one running program, checked after every key (tests/soak/soak.py).
#
#   bash scripts/soak.sh [--arch i686|x86_64] [--keys N] [--seed S]
#
# Default: the x86_64 build, 200 keys, a random seed. --arch i686 soaks the
# product under the emulated 32-bit runtime (scripts/i686-runtime.sh).
# Uses build/ (or $QV_BUILD_DIR), building it first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=x86_64
args=()
while (($#)); do
  case "$1" in
    --arch) arch="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
case "$arch" in
  i686) prefix=wineprefix-i686 ;;
  x86_64) prefix=wineprefix ;;
  *) echo "soak.sh: --arch is i686 or x86_64" >&2; exit 2 ;;
esac
dir="${QV_BUILD_DIR:-build}"
if [ ! -x "$dir/win-$arch/shell/quorvane.exe" ] || [ ! -x "$dir/win-$arch/tests/win/qv_probe.exe" ]; then
  QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
fi
abs="$(cd "$dir" && pwd)"
export QV_ARCH="$arch"
export QV_EXE="$abs/win-$arch/shell/quorvane.exe"
export QV_PROBE="$abs/win-$arch/tests/win/qv_probe.exe"
export QV_PREFIX="$abs/$prefix"
export QV_ARTIFACTS="$abs/soak-artifacts"
export QV_REPO="$PWD"
exec python3 tests/soak/soak.py "${args[@]}"
