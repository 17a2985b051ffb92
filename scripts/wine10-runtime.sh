#!/usr/bin/env bash
# Debian 13's wine 10 in a private root under the cache folder: what today's
# Windows has and wine 8 lacks (per-monitor v2 awareness, stretching of
# unaware windows, UI Automation). Its 64-bit wine runs the x86_64 build, and
# a PE32 file through WoW64 in a 64-bit process, with no 32-bit Linux library
# and no emulator, where the kernel runs 32-bit code. Nothing
# is installed into the system but debootstrap (scripts/install-deps.sh); the
# root has its own dpkg and apt, and its programs run through a private mount
# namespace and chroot, so its wine, wineserver, fonts and locales never mix
# with the host's.
#
#   bash scripts/wine10-runtime.sh         # prepares (once), prints the directory
#   bash scripts/wine10-runtime.sh --env   # prepares (once), prints shell exports
#
# The cache is $QV_WINE10_CACHE, by default ~/.cache/quorvane/wine10. A second
# run finds it ready and only prints. scripts/wine-env.sh uses the exports:
# "wine", "wineserver", "wineboot" and "winepath" on PATH then run inside the
# root, with the directories named in $QV_WINE10_BINDS (colon-separated) and
# $WINEPREFIX bound into it at the same paths, and the X sockets.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"

cache="${QV_WINE10_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/wine10}"
mode="${1:-}"
# Bumped when what the root holds or how it is made changes, so an old root
# is made again rather than half used.
layout=2
release=trixie

die() {
  echo "wine10-runtime: $*" >&2
  exit 1
}
# Progress goes to stderr, so that --env's output stays only exports.
say() {
  echo "wine10-runtime: ${started:+$((SECONDS - started)) s: }$*" >&2
}

print_result() {
  if [ "$mode" = "--env" ]; then
    printf 'export PATH=%q:"$PATH"\n' "$cache/bin"
    printf 'export QV_WINE10_ROOT=%q\n' "$cache/root"
    # The host's wine 8 reads these; the root's wine must not.
    printf 'unset WINELOADER WINESERVER WINELOADERNOEXEC\n'
  else
    echo "$cache"
  fi
}

# --- the commands the host runs ------------------------------------------------
# Standard input as the executable file bin/NAME, replaced (by a rename, so
# that a command running side by side never reads half of it) only where it
# differs.
write_command() {
  local tmp
  tmp="$(mktemp "$cache/bin/.new.XXXXXX")"
  cat > "$tmp"
  chmod +x "$tmp"
  if cmp -s "$tmp" "$cache/bin/$1"; then rm -f "$tmp"; else mv -f "$tmp" "$cache/bin/$1"; fi
}
# qv-wine10 CMD ARGS runs CMD inside the root (QV_WINE10_ROOT_DIR, by default
# the cache's) with the caller's environment, its PATH replaced by the
# root's, the X sockets, and the project's directories bound at their own
# paths, so that the same paths name the same files inside and out. /proc,
# /dev and /sys are mounted in a mount namespace of its own, so every mount
# vanishes with the command; none may reach the system's namespace, so they
# are private, or where / is no mount point of its own (inside a chroot), made
# under a private bind mount of the root. The process keeps its id through
# every exec, so that a caller can wait for it, signal it and read its exit
# code. Written on every run (where it differs), so that a root made by an
# older version of this script gets the current commands.
write_commands() {
  local cmd
  mkdir -p "$cache/bin"
  write_command qv-wine10 <<'EOF'
#!/bin/sh
# Written by scripts/wine10-runtime.sh: runs a command in the wine 10 root.
r="${QV_WINE10_ROOT_DIR:-$(cd "$(dirname "$0")/../root" && pwd)}" || exit 125
exec unshare -m --propagation unchanged sh -c '
  r="$1"; shift
  mount --make-rprivate / 2>/dev/null || { mount --bind "$r" "$r" && mount --make-rprivate "$r"; } || exit 125
  mount -t proc proc "$r/proc" && mount --rbind /dev "$r/dev" && mount --bind /sys "$r/sys" || exit 125
  # The X sockets, where an X server has run on this machine.
  if [ -d /tmp/.X11-unix ]; then
    mkdir -p "$r/tmp/.X11-unix" && mount --bind /tmp/.X11-unix "$r/tmp/.X11-unix" || exit 125
  fi
  old_ifs="$IFS"; IFS=:
  for d in $QV_WINE10_BINDS ${WINEPREFIX:+"$(dirname "$WINEPREFIX")"}; do
    case "$d" in /*) ;; *) continue ;; esac
    case "$d" in /|/proc|/proc/*|/dev|/dev/*|/sys|/sys/*|/tmp/.X11-unix*) continue ;; esac
    [ -d "$d" ] || continue
    mkdir -p "$r$d" && mount --bind "$d" "$r$d" || exit 125
  done
  IFS="$old_ifs"
  exec chroot "$r" /bin/sh -c "cd \"\$0\" 2>/dev/null || cd /; PATH=/usr/sbin:/usr/bin:/sbin:/bin exec \"\$@\"" "$PWD" "$@"
' sh "$r" "$@"
EOF
  for cmd in wine wineserver wineboot winepath; do
    printf '#!/bin/sh\nexec %q %s "$@"\n' "$cache/bin/qv-wine10" "$cmd" | write_command "$cmd"
  done
}

ready() {
  [ "$(cat "$cache/ready" 2>/dev/null)" = "$layout" ]
}
write_commands
if ready; then
  print_result
  exit 0
fi

[ "$(id -u)" -eq 0 ] || die "needs root: it runs debootstrap, and chroot for every wine process"
for tool in debootstrap unshare chroot mount; do
  command -v "$tool" >/dev/null || die "$tool is missing; scripts/install-deps.sh installs it"
done

mkdir -p "$cache"
# One set-up at a time: the run and test commands may start it side by side.
exec 9>"$cache/lock"
flock 9
if ready; then
  print_result
  exit 0
fi
started=$SECONDS

# --- the mirror, as this machine's apt reaches it ------------------------------
# The new release's suites are at the same address as this one's.
mirror="$(qv_apt_archive | awk 'index($2, "-") == 0 { print $1; exit }')"
[ -n "$mirror" ] || die "no Debian archive in the machine's apt sources to take the mirror from"

# --- the root --------------------------------------------------------------------
new="$cache/root.new"
log="$cache/setup.log"
: > "$log"
# The set-up's commands run in the new root through the same wrapper as wine
# later does, with a clean environment.
in_root() {
  local r="$1"
  shift
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive QV_WINE10_ROOT_DIR="$r" "$cache/bin/qv-wine10" "$@"
}
step() {
  local what="$1"
  shift
  if ! "$@" >>"$log" 2>&1; then
    die "$what failed:
$(grep -E '^(E|W):|rror' "$log" | tail -n 3)
(full log: $log)"
  fi
}

rm -rf "$new"
say "making a $release root with debootstrap from $mirror (about 350 MB on the first run)"
step "debootstrap $release" debootstrap --variant=minbase "$release" "$new" "$mirror"
# No documentation, manual pages or info files: nothing here reads them.
cat > "$new/etc/dpkg/dpkg.cfg.d/quorvane" <<'EOF'
force-unsafe-io
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
EOF
# The machine's own apt settings for fetching (proxies and the like).
for f in /etc/apt/apt.conf.d/*; do
  [ -f "$f" ] && grep -q 'Acquire::' "$f" && cp "$f" "$new/etc/apt/apt.conf.d/"
done
# Wine's 32-bit Windows DLLs come from the i386 package of the same build.
step "adding the i386 package lists" in_root "$new" dpkg --add-architecture i386
say "reading the $release package lists in the root"
step "apt-get update in the root" in_root "$new" apt-get -q update
# wine64 and wine: the 64-bit wine and its commands. fonts-wine: the fonts
# Windows has (System, Tahoma, Marlett, MS Sans Serif). fonts-arphic-uming:
# the CJK face the prefixes map the label font to. fonts-dejavu-core: the face
# a test gives the System font. locales: zh_CN.UTF-8, for code page 936.
say "installing wine 10 and its fonts into the root"
step "installing wine into the root" in_root "$new" apt-get -q install -y --no-install-recommends \
  wine wine64 fonts-wine fonts-arphic-uming fonts-dejavu-core locales \
  libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
say "adding wine's 32-bit Windows DLLs (libwine:i386)"
step "downloading libwine:i386" in_root "$new" sh -c 'cd /tmp && apt-get -q download libwine:i386'
step "unpacking libwine:i386" in_root "$new" sh -c \
  'mkdir /tmp/libwine-i386 && dpkg-deb -x /tmp/libwine_*_i386.deb /tmp/libwine-i386'
from="$new/tmp/libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows"
to="$new/usr/lib/x86_64-linux-gnu/wine/i386-windows"
[ -f "$from/kernel32.dll" ] || die "libwine:i386 has no i386-windows/kernel32.dll"
mkdir -p "$to"
cp -a "$from/." "$to/"
rm -rf "$new/tmp/libwine-i386" "$new/tmp/"libwine_*.deb
say "generating the zh_CN.UTF-8 locale in the root"
sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' "$new/etc/locale.gen"
grep -q '^zh_CN.UTF-8 UTF-8' "$new/etc/locale.gen" || echo 'zh_CN.UTF-8 UTF-8' >> "$new/etc/locale.gen"
step "generating zh_CN.UTF-8 in the root" in_root "$new" locale-gen
step "apt-get clean" in_root "$new" apt-get clean
[ -x "$new/usr/lib/wine/wine64" ] || die "the root has no /usr/lib/wine/wine64"
[ -f "$new/usr/share/wine/fonts/tahoma.ttf" ] || die "the root has no wine fonts (fonts-wine)"
# Wine 10 would also take its own fonts from here, beside a prefix's Fonts
# folder. Moved aside, they reach a program only from the prefix, as on
# Windows and as under wine 8 (scripts/wine-env.sh copies them there), so
# that a prefix can leave one out and have another face stand in for it.
mv "$new/usr/share/wine/fonts" "$new/usr/share/wine/fonts-windows"

rm -rf "$cache/root"
mv "$new" "$cache/root"
version="$(env -u WINEPREFIX QV_WINE10_BINDS= WINEDEBUG=-all "$cache/bin/wine" --version 2>&1)" \
  || die "wine in the root does not start: $version"
echo "$layout" > "$cache/ready"
say "ready: $cache, $version ($(du -sh "$cache" | cut -f1))"
print_result
