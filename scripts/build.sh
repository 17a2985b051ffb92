#!/usr/bin/env bash
# Builds everything into build/: the native core and tests, and the i686 and
# x86_64 Windows programs (build/win-i686, build/win-x86_64).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j"$(nproc)"
