#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, runs every test.
# The end-to-end groups and the soak run on both builds; the 32-bit product
# runs under the emulated runtime of scripts/i686-runtime.sh, which the first
# run sets up (a download of about 200 MB, kept in ~/.cache/quorvane/i686).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
ctest --test-dir "${QV_BUILD_DIR:-build}" --output-on-failure
# The release files, and a second build of them elsewhere that must give the
# same bytes.
QV_DIST_DIR="${QV_BUILD_DIR:-build}/dist" bash scripts/dist.sh --check
# The README's pictures, made from the running product as a user would see it
# (into the build tree here; scripts/screenshots.sh alone refreshes docs/).
bash scripts/screenshots.sh "${QV_BUILD_DIR:-build}/screenshots"

# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
san="${QV_BUILD_DIR:-build}-asan"
QV_BUILD_DIR="$san" bash scripts/build.sh -DQUORVANE_WINDOWS=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
ctest --test-dir "$san" --output-on-failure
# Both fuzz targets for a bounded time, from the committed seed corpora.
QV_FUZZ_DIR="${QV_BUILD_DIR:-build}-fuzz" bash scripts/fuzz-long.sh --ci 25
# A short soak on each build: random real key presses into one running program.
bash scripts/soak.sh --keys 200
bash scripts/soak.sh --arch i686 --keys 200
