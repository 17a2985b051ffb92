#!/usr/bin/env bash
# Builds everything into build/ (or $QV_BUILD_DIR): the native core and tests,
# and the i686 and x86_64 Windows programs (<dir>/win-i686, <dir>/win-x86_64).
# Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_BUILD_DIR:-build}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
