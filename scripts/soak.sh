#!/usr/bin/env bash
# Soak test of the real window under wine: random real key presses (xdotool)
# into one running program, checked after every key (the end-to-end group
# "soak" in tests/e2e/scenarios.py).
#
#   bash scripts/soak.sh [--arch i686|x86_64] [--keys N] [--seed S]
#
# Default: the x86_64 build, 200 keys, a random seed. --arch i686 soaks the
# product; each build runs under the runtime that runs it here
# (scripts/wine-env.sh). The test command runs a 200-key soak of each build
# through CTest (e2e.soak, e2e.i686.soak).
# Uses build/ (or $QV_BUILD_DIR), building it first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=x86_64
keys=200
seed=""
while (($#)); do
  case "$1" in
    --arch) arch="$2"; shift 2 ;;
    --keys) keys="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    *) echo "usage: soak.sh [--arch i686|x86_64] [--keys N] [--seed S]" >&2; exit 2 ;;
  esac
done
case "$arch" in
  x86_64) set -- --x64 ;;
  i686) set -- ;;
  *) echo "soak.sh: the build is i686 or x86_64, not '$arch'" >&2; exit 2 ;;
esac
export QV_SOAK_KEYS="$keys" QV_SOAK_SEED="$seed"
exec bash scripts/e2e.sh "$@" soak
