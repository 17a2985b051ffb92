#!/usr/bin/env bash
# The runtime that runs the 32-bit product here by default: Debian's i386
# wine under qemu-user, which runs on any kernel. Wine 10's WoW64 would run
# it natively, but only where the kernel runs 32-bit code, which not every
# machine of this kind does (scripts/wine-env.sh decides). Nothing
# is installed into the system and no architecture is added to it: the
# packages are fetched with a private apt configuration and unpacked with
# dpkg-deb into a cache outside the checkout, so every clone and CI run share
# one copy.
#
#   bash scripts/i686-runtime.sh         # prepares (once), prints the directory
#   bash scripts/i686-runtime.sh --env   # prepares (once), prints shell exports
#
# The cache is $QV_I686_CACHE, by default ~/.cache/quorvane/i686. A second run
# finds it ready and only prints. scripts/wine-env.sh uses the exports.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"

cache="${QV_I686_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/i686}"
mode="${1:-}"
# Bumped when what is fetched or how it is unpacked changes, so an old cache
# is rebuilt rather than half used.
layout=1

die() {
  echo "i686-runtime: $*" >&2
  exit 1
}
# A step that apt ran failed: what it was, apt's own reason, and the whole log.
die_log() {
  local reason
  reason="$(grep -E '^(E|W):' "$2" | tail -n 3)"
  [ -n "$reason" ] || reason="$(tail -n 3 "$2")"
  die "$1 failed:
$reason
(full log: $2)"
}
# Progress goes to stderr, so that --env's output stays only exports.
say() {
  echo "i686-runtime: $*" >&2
}

print_result() {
  if [ "$mode" = "--env" ]; then
    # Wine starts every child process by exec'ing the loader directory's file
    # named like its own argv[0], so WINELOADER and the programs on PATH all
    # go through the wrapper that puts qemu in front. The host's wineserver
    # (same 8.0 build) serves 32-bit clients.
    printf 'export PATH=%q:"$PATH"\n' "$cache/bin"
    printf 'export WINELOADER=%q\n' "$cache/root/usr/lib/wine/qv-wine"
    printf 'export WINELOADERNOEXEC=1\n'
    printf 'export WINESERVER=/usr/lib/wine/wineserver64\n'
  else
    echo "$cache"
  fi
}

[ -x /usr/lib/wine/wineserver64 ] || die "/usr/lib/wine/wineserver64 is missing: the host's wine64 (8.0) serves the 32-bit programs; run scripts/install-deps.sh"
root_ready() {
  [ "$(cat "$cache/ready" 2>/dev/null)" = "$layout" ] && [ -x "$cache/root/usr/lib/wine/qv-wine" ] \
    && [ -x "$cache/qemu/usr/bin/qemu-i386" ]
}
# Wine's own fonts (Debian's fonts-wine), as the host's wine has them. The
# root has wine's font directory of its own, so under qemu's -L the host's
# would not show through: without them the 32-bit build would draw with
# other fonts than the 64-bit one. A root made before they were part of it
# gets them added.
wine_fonts="$cache/root/usr/share/wine/fonts/tahoma.ttf"
if root_ready && [ -f "$wine_fonts" ]; then
  print_result
  exit 0
fi

for tool in apt-get dpkg-deb ldconfig; do
  command -v "$tool" >/dev/null || die "$tool is missing; it comes with Debian's apt and dpkg"
done
zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
[ -f "$zlib" ] || die "$zlib is missing (Debian package libz-mingw-w64): wine's user32 needs it"

codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$codename" ] || die "no VERSION_CODENAME in /etc/os-release"

mkdir -p "$cache"
started=$SECONDS

# --- the package archive, as this machine's apt reaches it ----------------
# The release's own suites as the machine's apt reads them, plus its
# backports suite, which has a qemu new enough for wine (bookworm's 7.2 lacks
# MAP_FIXED_NOREPLACE and wine then needs over a minute per process). The
# archive's keys are the machine's own (apt's trusted keyrings).
sources_list() {
  qv_apt_archive | awk -v rel="$codename" '{
      comps = $3; for (i = 4; i <= NF; i++) comps = comps " " $i
      print "deb " $1 " " $2 " " comps
      if ($2 == rel) print "deb " $1 " " rel "-backports " comps }'
}

apt_dir="$cache/apt"
mkdir -p "$apt_dir"
sources_list > "$apt_dir/sources.list"
grep -q -- "-backports " "$apt_dir/sources.list" \
  || die "no '$codename' entry in the machine's apt sources (/etc/apt/sources.list.d, /etc/apt/sources.list) to take the mirror from"

# One private apt configuration per architecture: its own lists, cache and
# status, the machine's apt.conf.d otherwise (proxies and the like).
apt_private() {
  local arch="$1" status="$2"
  shift 2
  local d="$apt_dir/$arch"
  mkdir -p "$d/lists/partial" "$d/cache/archives/partial" "$d/parts" "$d/prefs"
  apt-get -q \
    -o APT::Architecture="$arch" -o APT::Architectures="$arch" \
    -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$d/parts" \
    -o Dir::Etc::Preferences="$d/prefs/none" -o Dir::Etc::PreferencesParts="$d/prefs" \
    -o Dir::State::Lists="$d/lists" -o Dir::Cache="$d/cache" \
    -o Dir::State::status="$status" -o Dir::State::extended_states="$d/extended_states" \
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root -o Acquire::Languages=none \
    "$@"
}

# "Inst name [old] (version ...)" lines of a simulated install, as name=version.
planned() {
  sed -n 's/^Inst \([^ ]*\) \(\[[^]]*\] \)\?(\([^ ]*\) .*/\1=\3/p'
}

fetch() {
  local dir="$1"
  shift
  mkdir -p "$dir"
  (cd "$dir" && "$@") || return 1
}

: > "$apt_dir/empty-status"
say "reading the package lists (amd64 and i386)"
apt_private amd64 /var/lib/dpkg/status update >"$apt_dir/update-amd64.log" 2>&1 \
  || die_log "reading the amd64 package lists (apt-get update)" "$apt_dir/update-amd64.log"
apt_private i386 "$apt_dir/empty-status" update >"$apt_dir/update-i386.log" 2>&1 \
  || die_log "reading the i386 package lists (apt-get update)" "$apt_dir/update-i386.log"

if root_ready; then
  say "adding wine's fonts (fonts-wine) to the runtime"
  apt_private i386 "$apt_dir/empty-status" -s install --no-install-recommends fonts-wine \
    > "$apt_dir/plan-fonts.txt" 2>&1 || die_log "resolving fonts-wine" "$apt_dir/plan-fonts.txt"
  fonts_pkg="$(planned < "$apt_dir/plan-fonts.txt" | grep '^fonts-wine=')" \
    || die "fonts-wine is not in the plan; see $apt_dir/plan-fonts.txt"
  fetch "$cache/debs-i386" apt_private i386 "$apt_dir/empty-status" download "$fonts_pkg" \
    >"$apt_dir/download-fonts.log" 2>&1 || die_log "downloading fonts-wine" "$apt_dir/download-fonts.log"
  f=("$cache/debs-i386/${fonts_pkg%%=*}_${fonts_pkg#*=}_"*.deb)
  dpkg-deb -x "${f[0]}" "$cache/root"
  [ -f "$wine_fonts" ] || die "fonts-wine has no usr/share/wine/fonts/tahoma.ttf"
  say "ready in $((SECONDS - started)) s: $cache"
  print_result
  exit 0
fi

# qemu-user from backports, with whatever of its libraries the host lacks.
apt_private amd64 /var/lib/dpkg/status -s install --no-install-recommends \
  -t "$codename-backports" qemu-user > "$apt_dir/plan-qemu.txt" 2>&1 \
  || die_log "resolving qemu-user from $codename-backports" "$apt_dir/plan-qemu.txt"
mapfile -t qemu_pkgs < <(planned < "$apt_dir/plan-qemu.txt")
[ "${#qemu_pkgs[@]}" -gt 0 ] || die "no qemu-user to fetch; see $apt_dir/plan-qemu.txt"
say "fetching ${#qemu_pkgs[@]} amd64 package(s): ${qemu_pkgs[*]}"
fetch "$cache/debs-amd64" apt_private amd64 /var/lib/dpkg/status download "${qemu_pkgs[@]}" \
  >"$apt_dir/download-amd64.log" 2>&1 \
  || die_log "downloading qemu-user" "$apt_dir/download-amd64.log"

# The i386 wine closure against an empty status: everything wine32 needs,
# plus the X extension libraries its X driver opens at run time, and wine's
# own fonts. Left out: other fonts and fontconfig's configuration (qemu's -L
# would let the root's /usr/share/fonts and /etc/fonts hide the host's), and
# packages whose only work is in maintainer scripts that dpkg-deb -x does not
# run.
apt_private i386 "$apt_dir/empty-status" -s install --no-install-recommends \
  wine32 libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 \
  libxxf86vm1 fonts-wine > "$apt_dir/plan-wine.txt" 2>&1 \
  || die_log "resolving the i386 wine32 packages" "$apt_dir/plan-wine.txt"
mapfile -t wine_pkgs < <(planned < "$apt_dir/plan-wine.txt" \
  | awk -F= '$1 == "fonts-wine" || $1 !~ /^(fonts-.*|fontconfig-config|debconf|iso-codes|libcap2-bin)$/')
printf '%s\n' "${wine_pkgs[@]}" | grep -q '^wine32=' || die "wine32 is not in the plan; see $apt_dir/plan-wine.txt"
say "fetching ${#wine_pkgs[@]} i386 packages (about 200 MB on the first run)"
fetch "$cache/debs-i386" apt_private i386 "$apt_dir/empty-status" download "${wine_pkgs[@]}" \
  >"$apt_dir/download-i386.log" 2>&1 \
  || die_log "downloading the i386 wine packages" "$apt_dir/download-i386.log"

# --- unpacked, with what the maintainer scripts would have done -------------
say "unpacking"
new="$cache/root.new"
rm -rf "$new" "$cache/qemu.new"
mkdir -p "$new" "$cache/qemu.new"
deb_file() {  # name=version -> the file apt-get download wrote
  local name="${1%%=*}" version="${1#*=}"
  local f=("$2/${name}_${version//:/%3a}_"*.deb)
  [ -f "${f[0]}" ] || die "$name $version was not downloaded into $2"
  echo "${f[0]}"
}
for p in "${qemu_pkgs[@]}"; do
  dpkg-deb -x "$(deb_file "$p" "$cache/debs-amd64")" "$cache/qemu.new"
done
for p in "${wine_pkgs[@]}"; do
  dpkg-deb -x "$(deb_file "$p" "$cache/debs-i386")" "$new"
done
[ -x "$cache/qemu.new/usr/bin/qemu-i386" ] || die "qemu-user has no usr/bin/qemu-i386"
# Of qemu-user's emulators (over 300 MB), only the i386 one is used.
find "$cache/qemu.new/usr/bin" -name 'qemu-*' ! -name qemu-i386 -delete
[ -x "$new/usr/lib/wine/wine" ] || die "wine32 has no usr/lib/wine/wine"
[ -f "$new/usr/share/wine/fonts/tahoma.ttf" ] || die "fonts-wine has no usr/share/wine/fonts/tahoma.ttf"

# libwine's postinst makes wine's zlib1.dll from the mingw one, marked as a
# wine builtin (bytes 64-95 of the DOS stub); without it user32 does not load.
zdir="$(dirname "$(find "$new/usr/lib" -path '*/wine/i386-windows/user32.dll' | head -n 1)")"
[ -d "$zdir" ] || die "no i386-windows directory in the unpacked wine"
{
  head -c 64 "$zlib"
  printf 'Wine builtin DLL'
  head -c 16 /dev/zero
  tail -c +97 "$zlib"
} > "$zdir/zlib1.dll"

# Without its own cache the emulated loader reads the host's and misses the
# root's libraries (wine then finds no FreeType).
printf 'include /etc/ld.so.conf.d/*.conf\n' > "$new/etc/ld.so.conf"
ldconfig -r "$new" 2>/dev/null || die "ldconfig -r failed on the unpacked root"

# qemu's -L prefers any path that exists under the root: these would hide
# the host's fonts and their configuration.
rm -rf "$new/usr/share/fonts" "$new/etc/fonts"

# The wrapper beside the real loader: wine re-execs it for every child.
cat > "$new/usr/lib/wine/qv-wine" <<EOF
#!/bin/sh
# Written by scripts/i686-runtime.sh: the i386 wine loader under qemu-user.
exec "$cache/qemu/usr/bin/qemu-i386" -0 "$cache/root/usr/lib/wine/qv-wine" \\
  -L "$cache/root" "$cache/root/usr/lib/wine/wine" "\$@"
EOF
chmod +x "$new/usr/lib/wine/qv-wine"
mkdir -p "$cache/bin"
# wine, and wine-stable for wine's own commands (wineboot, regedit, winepath).
ln -sfn "$cache/root/usr/lib/wine/qv-wine" "$cache/bin/wine"
ln -sfn "$cache/root/usr/lib/wine/qv-wine" "$cache/bin/wine-stable"

rm -rf "$cache/root" "$cache/qemu"
mv "$new" "$cache/root"
mv "$cache/qemu.new" "$cache/qemu"
"$cache/qemu/usr/bin/qemu-i386" -version >/dev/null 2>&1 \
  || die "the unpacked qemu-i386 does not start: $("$cache/qemu/usr/bin/qemu-i386" -version 2>&1 | head -n 1)"
echo "$layout" > "$cache/ready"
say "ready in $((SECONDS - started)) s: $cache ($(du -sh "$cache" | cut -f1))"
print_result
