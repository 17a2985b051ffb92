#!/usr/bin/env bash
# Pictures of the real window for the README, taken by e2e.exe (its group
# pictures) on the desktops of the end-to-end groups: the product on a Chinese
# desktop, also at 150 % display scale and in High Contrast Black with high
# contrast on, and on a code page 1252 desktop with the overflow warning up and
# without the label font's face. Each is cropped to what it shows and stored
# as an indexed PNG.
#
#   bash scripts/screenshots.sh [--x64] [OUT_DIR]     default: the i686 product, docs/
#
# Run it again whenever the look changes. Builds first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
flag=
arch=i686
out=docs
while (($#)); do
  case "$1" in
    --x64) flag=--x64; arch=x86_64; shift ;;
    -*) echo "usage: screenshots.sh [--x64] [OUT_DIR]" >&2; exit 2 ;;
    *) out="$1"; shift ;;
  esac
done
shots="${QV_BUILD_DIR:-build}/e2e-artifacts-$arch"
mkdir -p "$out" "$shots"
rm -f "$shots"/quorvane*.bmp
# tests/e2e/variants/pictures.reg has wine draw the warning's caption bar.
for desktop in pictures cp1252 cp1252_nofontmap dpi144 contrast_black; do
  QV_PICTURES=1 bash scripts/e2e.sh $flag --desktop "$desktop" pictures
done
status=0
for name in quorvane quorvane-cp1252 quorvane-cp1252-warning quorvane-cp1252-nofont quorvane-150 \
            quorvane-contrast; do
  if [ ! -f "$shots/$name.bmp" ]; then
    echo "screenshots: no picture $name was taken" >&2
    status=1
    continue
  fi
  convert "$shots/$name.bmp" -colors 64 -strip "PNG8:$out/$name.png"
  echo "screenshots: $out/$name.png ($(identify -format '%w x %h' "$out/$name.png"))"
done
exit "$status"
