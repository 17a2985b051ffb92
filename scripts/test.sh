#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
ctest --test-dir "${QV_BUILD_DIR:-build}" --output-on-failure
