#!/usr/bin/env bash
# Debian 13's wine 10 in a private root made by mmdebstrap: what today's
# Windows has and wine 8 lacks (per-monitor v2 awareness, stretching of
# unaware windows, UI Automation). It runs the x86_64 build, and a PE32 file
# through WoW64 where the kernel runs 32-bit code. Its programs run through a
# private mount namespace and chroot: its wine, wineserver, fonts and locales
# never mix with the host's.
#
#   bash scripts/wine10-runtime.sh         # prepares (once), prints the directory
#   bash scripts/wine10-runtime.sh --env   # prepares (once), prints shell exports
#
# The cache is $QV_WINE10_CACHE, by default ~/.cache/quorvane/wine10; a cache
# of another layout is made again. With the exports, "wine", "wineserver",
# "wineboot" and "winepath" on PATH run inside the root, with the directories
# named in $QV_WINE10_BINDS (colon-separated) and $WINEPREFIX's parent bound
# into it at the same paths, and the X sockets.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"

cache="${QV_WINE10_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/wine10}"
root="$cache/root"
# Changed whenever what the root holds or how it is made changes.
layout=3

die() {
  echo "wine10-runtime: $*" >&2
  exit 1
}

print_result() {
  if [ "${1:-}" = "--env" ]; then
    printf 'export QV_RUNTIME_BIN=%q PATH=%q:"$PATH" QV_WINE10_ROOT=%q\n' "$cache/bin" "$cache/bin" "$root"
    # The host's wine 8 reads these; the root's wine must not.
    printf 'unset WINELOADER WINESERVER WINELOADERNOEXEC\n'
  else
    echo "$cache"
  fi
}

if qv_runtime_cache_ready "$cache" "$layout"; then
  print_result "$@"
  exit 0
fi
[ "$(id -u)" -eq 0 ] || die "needs root: it runs mmdebstrap, and chroot for every wine process"
for tool in mmdebstrap unshare chroot mount; do
  command -v "$tool" >/dev/null || die "$tool is missing; scripts/install-deps.sh installs it"
done
started=$SECONDS

# wine and wine64: the 64-bit wine and its commands. fonts-wine: the fonts
# Windows has (System, Tahoma, Marlett, MS Sans Serif). fonts-arphic-uming:
# the CJK face the prefixes map the label font to. fonts-dejavu-core: the face
# a test gives the System font. locales: zh_CN.UTF-8, for code page 936. The
# X extension libraries wine's X driver opens at run time. Wine's 32-bit
# Windows DLLs come from the i386 libwine of the same version, unpacked only.
echo "wine10-runtime: making a Debian 13 root with wine 10 with mmdebstrap (about 350 MB on the first run)" >&2
rm -rf "$cache"
mkdir -p "$cache"
# shellcheck disable=SC2016
qv_debian_tree "$cache/setup.log" "$root" trixie --variant=essential --architectures=amd64,i386 \
  --include='wine wine64 fonts-wine fonts-arphic-uming fonts-dejavu-core locales libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1' \
  --dpkgopt=force-unsafe-io \
  --customize-hook='echo "zh_CN.UTF-8 UTF-8" > "$1/etc/locale.gen" && chroot "$1" locale-gen' \
  --customize-hook='cd "$1/tmp" && APT_CONFIG="$MMDEBSTRAP_APT_CONFIG" apt-get -q download "libwine:i386=$(dpkg-query --admindir="$1/var/lib/dpkg" -W -f "\${Version}" libwine)" && dpkg-deb -x libwine_*_i386.deb libwine-i386 && cp -a libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows "$1/usr/lib/x86_64-linux-gnu/wine/" && rm -rf libwine-i386 libwine_*_i386.deb' \
  || die "making the root failed (above)"
[ -x "$root/usr/lib/wine/wine64" ] || die "the root has no /usr/lib/wine/wine64"
[ -f "$root/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || die "the root has no i386-windows/kernel32.dll"
[ -f "$root/usr/share/wine/fonts/tahoma.ttf" ] || die "the root has no wine fonts (fonts-wine)"
# Wine 10 would also take its own fonts from here, beside a prefix's Fonts
# folder. Moved aside, they reach a program only from the prefix, as on
# Windows and as under wine 8 (scripts/wine-env.sh copies them there), so
# that a prefix can leave one out and have another face stand in for it.
mv "$root/usr/share/wine/fonts" "$root/usr/share/wine/fonts-windows"

# qv-wine10 CMD ARGS (or CMD ARGS through a link named CMD) runs CMD in the
# root with the caller's environment but the root's PATH, the X sockets and
# the project's directories bound at their own paths (same path, same file).
# Its mounts live in a mount namespace of its own and vanish with it; they are
# private (or, where / is no mount point, as in a chroot, under a private bind
# mount of the root). Every exec keeps the process id for the caller.
mkdir -p "$cache/bin"
{
  printf '#!/bin/sh\nr=%q\n' "$root"
  cat <<'EOF_CMD'
case "${0##*/}" in qv-wine10) ;; *) set -- "${0##*/}" "$@" ;; esac
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
EOF_CMD
} > "$cache/bin/qv-wine10"
chmod +x "$cache/bin/qv-wine10"
for cmd in wine wineserver wineboot winepath; do
  ln -s qv-wine10 "$cache/bin/$cmd"
done

version="$(env -u WINEPREFIX QV_WINE10_BINDS= WINEDEBUG=-all "$cache/bin/wine" --version 2>&1)" \
  || die "wine in the root does not start: $version"
echo "$layout" > "$cache/ready"
echo "wine10-runtime: ready in $((SECONDS - started)) s: $cache, $version ($(du -sh "$cache" | cut -f1))" >&2
print_result "$@"
