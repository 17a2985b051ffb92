#!/usr/bin/env bash
# Pictures of the real window for the README (tools/screenshots.py): the
# product on a Chinese desktop, also at 150 % display scale and in a high
# contrast theme, and on a code page 1252 desktop with the overflow warning up
# and without the label font's face.
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
# A prefix of the pictures' own, where wine draws the warning box's caption
# bar (its title and close glyph) itself, as Windows would: no window manager
# runs on the virtual display to draw it. The tests' prefix stays undecorated;
# this one is a copy of it (scripts/wine-env.sh), made once.
base="$QV_PREFIX"
export QV_PREFIX="$QV_PREFIX-screenshots"
(
  # The end-to-end sessions copy the same prefix side by side: one at a time.
  flock 9
  qv_prepare_prefix "$base" "$arch"
  qv_copy_is_current "$base" "$QV_PREFIX" && exit 0
  qv_copy_prefix "$base" "$QV_PREFIX"
  export WINEPREFIX="$QV_PREFIX"
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  # Wine draws captions in a bold face that finds no CJK glyphs on a code
  # page 1252 desktop, so the warning's caption would show as boxes where
  # Windows falls back to a font that has them. The caption takes the message
  # font (the box's own text, which wine draws right) instead: Windows 10 and
  # later draw captions in the regular weight too.
  wineserver -w
  message_font="$(python3 -c 'import re, sys
reg = open(sys.argv[1], encoding="utf-8", errors="replace").read()
value = re.search(r"\"MessageFont\"=hex:([0-9a-f,\\\s]+)", reg).group(1)
print(re.sub(r"[^0-9a-f]", "", value))' "$QV_PREFIX/user.reg")" || exit 1
  wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v CaptionFont /t REG_BINARY \
    /d "$message_font" /f >/dev/null 2>&1
  wineserver -w
) 9>"$base.lock"
if ! grep -qF '"Decorated"="N"' "$QV_PREFIX/user.reg"; then
  echo "screenshots: Decorated=N did not reach $QV_PREFIX/user.reg" >&2
  exit 1
fi
exec python3 tools/screenshots.py "$out"
