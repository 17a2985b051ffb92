#!/usr/bin/env bash
# The runtime that runs the 32-bit product where the kernel runs no 32-bit
# code (scripts/wine-env.sh decides): Debian 12's i386 wine under qemu-user
# from bookworm-backports (bookworm's own qemu lacks MAP_FIXED_NOREPLACE, and
# wine then needs over a minute per process). Nothing is installed into the
# system and no architecture is added to it: mmdebstrap unpacks the packages
# into a cache outside the checkout without running any of their code, so
# every clone and CI run share one copy.
#
#   bash scripts/i686-runtime.sh         # prepares (once), prints the directory
#   bash scripts/i686-runtime.sh --env   # prepares (once), prints shell exports
#
# The cache is $QV_I686_CACHE, by default ~/.cache/quorvane/i686. A cache of
# another layout is made again.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"

cache="${QV_I686_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/i686}"
root="$cache/root"
# Changed whenever what the root holds or how it is made changes.
layout=2

die() {
  echo "i686-runtime: $*" >&2
  exit 1
}

print_result() {
  if [ "${1:-}" = "--env" ]; then
    # Wine starts every child process by exec'ing the loader directory's file
    # named like its own argv[0], so WINELOADER and the programs on PATH all
    # go through the wrapper that puts qemu in front. The host's wineserver
    # (same 8.0 build) serves 32-bit clients.
    printf 'export QV_RUNTIME_BIN=%q PATH=%q:"$PATH"\n' "$cache/bin" "$cache/bin"
    printf 'export WINELOADER=%q WINELOADERNOEXEC=1 WINESERVER=/usr/lib/wine/wineserver64\n' \
      "$root/usr/lib/wine/qv-wine"
  else
    echo "$cache"
  fi
}

if qv_runtime_cache_ready "$cache" "$layout"; then
  print_result "$@"
  exit 0
fi
[ -x /usr/lib/wine/wineserver64 ] || die "/usr/lib/wine/wineserver64 is missing: the host's wine64 (8.0) serves the 32-bit programs; run scripts/install-deps.sh"
zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
[ -f "$zlib" ] || die "$zlib is missing (Debian package libz-mingw-w64): wine's user32 needs it"
command -v mmdebstrap >/dev/null || die "mmdebstrap is missing; scripts/install-deps.sh installs it"
started=$SECONDS

# wine32 and the X extension libraries its X driver opens at run time, wine's
# own fonts, and qemu. The extract variant only unpacks what apt resolves
# against an empty system: no maintainer script, no i386 code runs.
echo "i686-runtime: unpacking Debian 12's i386 wine and qemu-user with mmdebstrap (about 250 MB on the first run)" >&2
rm -rf "$cache"
mkdir -p "$cache"
qv_debian_tree "$cache/setup.log" "$root" "$(. /etc/os-release && echo "$VERSION_CODENAME")" --backports \
  --variant=extract --architectures=i386,amd64 \
  --include="wine32 libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1 fonts-wine qemu-user:amd64/$(. /etc/os-release && echo "$VERSION_CODENAME")-backports" \
  || die "making the i386 root failed (above)"
[ -x "$root/usr/lib/wine/wine" ] || die "wine32 has no usr/lib/wine/wine"
[ -x "$root/usr/bin/qemu-i386" ] || die "qemu-user has no usr/bin/qemu-i386"
# Of qemu-user's emulators (over 300 MB), only the i386 one is used.
find "$root/usr/bin" -name 'qemu-*' ! -name qemu-i386 -delete

# What the maintainer scripts would have done. libwine's postinst makes
# wine's zlib1.dll from the mingw one, marked as a wine builtin (bytes 64-95
# of the DOS stub); without it user32 does not load.
zdir="$(dirname "$(find "$root/usr/lib" -path '*/wine/i386-windows/user32.dll' | head -n 1)")"
{
  head -c 64 "$zlib"
  printf 'Wine builtin DLL'
  head -c 16 /dev/zero
  tail -c +97 "$zlib"
} > "$zdir/zlib1.dll"
# Without its own cache the emulated loader reads the host's and misses the
# root's libraries (wine then finds no FreeType).
printf 'include /etc/ld.so.conf.d/*.conf\n' > "$root/etc/ld.so.conf"
ldconfig -r "$root" 2>/dev/null || die "ldconfig -r failed on the unpacked root"
# Wine's own fonts stay in wine's directory; qemu's -L prefers any path that
# exists under the root, and the other fonts and their configuration would
# hide the host's.
rm -rf "$root/usr/share/fonts" "$root/etc/fonts"
[ -f "$root/usr/share/wine/fonts/tahoma.ttf" ] || die "fonts-wine has no usr/share/wine/fonts/tahoma.ttf"

# The wrapper beside the real loader: wine re-execs it for every child.
cat > "$root/usr/lib/wine/qv-wine" <<WRAPPER
#!/bin/sh
exec "$root/usr/bin/qemu-i386" -0 "$root/usr/lib/wine/qv-wine" -L "$root" "$root/usr/lib/wine/wine" "\$@"
WRAPPER
chmod +x "$root/usr/lib/wine/qv-wine"
mkdir -p "$cache/bin"
# wine, and wine-stable for wine's own commands (wineboot, regedit, winepath).
ln -s "$root/usr/lib/wine/qv-wine" "$cache/bin/wine"
ln -s "$root/usr/lib/wine/qv-wine" "$cache/bin/wine-stable"
"$root/usr/bin/qemu-i386" -version >/dev/null 2>&1 || die "the unpacked qemu-i386 does not start"
echo "$layout" > "$cache/ready"
echo "i686-runtime: ready in $((SECONDS - started)) s: $cache ($(du -sh "$cache" | cut -f1))" >&2
print_result "$@"
