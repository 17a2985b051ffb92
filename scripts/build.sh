#!/usr/bin/env bash
# Builds everything into build/ (or $QV_BUILD_DIR): the native core and tests,
# and the i686 and x86_64 Windows programs (<dir>/win-i686, <dir>/win-x86_64).
# Extra arguments go to CMake's configure step.
#
#   bash scripts/build.sh --program ARCH [--e2e]
#       only the Windows program of one build (i686 or x86_64), into
#       <dir>/win-ARCH, configured as cmake/WindowsBuilds.cmake does; with
#       --e2e the end-to-end test program beside it (tests/e2e/e2e.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_BUILD_DIR:-build}"
if [ "${1:-}" = --program ]; then
  arch="${2:?usage: build.sh --program i686|x86_64 [--e2e]}"
  targets=(quorvane)
  [ "${3:-}" = --e2e ] && targets+=(e2e)
  cmake -S . -B "$dir/win-$arch" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$dir/win-$arch" --target "${targets[@]}" -j"$(nproc)" >/dev/null
  exit
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
