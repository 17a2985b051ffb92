# Sourced, not run: helpers that give a shell a wine prefix with the code
# page 936 and the label font mapped, and an X display.
#
#   source scripts/wine-env.sh
#   qv_prepare_prefix build/wineprefix   # exports WINEPREFIX and the locale
#   qv_start_display                      # exports DISPLAY; Xvfb if none

qv_prepare_prefix() {
  local prefix
  prefix="$(mkdir -p "$1" && cd "$1" && pwd)"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  if [ -f "$WINEPREFIX/.quorvane-ready" ]; then
    return 0
  fi
  # No network here: keep wineboot from asking to download Mono and Gecko.
  WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= wineboot -i >/dev/null 2>&1
  local reg="$WINEPREFIX/quorvane-fonts.reg"
  # The program's label face has no file of its own here; a CJK face that
  # Debian packages stands in for it.
  printf '%s\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="AR PL UMing CN"' '"SimSun"="AR PL UMing CN"' > "$reg"
  DISPLAY= wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.quorvane-ready"
}

qv_start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "wine-env: Xvfb on $DISPLAY did not come up" >&2
  return 1
}

qv_stop_display() {
  if [ -n "${QV_XVFB_PID:-}" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
    unset QV_XVFB_PID
  fi
}
