#!/usr/bin/env bash
# Soak test of the real window under wine: random real key presses (xdotool)
# into one running program, checked after every key (tests/soak/soak.py).
#
#   bash scripts/soak.sh [--keys N] [--seed S]     default 200 keys, random seed
#
# Uses build/ (or $QV_BUILD_DIR), building it first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_BUILD_DIR:-build}"
if [ ! -x "$dir/win-x86_64/shell/quorvane.exe" ] || [ ! -x "$dir/win-x86_64/tests/win/qv_probe.exe" ]; then
  QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
fi
abs="$(cd "$dir" && pwd)"
export QV_EXE="$abs/win-x86_64/shell/quorvane.exe"
export QV_PROBE="$abs/win-x86_64/tests/win/qv_probe.exe"
export QV_PREFIX="$abs/wineprefix"
export QV_ARTIFACTS="$abs/soak-artifacts"
export QV_REPO="$PWD"
exec python3 tests/soak/soak.py "$@"
