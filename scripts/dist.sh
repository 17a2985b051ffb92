#!/usr/bin/env bash
# Writes the release files into dist/ (or $QV_DIST_DIR):
#   quorvane.exe       the product, 32-bit (PE32), for every Windows
#   quorvane-x64.exe   the same program as PE32+, for 64-bit Windows without
#                      32-bit support (Server Core without WoW64, for example)
#   SHA256SUMS
# Installs what building them needs (on Debian, as root), then builds only
# the two programs; the build itself fails when an executable's headers are
# wrong (shell/check-exe.cmake), and this script checks them again on the
# copies.
#
#   bash scripts/dist.sh [--check]
#
# --check builds both executables a second time, from scratch, in a new
# directory elsewhere, and fails unless their SHA-256 equal SHA256SUMS: the
# build leaves no path, time or other trace of where and when it ran, so
# anyone can check a download against a build of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
check=
case "${1:-}" in
  "") ;;
  --check) check=yes ;;
  *) echo "usage: dist.sh [--check]" >&2; exit 2 ;;
esac
dir="${QV_BUILD_DIR:-build}"
out="${QV_DIST_DIR:-dist}"
bash scripts/install-deps.sh --dist

# Both programs into DIR/win-i686 and DIR/win-x86_64, and copied under their
# release names into DIR.
build_release() {
  local arch
  for arch in i686 x86_64; do
    QV_BUILD_DIR="$1" bash scripts/build.sh --program "$arch"
  done
  cp "$1/win-i686/shell/quorvane.exe" "$1/quorvane.exe"
  cp "$1/win-x86_64/shell/quorvane.exe" "$1/quorvane-x64.exe"
}

build_release "$dir"
rm -rf "$out"
mkdir -p "$out"
cp "$dir/quorvane.exe" "$dir/quorvane-x64.exe" "$out/"
for exe in "$out/quorvane.exe" "$out/quorvane-x64.exe"; do
  cmake -DEXE="$exe" -DOBJDUMP=x86_64-w64-mingw32-objdump -P shell/check-exe.cmake
done
(cd "$out" && sha256sum quorvane.exe quorvane-x64.exe > SHA256SUMS)
cat "$out/SHA256SUMS"

if [ -n "$check" ]; then
  sums="$(cd "$out" && pwd)/SHA256SUMS"
  again="$(mktemp -d "${TMPDIR:-/tmp}/quorvane-second-build.XXXXXX")"
  trap 'rm -rf "$again"' EXIT
  build_release "$again"
  if ! (cd "$again" && sha256sum --check --strict "$sums"); then
    echo "dist: a second build in $again gives other bytes than $out" >&2
    exit 1
  fi
  echo "dist: a second build from scratch in another directory gives the same bytes"
fi
