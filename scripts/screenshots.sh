#!/usr/bin/env bash
# Pictures of the real window for the README (tools/screenshots.py): the
# product on a Chinese desktop, also at 150 % display scale, and on a code
# page 1252 desktop with the overflow warning up and without the label font's
# face.
#
#   bash scripts/screenshots.sh [--x64] [OUT_DIR]     default: the i686 product, docs/
#
# Run it again whenever the look changes. Builds first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=i686
out=docs
while (($#)); do
  case "$1" in
    --x64) arch=x86_64; shift ;;
    -*) echo "usage: screenshots.sh [--x64] [OUT_DIR]" >&2; exit 2 ;;
    *) out="$1"; shift ;;
  esac
done
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
qv_harness_env "$arch" screenshot-artifacts
exec python3 tools/screenshots.py "$out"
