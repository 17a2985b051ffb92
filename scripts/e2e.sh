#!/usr/bin/env bash
# Runs one end-to-end group, or some of its scenarios, on the real window
# under wine (tests/e2e/scenarios.py), as CTest does.
#
#   bash scripts/e2e.sh [--x64] GROUP [NAME-REGEX]
#   bash scripts/e2e.sh [--x64] --list [GROUP]    the groups and their scenarios
#
# The i686 product by default, --x64 its twin, each under the runtime that
# scripts/wine-env.sh chooses for it (qv_runtime). Builds into build/ (or
# $QV_BUILD_DIR) what is missing; the harness prepares the build's prefix
# (once per tree). A failed step leaves its screenshot in
# <build>/e2e-artifacts[-i686]/.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=i686 artifacts=e2e-artifacts-i686
if [ "${1:-}" = --x64 ]; then
  arch=x86_64 artifacts=e2e-artifacts
  shift
fi
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
if [ "${1:-}" = --list ] || [ "${1:-}" = --groups ]; then
  QV_ARCH=$arch exec python3 tests/e2e/scenarios.py "$@"
fi
qv_harness_env "$arch" "$artifacts"
exec python3 tests/e2e/scenarios.py "$@"
