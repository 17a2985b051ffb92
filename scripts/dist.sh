#!/usr/bin/env bash
# Writes the release files into dist/ (or $QV_DIST_DIR):
#   quorvane.exe       the product, 32-bit (PE32), for every Windows
#   quorvane-x64.exe   the same program as PE32+, for 64-bit Windows without
#                      32-bit support (Server Core without WoW64, for example)
#   SHA256SUMS
# Builds first; the build itself fails when an executable's headers are wrong
# (shell/check-exe.cmake), and this script checks them again on the copies.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_BUILD_DIR:-build}"
out="${QV_DIST_DIR:-dist}"

QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
rm -rf "$out"
mkdir -p "$out"
cp "$dir/win-i686/shell/quorvane.exe" "$out/quorvane.exe"
cp "$dir/win-x86_64/shell/quorvane.exe" "$out/quorvane-x64.exe"
for exe in "$out/quorvane.exe" "$out/quorvane-x64.exe"; do
  cmake -DEXE="$exe" -DOBJDUMP=x86_64-w64-mingw32-objdump -P shell/check-exe.cmake
done
(cd "$out" && sha256sum quorvane.exe quorvane-x64.exe > SHA256SUMS)
cat "$out/SHA256SUMS"
