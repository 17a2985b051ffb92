#!/usr/bin/env bash
# A runtime's Debian tree (qv_debian_tree, which both runtimes' set-ups use)
# from a mirror caught mid-sync: a local mirror whose security suite's
# Packages file has another size than its Release file says. The tree is
# made from the other index, with a line naming the one left out; a package
# that only the bad index holds stops the set-up with apt's own message.
# Needs root and mmdebstrap, as the runtimes' set-ups do.
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
dir="$(mktemp -d)"
export GNUPGHOME="$dir/gnupg"
rel="$(. /etc/os-release && echo "$VERSION_CODENAME")"
m="$dir/mirror"
mkdir -p "$GNUPGHOME" "$dir/keys" "$dir/lists/partial" "$dir/none"
chmod 700 "$GNUPGHOME"
gpg -q --batch --passphrase '' --quick-gen-key 'quorvane test mirror' ed25519 sign never 2>/dev/null
gpg -q --export > "$dir/keys/test-mirror.gpg"

# One package a suite: qv-base in the release, qv-fix only in its security
# suite. Release files list each Packages file's size and hash, signed.
for suite in "$rel" "$rel-security"; do
  name=qv-base
  [ "$suite" = "$rel" ] || name=qv-fix
  mkdir -p "$dir/pkg/$name/DEBIAN" "$dir/pkg/$name/usr/share/$name" "$m/pool/$suite" \
    "$m/dists/$suite/main/binary-i386"
  printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: Quorvane <qv@localhost>\nDescription: test\n' \
    "$name" > "$dir/pkg/$name/DEBIAN/control"
  touch "$dir/pkg/$name/usr/share/$name/unpacked"
  dpkg-deb -b "$dir/pkg/$name" "$m/pool/$suite/${name}_1_all.deb" >/dev/null
  (cd "$m" && dpkg-scanpackages "pool/$suite" 2>/dev/null) > "$m/dists/$suite/main/binary-i386/Packages"
  f=main/binary-i386/Packages
  printf 'Suite: %s\nCodename: %s\nArchitectures: i386\nComponents: main\nDate: %s\nSHA256:\n %s %s %s\n' \
    "$suite" "$suite" "$(date -Ru)" "$(sha256sum < "$m/dists/$suite/$f" | cut -d' ' -f1)" \
    "$(stat -c %s "$m/dists/$suite/$f")" "$f" > "$m/dists/$suite/Release"
  gpg -q --batch --clearsign -o "$m/dists/$suite/InRelease" "$m/dists/$suite/Release"
done
# Caught mid-sync: the security index grew after its Release file was signed.
echo >> "$m/dists/$rel-security/main/binary-i386/Packages"

# Served over HTTP on this machine, as the machine's apt sources, trusted by
# its key alone.
python3 -c 'import functools, http.server, sys
http.server.SimpleHTTPRequestHandler.protocol_version = "HTTP/1.1"
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1], flush=True)
server.serve_forever()' "$m" > "$dir/port" 2>/dev/null &
server=$!
trap 'kill "$server"; gpgconf --kill gpg-agent 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 50); do [ -s "$dir/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$dir/port")"
printf 'deb %s %s main\ndeb %s %s-security main\n' "$url" "$rel" "$url" "$rel" > "$dir/sources.list"
cat > "$dir/apt.conf" <<CONF
Dir::Etc::SourceList "$dir/sources.list";
Dir::Etc::SourceParts "$dir/none";
Dir::Etc::Trusted "$dir/none/none.gpg";
Dir::Etc::TrustedParts "$dir/keys";
Dir::State::Lists "$dir/lists";
CONF
export APT_CONFIG="$dir/apt.conf"

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
tree() {  # NAME PACKAGES: makes $dir/NAME, its messages in $dir/NAME.out
  qv_debian_tree "$dir/$1.log" "$dir/$1" "$rel" --variant=extract --architectures=i386 --include="$2" \
    2> "$dir/$1.out"
}
skipped="apt: skipping the index $url/dists/$rel-security/main/binary-i386/Packages: File has unexpected size"
if ! tree ok qv-base; then
  fail "no tree from the indexes that are in sync: $(cat "$dir/ok.out")"
elif [ ! -f "$dir/ok/usr/share/qv-base/unpacked" ]; then
  fail "the tree was made without qv-base"
fi
grep -qF "$skipped" "$dir/ok.out" || fail "the index left out was not named: $(cat "$dir/ok.out")"
if tree missing "qv-base qv-fix"; then
  fail "a tree was made without qv-fix, which only the index out of sync holds"
elif ! grep -qF 'E: Unable to locate package qv-fix' "$dir/missing.out"; then
  fail "stopped without apt's message for qv-fix: $(cat "$dir/missing.out")"
fi
[ "$failed" = 0 ] && echo "mirror out of sync: the tree made past the index, and stopped for a package only it holds"
exit "$failed"
