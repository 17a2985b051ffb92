# Sourced, not run: helpers that give a shell a wine prefix with the code
# page 936 and the label font mapped, and an X display.
#
#   source scripts/wine-env.sh
#   qv_prepare_prefix build/wineprefix [ARCH]  # exports WINEPREFIX, QV_LANG,
#                                              # QV_RUNTIME and the runtime's
#                                              # commands
#   qv_wine wine PROGRAM                       # a wine command in that locale
#   qv_runtime ARCH                            # which runtime runs a build
#   qv_start_display [SCREEN]             # exports DISPLAY; Xvfb if none
#                                         # (SCREEN default 1024x768x24)
#
# ARCH (default $QV_ARCH, else x86_64) is the build the prefix runs. The
# runtimes are Debian 13's wine 10, in the private root that
# scripts/wine10-runtime.sh sets up, the host's wine 8 (Debian 12), and
# Debian 12's i386 wine 8 emulated by qemu-user (scripts/i686-runtime.sh).
#
# Wine 10 runs a PE32 file through WoW64 in a 64-bit process, but WoW64
# still executes the program's 32-bit code on the processor, which needs a
# kernel that runs 32-bit code (IA32 emulation). Machines of this kind
# differ, so the runtime follows the kernel (qv_runtime_why says so in
# words):
#   - where it runs 32-bit code, the product under wine 10, natively, with
#     what today's Windows has (per-monitor v2, UI Automation, stretching of
#     unaware windows), and the x86_64 twin under the host's wine 8, the
#     older runtime (the per-monitor v1 and system-wide fallbacks, MSAA);
#   - where it does not, the product under the emulated i386 wine 8, which
#     runs on any kernel, and the twin under wine 10, so that what only wine
#     10 shows is still checked on one of the builds.
# QV_RUNTIME_i686 / QV_RUNTIME_x86_64 (wine10, wine8, qemu) choose by hand.
# Afterwards plain "wine" runs a program of that build.
#
# The locale that gives wine its code page (zh_CN.UTF-8: 936) is handed only
# to the wine commands (QV_LANG, qv_wine), never set in the calling shell: a
# shell started before the locale was generated cannot take it and warns.

QV_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Whether this kernel runs 32-bit x86 code: a 93-byte static i386 ELF that
# only exits 0.
qv_kernel_runs_32bit() {
  if [ -z "${QV_KERNEL_32BIT:-}" ]; then
    local elf
    elf="$(mktemp)" || return 1
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'\
'\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00'\
'\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'\
'\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01'\
'\x00\x00\x00\x31\xdb\xcd\x80' > "$elf"
    chmod +x "$elf"
    if "$elf" 2>/dev/null; then QV_KERNEL_32BIT=yes; else QV_KERNEL_32BIT=no; fi
    rm -f "$elf"
    export QV_KERNEL_32BIT
  fi
  [ "$QV_KERNEL_32BIT" = yes ]
}

# The runtime chosen by hand for a build (QV_RUNTIME_i686, QV_RUNTIME_x86_64),
# empty for none; fails for an unknown build.
qv_runtime_by_hand() {
  case "$1" in
    i686 | x86_64) local var="QV_RUNTIME_$1"; echo "${!var:-}" ;;
    *) echo "wine-env: unknown build '$1' (i686 or x86_64)" >&2; return 2 ;;
  esac
}

# The runtime that runs a build here: wine10, wine8 (the host's) or qemu.
qv_runtime() {
  local chosen
  chosen="$(qv_runtime_by_hand "$1")" || return 2
  if [ -z "$chosen" ]; then
    if qv_kernel_runs_32bit; then
      case "$1" in i686) chosen=wine10 ;; x86_64) chosen=wine8 ;; esac
    else
      case "$1" in i686) chosen=qemu ;; x86_64) chosen=wine10 ;; esac
    fi
  elif [ "$1" = i686 ] && [ "$chosen" = wine10 ] && ! qv_kernel_runs_32bit; then
    echo "wine-env: this kernel runs no 32-bit code, so wine 10 cannot run the i686 build" \
      "(leave QV_RUNTIME_i686 unset for the emulated runtime)" >&2
    return 1
  fi
  echo "$chosen"
}

# Why a build runs under the runtime qv_runtime gives it, in words.
qv_runtime_why() {
  local by_hand
  by_hand="$(qv_runtime_by_hand "$1")" || return 2
  if [ -n "$by_hand" ]; then
    echo "chosen by hand, QV_RUNTIME_$1=$by_hand"
  elif qv_kernel_runs_32bit; then
    case "$1" in
      i686) echo "this kernel runs 32-bit code, so wine 10 runs the PE32 natively through WoW64" ;;
      x86_64) echo "the older runtime beside the product's wine 10: the per-monitor v1 and system-wide fallbacks, MSAA" ;;
    esac
  else
    case "$1" in
      i686) echo "this kernel runs no 32-bit code (a 32-bit program does not start), so only an emulator runs the PE32" ;;
      x86_64) echo "so that what only wine 10 shows (per-monitor v2, UI Automation) is checked on one build" ;;
    esac
  fi
}

# One line a build, each starting "WHO: ": which runtime runs it here, and why.
#   qv_say_runtimes WHO ARCH...
qv_say_runtimes() {
  local who="$1" arch runtime
  shift
  for arch in "$@"; do
    runtime="$(qv_runtime "$arch")" || return 1
    echo "$who: the $arch build runs under $(qv_runtime_words "$runtime"): $(qv_runtime_why "$arch")"
  done
}

# The machine's Debian archive, as its own apt reads its sources (deb822
# files and one-line lists alike): one line "URI SUITE COMPONENT..." for each
# suite of this release (RELEASE, RELEASE-updates, RELEASE-security, ...). The
# runtimes fetch from here; no address is written into the project.
qv_apt_archive() {
  local release
  release="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  [ -n "$release" ] || { echo "wine-env: no VERSION_CODENAME in /etc/os-release" >&2; return 1; }
  # shellcheck disable=SC2016
  apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
      'Target-Of: deb' 'Identifier: Packages' |
    awk -v rel="$release" '$2 == rel || index($2, rel "-") == 1 {
        key = $1 " " $2; if (!(key in comps)) order[n++] = key
        if (index(" " comps[key] " ", " " $3 " ") == 0) comps[key] = comps[key] " " $3 }
      END { for (i = 0; i < n; i++) print order[i] comps[order[i]] }'
}

# What a runtime is, in words, for messages.
qv_runtime_words() {
  case "$1" in
    wine10) echo "wine 10 (Debian 13, in a private root)" ;;
    wine8) echo "the host's wine 8 (Debian 12)" ;;
    qemu) echo "the i386 wine 8 (Debian 12) under qemu-user" ;;
  esac
}

qv_prepare_prefix() {
  local prefix arch="${2:-${QV_ARCH:-x86_64}}" runtime env winearch=win64
  runtime="$(qv_runtime "$arch")" || return 1
  case "$runtime" in
    wine10) env="$(bash "$QV_SCRIPTS/wine10-runtime.sh" --env)" || return 1 ;;
    qemu) env="$(bash "$QV_SCRIPTS/i686-runtime.sh" --env)" || return 1; winearch=win32 ;;
    # The other runtimes' commands leave PATH.
    wine8) env="unset WINELOADER WINESERVER WINELOADERNOEXEC
      PATH=\"\$(printf %s \"\$PATH\" | tr : '\\n' | grep -v '/quorvane/\(wine10\|i686\)/bin\$' | paste -sd:)\"" ;;
    *) echo "wine-env: unknown runtime '$runtime' (wine10, wine8 or qemu)" >&2; return 1 ;;
  esac
  eval "$env"
  prefix="$(mkdir -p "$1" && cd "$1" && pwd)"
  # wine 10 runs 32-bit programs in a 64-bit prefix (WoW64).
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=$winearch QV_ARCH=$arch QV_RUNTIME=$runtime \
    QV_LANG=zh_CN.UTF-8
  if [ "$runtime" = wine10 ]; then
    # What the root's programs see of the host, at the same paths: the
    # checkout and the directory that holds the prefix (the build tree).
    QV_WINE10_BINDS="$(cd "$QV_SCRIPTS/.." && pwd):$(dirname "$prefix")"
    export QV_WINE10_BINDS
  fi
  if [ "$(cat "$WINEPREFIX/.quorvane-ready" 2>/dev/null)" = "$runtime" ]; then
    qv_install_wine_fonts "$WINEPREFIX"
    return
  fi
  # A prefix of another runtime (or half made) is made again; the copies
  # made from the old one see that (qv_copy_is_current).
  if [ -e "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
  fi
  # No network here: keep wineboot from asking to download Mono and Gecko;
  # no desktop here either, so no menu entries.
  WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" DISPLAY= qv_wine wineboot -i >/dev/null 2>&1
  qv_wine wineserver -w
  local reg="$WINEPREFIX/quorvane-fonts.reg"
  # The program's label face has no file of its own here; a CJK face that
  # Debian packages stands in for it. regedit reads a text .reg file in the
  # prefix's ANSI code page unless it is UTF-16 with a byte order mark, so
  # the file is written that way and the key checked where it landed.
  printf '\xff\xfe' > "$reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="AR PL UMing CN"' '"SimSun"="AR PL UMing CN"' | iconv -f UTF-8 -t UTF-16LE >> "$reg"
  DISPLAY= qv_wine wine regedit /S "$reg" >/dev/null 2>&1
  qv_wine wineserver -w
  if ! grep -qF '"\x5b8b\x4f53"="AR PL UMing CN"' "$WINEPREFIX/user.reg"; then
    echo "wine-env: the label font mapping did not reach $WINEPREFIX/user.reg" >&2
    return 1
  fi
  qv_install_wine_fonts "$WINEPREFIX" || return 1
  echo "$runtime" > "$WINEPREFIX/.quorvane-ready"
}

# A wine command (wine, wineboot, wineserver, winepath) in the prefix's
# locale, which only the command is given.
qv_wine() {
  LANG="${QV_LANG:-C.UTF-8}" LC_ALL="${QV_LANG:-C.UTF-8}" "$@"
}

# Wine's own fonts (Debian's fonts-wine: System, Tahoma, Marlett, MS Sans
# Serif) reach a program only from the prefix's Fonts folder, as on Windows;
# wineboot does not put them there. Each prefix takes those of the wine that
# runs it (QV_RUNTIME, as qv_prepare_prefix chose it). A prefix made before
# this gets them the next time it is prepared.
qv_install_wine_fonts() {
  local prefix="$1" from=/usr/share/wine/fonts
  local to="$prefix/drive_c/windows/Fonts"
  [ -f "$to/tahoma.ttf" ] && return 0
  case "$QV_RUNTIME" in
    wine10) from="$QV_WINE10_ROOT/usr/share/wine/fonts-windows" ;;
    qemu) from="$(dirname "$WINELOADER")/../../share/wine/fonts" ;;
  esac
  if [ ! -f "$from/tahoma.ttf" ]; then
    echo "wine-env: no wine fonts in $from (Debian package fonts-wine)" >&2
    return 1
  fi
  mkdir -p "$to"
  cp "$from"/* "$to/"
}

# A copy of a prepared prefix without the label-font mapping: a system that
# has no face of that name, only the CJK fonts installed. A copy saves a
# second wineboot; drive_c (hundreds of MB of DLLs that nothing here writes)
# is hard-linked, the registry files wine rewrites are real copies. The
# source prefix's wine session must have ended.
qv_copy_prefix_without_font_mapping() {
  local from="$1" to="$2"
  qv_copy_is_current "$from" "$to" && return 0
  qv_copy_prefix "$from" "$to"
  sed -i '/^\[Software\\\\Wine\\\\Fonts\\\\Replacements\]/,/^$/d' "$to/user.reg"
  if grep -q 'Fonts\\\\Replacements' "$to/user.reg"; then
    echo "wine-env: could not remove the font mapping from $to/user.reg" >&2
    return 1
  fi
}

# A copy of a prepared prefix whose System font (the fields' font) is wider
# than Windows' own at 96 DPI, as where Windows scales it for a larger
# display: wine takes the face named here for "System" on a code page 1252
# desktop. Made like the copy above.
qv_copy_prefix_with_system_font() {
  local from="$1" to="$2" face="$3"
  qv_copy_is_current "$from" "$to" && return 0
  qv_copy_prefix "$from" "$to"
  # Wine takes a replacement only for a face it does not have: wine's own
  # System fonts leave this prefix (hard links: the source keeps them).
  rm -f "$to/drive_c/windows/Fonts/"*sys*.fon "$to/drive_c/windows/Fonts/system.ttf"
  WINEPREFIX="$to" qv_wine wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v System /d "$face" /f \
    >/dev/null 2>&1
  WINEPREFIX="$to" qv_wine wineserver -w
  if ! grep -qF "\"System\"=\"$face\"" "$to/user.reg"; then
    echo "wine-env: the System font mapping did not reach $to/user.reg" >&2
    return 1
  fi
}

# Whether a copy made earlier still stands for its source: its ready mark is
# the source's own file (a hard link), which a source made again replaces.
qv_copy_is_current() {
  [ "$2/.quorvane-ready" -ef "$1/.quorvane-ready" ] && [ -f "$2/drive_c/windows/Fonts/tahoma.ttf" ]
}

# The copying behind every copy of a prepared prefix: drive_c hard-linked, the
# registry files real copies.
qv_copy_prefix() {
  local from="$1" to="$2" hive
  rm -rf "$to"
  mkdir -p "$(dirname "$to")" || return 1
  cp -al "$from" "$to" || return 1
  for hive in system.reg user.reg userdef.reg; do
    rm -f "$to/$hive"
    cp -p "$from/$hive" "$to/$hive" || return 1
  done
}

# A copy of a prepared prefix whose display scale is DPI (LogPixels; 144 is
# 150 %). With "unaware", programs there are left unaware of the scale unless
# they ask (DpiScalingVer, as on Windows), where wine would otherwise make
# every program per-monitor aware. The source prefix's wine session must have
# ended.
qv_copy_prefix_with_dpi() {
  local from="$1" to="$2" dpi="$3" unaware="${4:-}" values
  qv_copy_is_current "$from" "$to" && return 0
  qv_copy_prefix "$from" "$to"
  values="$(printf '"LogPixels"=dword:%08x' "$dpi")"
  if [ "$unaware" = unaware ]; then
    values="$values\n\"DpiScalingVer\"=dword:00001018"
  fi
  # After the key's line and its time stamp.
  awk -v values="$values" '{ print }
    /^\[Control Panel\\\\Desktop\] / { getline; print; print values }' \
    "$from/user.reg" > "$to/user.reg"
  if ! grep -qF "$(printf '"LogPixels"=dword:%08x' "$dpi")" "$to/user.reg"; then
    echo "wine-env: could not set the display scale in $to/user.reg" >&2
    return 1
  fi
}

# A copy of a prepared prefix with other system colours, as a colour theme
# sets them; a program reads them when it starts. Each argument after the two
# prefixes is NAME=R G B, a value of HKCU\Control Panel\Colors ("Window=0 0 0").
# Made like the copies above; a copy holding other colours is made again.
qv_copy_prefix_with_colours() {
  local from="$1" to="$2" pair values=""
  shift 2
  qv_copy_is_current "$from" "$to" && qv_prefix_has_colours "$to" "$@" && return 0
  qv_copy_prefix "$from" "$to"
  for pair in "$@"; do
    values="$values\"${pair%%=*}\"=\"${pair#*=}\"\n"
  done
  # In the key's section, after its time stamp, in place of the values of
  # the same names.
  awk -v values="$values" '
    /^\[/ { inside = ($0 ~ /^\[Control Panel\\\\Colors\] /) }
    inside && /^"/ { name = $0; sub(/=.*/, "=", name); if (index(values, name)) next }
    { print }
    inside && /^#time=/ { printf "%s", values }' "$from/user.reg" > "$to/user.reg"
  if ! qv_prefix_has_colours "$to" "$@"; then
    echo "wine-env: could not set the colours in $to/user.reg" >&2
    return 1
  fi
}

# Whether a prefix's user.reg holds each NAME=R G B given.
qv_prefix_has_colours() {
  local prefix="$1" pair
  shift
  for pair in "$@"; do
    grep -qxF "\"${pair%%=*}\"=\"${pair#*=}\"" "$prefix/user.reg" 2>/dev/null || return 1
  done
}

# The name of a build's prefix inside a build tree: each build has its own,
# since a 32-bit program needs a win32 prefix. Fails for an unknown build.
qv_prefix_name() {
  case "$1" in
    x86_64) echo wineprefix ;;
    i686) echo wineprefix-i686 ;;
    *) echo "wine-env: the build is i686 or x86_64, not '$1'" >&2; return 2 ;;
  esac
}

# The environment the end-to-end harness reads (tests/e2e/harness.py), for
# scripts/e2e.sh and the README's pictures. Builds first if the program or
# the probe is missing.
#   qv_harness_env ARCH ARTIFACTS_NAME      (run from the checkout's top)
qv_harness_env() {
  local arch="$1" prefix dir abs
  prefix="$(qv_prefix_name "$arch")" || return 2
  dir="${QV_BUILD_DIR:-build}"
  if [ ! -x "$dir/win-$arch/shell/quorvane.exe" ] || [ ! -x "$dir/win-$arch/tests/win/qv_probe.exe" ]; then
    QV_BUILD_DIR="$dir" bash scripts/build.sh >/dev/null
  fi
  abs="$(cd "$dir" && pwd)"
  export QV_ARCH="$arch"
  export QV_EXE="$abs/win-$arch/shell/quorvane.exe"
  export QV_PROBE="$abs/win-$arch/tests/win/qv_probe.exe"
  export QV_PREFIX="$abs/$prefix"
  export QV_ARTIFACTS="$abs/$2"
}

# The project's one Xvfb launcher; the end-to-end harness starts its displays
# through it too.
qv_start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  # -displayfd lets the server pick a free display number itself, so two
  # runs starting side by side never share a display. A key held across a
  # few test steps must not repeat (-ardelay).
  local numfile n i
  numfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp -ardelay 5000 \
    3>"$numfile" >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  for i in $(seq 1 100); do
    n="$(tr -dc 0-9 < "$numfile")"
    if [ -n "$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
      rm -f "$numfile"
      export DISPLAY=":$n"
      return 0
    fi
    sleep 0.1
  done
  rm -f "$numfile"
  echo "wine-env: Xvfb did not come up" >&2
  return 1
}

qv_stop_display() {
  if [ -n "${QV_XVFB_PID:-}" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
    unset QV_XVFB_PID
  fi
}
