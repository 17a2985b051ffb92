#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, runs every test.
#
# Through CTest, side by side (each end-to-end group on its own virtual
# display, in its own copy of the prefix): the unit suites, the end-to-end
# groups and a short soak on both builds, and the README's pictures made from
# the product. Beside them, the checks that need no display: the unit suites
# under the sanitizers, both fuzz targets for a bounded time, and a second
# build of the release files that must give the same bytes.
#
# Which wine runs which build follows the kernel (scripts/wine-env.sh,
# qv_runtime), and is said first. The first run on a machine sets up the
# runtimes it uses (scripts/wine10-runtime.sh, and scripts/i686-runtime.sh
# only where the kernel runs no 32-bit code): a download, kept in
# ~/.cache/quorvane.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
qv_say_runtimes test i686 x86_64
# What each phase cost, in seconds from the start, said as it ends: the README's figures come from these lines.
phase() { echo "test: $1 at $SECONDS s"; }
bash scripts/install-deps.sh
phase "packages checked"
dir="${QV_BUILD_DIR:-build}"
san="$dir-asan"
mkdir -p "$dir"
native_log="$dir/native-checks.log"

# The runtimes and each build's prefix (a download once per machine, a
# wineboot once per tree) are made while everything is built.
declare -A prefix_job
for arch in x86_64 i686; do
  # shellcheck disable=SC2016
  bash -c 'source scripts/wine-env.sh && qv_prepare_prefix "$1/$(qv_prefix_name "$2")" "$2"' \
    qv "$dir" "$arch" > "$dir/prefix-$arch.log" 2>&1 &
  prefix_job[$arch]=$!
done
bash scripts/build.sh
for arch in x86_64 i686; do
  wait "${prefix_job[$arch]}" || { echo "test: preparing the $arch prefix failed ($dir/prefix-$arch.log):" >&2
    tail -n 5 "$dir/prefix-$arch.log" >&2; exit 1; }
done
phase "built, prefixes ready"

native_checks() {
  # The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
  QV_BUILD_DIR="$san" bash scripts/build.sh -DQUORVANE_WINDOWS=OFF \
    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  ctest --test-dir "$san" --output-on-failure
  # Both fuzz targets for a bounded time, from the committed seed corpora.
  QV_FUZZ_DIR="$dir-fuzz" bash scripts/fuzz-long.sh --ci 10
  # The release files, and a second build of them elsewhere that must give
  # the same bytes.
  QV_DIST_DIR="$dir/dist" bash scripts/dist.sh --check
  phase "native checks done"
}
native_checks > "$native_log" 2>&1 &
native=$!

status=0
# Four at a time on two cores: the end-to-end groups spend much of their
# time waiting for the window.
ctest --test-dir "$dir" --output-on-failure -j4 || status=1
phase "CTest done"
if wait "$native"; then
  grep '^test: ' "$native_log"
  echo "native checks (sanitizers, fuzzing, release files): passed"
else
  status=1
  echo "native checks (sanitizers, fuzzing, release files): FAILED" >&2
  tail -n 40 "$native_log" >&2
fi
echo "(native checks' log: $native_log)"
phase "whole command done"
exit "$status"
