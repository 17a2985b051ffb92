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
# ARCH (default $QV_ARCH, else x86_64) is the build the prefix runs, under
# Debian 13's wine 10 in a private root (scripts/wine10-runtime.sh), the
# host's wine 8, or Debian 12's i386 wine 8 under qemu-user
# (scripts/i686-runtime.sh). Afterwards plain "wine" runs a program of it.
#
# The locale that gives wine its code page (zh_CN.UTF-8: 936) is handed only
# to the wine commands (QV_LANG, qv_wine), never set in the calling shell: a
# shell started before the locale was generated cannot take it and warns.
#
# Each wine command that makes a prefix has QV_PREFIX_LIMIT seconds (default
# 300) to end; one that hangs is named, its wine session ended, and the
# prefix made once more in a new one. A second hang fails.

QV_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Whether this kernel runs 32-bit x86 code: a 93-byte static i386 ELF that
# only exits 0. QV_KERNEL_32BIT (yes or no) fakes the answer.
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

# Which runtime runs which build, and why. Wine 10 runs a PE32 file through
# WoW64 in a 64-bit process, but the program's 32-bit code still runs on the
# processor, which needs a kernel that runs 32-bit code; machines of this
# kind differ. The product gets wine 10 where it can, the emulated wine 8
# elsewhere; its x86_64 twin gets the other of the two wines.
# Columns: does the kernel run 32-bit code, build, runtime, why.
QV_RUNTIME_TABLE='
yes i686   wine10 this kernel runs 32-bit code, so wine 10 runs the PE32 natively through WoW64
yes x86_64 wine8  the older runtime beside the product'"'"'s wine 10: the per-monitor v1 and system-wide fallbacks, MSAA
no  i686   qemu   this kernel runs no 32-bit code (a 32-bit program does not start), so only an emulator runs the PE32
no  x86_64 wine10 so that what only wine 10 shows (per-monitor v2, UI Automation) is checked on one build
'

# "RUNTIME WHY" for a build: its row of the table, or the runtime chosen by
# hand (QV_RUNTIME_i686, QV_RUNTIME_x86_64: wine10, wine8 or qemu).
qv_runtime_row() {
  local kernel=no var="QV_RUNTIME_$1"
  case "$1" in
    i686 | x86_64) ;;
    *) echo "wine-env: unknown build '$1' (i686 or x86_64)" >&2; return 2 ;;
  esac
  qv_kernel_runs_32bit && kernel=yes
  if [ -z "${!var:-}" ]; then
    awk -v k="$kernel" -v a="$1" '$1 == k && $2 == a { print substr($0, index($0, $3)) }' \
      <<< "$QV_RUNTIME_TABLE"
  elif [ "$1 ${!var} $kernel" = "i686 wine10 no" ]; then
    echo "wine-env: this kernel runs no 32-bit code, so wine 10 cannot run the i686 build" \
      "(leave QV_RUNTIME_i686 unset for the emulated runtime)" >&2
    return 1
  else
    echo "${!var} chosen by hand, $var=${!var}"
  fi
}

# The runtime that runs a build here: wine10, wine8 (the host's) or qemu.
qv_runtime() {
  local row
  row="$(qv_runtime_row "$1")" || return
  echo "${row%% *}"
}

# Why a build runs under the runtime qv_runtime gives it, in words.
qv_runtime_why() {
  local row runtime why
  row="$(qv_runtime_row "$1")" || return
  read -r runtime why <<< "$row"
  echo "$why"
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

# What a runtime is, in words, for messages.
qv_runtime_words() {
  case "$1" in
    wine10) echo "wine 10 (Debian 13, in a private root)" ;;
    wine8) echo "the host's wine 8 (Debian 12)" ;;
    qemu) echo "the i386 wine 8 (Debian 12) under qemu-user" ;;
  esac
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

# apt-get update (apt-get's options as arguments), every download retried. An
# index that still fails is left out with a line naming it, and the update
# goes on: the other indexes stay usable, and a package that only the failed
# one holds makes the install after it stop with apt's own message.
qv_apt_update() {
  local out
  out="$(apt-get -q -o Acquire::Retries=3 "$@" update 2>&1)" && return 0
  printf '%s\n' "$out" | sed -n '/^E: Some index files failed/d
    s/^E: Failed to fetch \([^ ]*\)  */apt: skipping the index \1: /p; t
    s/^E: /apt: skipping, apt-get update said: /p' >&2
}

# The one way a runtime's Debian tree is made: mmdebstrap of RELEASE into
# ROOT from the machine's mirror (its suites renamed for RELEASE, and
# RELEASE-backports if asked) and apt settings for fetching, every download
# retried, the lists read by qv_apt_update; what then does not resolve stops
# it with apt's message. Output in LOG.
#   qv_debian_tree LOG ROOT RELEASE [--backports] MMDEBSTRAP-OPTION...
qv_debian_tree() {
  local log="$1" root="$2" release="$3" backports="" f sources opts=()
  shift 3
  [ "${1:-}" = --backports ] && { backports=yes; shift; }
  mapfile -t sources < <(qv_apt_archive | awk -v host="$(. /etc/os-release && echo "$VERSION_CODENAME")" \
      -v rel="$release" -v bp="$backports" '{ suite = $2; sub("^" host, rel, suite)
        comps = $3; for (i = 4; i <= NF; i++) comps = comps " " $i
        print "deb " $1 " " suite " " comps
        if (suite == rel && bp) print "deb " $1 " " rel "-backports " comps }')
  if [ "${#sources[@]}" = 0 ]; then
    echo "no Debian archive in the machine's apt sources to take the mirror from" >&2
    return 1
  fi
  for f in /etc/apt/apt.conf /etc/apt/apt.conf.d/*; do
    [ -f "$f" ] && grep -q 'Acquire::' "$f" && opts+=(--aptopt="$f")
  done
  if ! mmdebstrap --skip=update --aptopt='Acquire::Retries "3"' "${opts[@]}" \
      --setup-hook="APT_CONFIG=\"\$MMDEBSTRAP_APT_CONFIG\" bash -c 'source \"\$0\" && qv_apt_update' $(printf %q "$QV_SCRIPTS/wine-env.sh")" \
      "$@" "$release" "$root" "${sources[@]}" >"$log" 2>&1; then
    grep '^apt: skipping' "$log" >&2
    echo "mmdebstrap failed:" >&2
    grep '^E:' "$log" | grep -v 'mmdebstrap failed\|apt download failed' | tail -n 4 >&2
    echo "(full log: $log)" >&2
    return 1
  fi
  grep '^apt: skipping' "$log" >&2 || true
}

# For the runtime scripts: whether CACHE holds a runtime of layout LAYOUT,
# once a set-up already running there (run and test side by side) has ended;
# the lock is held until the script ends.  qv_runtime_cache_ready CACHE LAYOUT
qv_runtime_cache_ready() {
  mkdir -p "$(dirname "$1")" && exec 9>"$1.lock" && flock 9 && [ "$(cat "$1/ready" 2>/dev/null)" = "$2" ]
}

qv_prepare_prefix() {
  local prefix arch="${2:-${QV_ARCH:-x86_64}}" runtime env winearch=win64
  runtime="$(qv_runtime "$arch")" || return 1
  case "$runtime" in
    wine10) env="$(bash "$QV_SCRIPTS/wine10-runtime.sh" --env)" || return 1 ;;
    qemu) env="$(bash "$QV_SCRIPTS/i686-runtime.sh" --env)" || return 1; winearch=win32 ;;
    wine8) env="unset WINELOADER WINESERVER WINELOADERNOEXEC" ;;
    *) echo "wine-env: unknown runtime '$runtime' (wine10, wine8 or qemu)" >&2; return 1 ;;
  esac
  # The commands of the runtime prepared before leave PATH.
  if [ -n "${QV_RUNTIME_BIN:-}" ]; then
    PATH="$(printf %s "$PATH" | tr : '\n' | grep -vxF "$QV_RUNTIME_BIN" | paste -sd:)"
    unset QV_RUNTIME_BIN
  fi
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
  # Once here, under load, the emulated runtime's wineboot, services and
  # regedit all sat idle on pipes, and nothing ended them.
  local try status
  for try in first second; do
    qv_make_prefix && return
    status=$?
    [ "$status" = 124 ] || return "$status"
    qv_wine timeout -k 10 60 wineserver -k >/dev/null 2>&1
    qv_wine timeout -k 10 60 wineserver -w >/dev/null 2>&1
    if [ "$try" = first ]; then
      echo "wine-env: that wine session ended; making the prefix once more in a new one" >&2
    fi
  done
  echo "wine-env: the new session hung too; the prefix is not made" >&2
  return 124
}

# One wine command of a prefix's set-up, given QV_PREFIX_LIMIT seconds to end:
# 124 when it did not, with a line that names it, else 0. Its own status is
# not looked at: what the set-up must leave is checked where it lands.
#   qv_prefix_step COMMAND...
qv_prefix_step() {
  local limit="${QV_PREFIX_LIMIT:-300}" status=0
  # --foreground: the programs it started stay, to be named, until the
  # session is ended.
  qv_wine timeout --foreground -k 10 "$limit" "$@" >/dev/null 2>&1 || status=$?
  if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "wine-env: '$*' hung while making $WINEPREFIX: it had not ended after $limit s;" \
      "still running in its session: $(qv_session_programs)" >&2
    return 124
  fi
}

# The programs of WINEPREFIX's wine session, by name, for messages.
qv_session_programs() {
  local env arg0 names=()
  for env in /proc/[0-9]*/environ; do
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$env" 2>/dev/null || continue
    IFS= read -r -d '' arg0 < "${env%environ}cmdline" || [ -n "$arg0" ] || continue
    arg0="${arg0##*/}"
    names+=("${arg0##*\\}")
  done
  echo "${names[*]:-nothing}"
}

# The prefix itself, for qv_prepare_prefix (WINEPREFIX and the runtime set).
qv_make_prefix() {
  # A prefix of another runtime (or half made) is made again.
  if [ -e "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
  fi
  # No network here: keep wineboot from asking to download Mono and Gecko;
  # no desktop here either, so no menu entries. Its wineserver -w waits for
  # the services wineboot started.
  WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" DISPLAY= qv_prefix_step wineboot -i || return
  qv_prefix_step wineserver -w || return
  local reg="$WINEPREFIX/quorvane-fonts.reg"
  # The program's label face has no file of its own here; a CJK face that
  # Debian packages stands in for it. regedit reads a text .reg file in the
  # prefix's ANSI code page unless it is UTF-16 with a byte order mark, so
  # the file is written that way and the key checked where it landed.
  printf '\xff\xfe' > "$reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="AR PL UMing CN"' '"SimSun"="AR PL UMing CN"' | iconv -f UTF-8 -t UTF-16LE >> "$reg"
  DISPLAY= qv_prefix_step wine regedit /S "$reg" || return
  qv_prefix_step wineserver -w || return
  if ! grep -qF '"\x5b8b\x4f53"="AR PL UMing CN"' "$WINEPREFIX/user.reg"; then
    echo "wine-env: the label font mapping did not reach $WINEPREFIX/user.reg" >&2
    return 1
  fi
  qv_install_wine_fonts "$WINEPREFIX" || return 1
  echo "$QV_RUNTIME" > "$WINEPREFIX/.quorvane-ready"
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

# A copy of a prepared prefix, made afresh for each end-to-end group
# (scripts/e2e.sh), so that nothing one group leaves behind reaches another
# and groups run side by side: drive_c (hundreds of MB that nothing here
# writes) hard-linked, the registry files that wine rewrites real copies.
# Wine replaces its prefix files by rename, never in place.
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

# The name of a build's prefix inside a build tree: each build has its own,
# since a 32-bit program needs a win32 prefix. Fails for an unknown build.
qv_prefix_name() {
  case "$1" in
    x86_64) echo wineprefix ;;
    i686) echo wineprefix-i686 ;;
    *) echo "wine-env: the build is i686 or x86_64, not '$1'" >&2; return 2 ;;
  esac
}

# The project's one Xvfb launcher; scripts/e2e.sh starts its displays through
# it too.
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
