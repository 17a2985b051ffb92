#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ (or $QV_FUZZ_DIR) and runs each.
#
#   bash scripts/fuzz-long.sh                 10 million cases per target, corpus
#                                             kept in fuzz/corpus-long/ (ignored by git)
#   bash scripts/fuzz-long.sh --runs N        N cases per target
#   bash scripts/fuzz-long.sh --ci SECONDS    short run per target from the seeds
#                                             into a throw-away corpus
#
# The seeds come from fuzz/seeds.py, written afresh into <build dir>/seeds.
#   ... --targets "fuzz_codec"                only these targets
#
# A finding stops its target and leaves the input as <corpus>/../<target>-findings/crash-*;
# the script then exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_FUZZ_DIR:-build-fuzz}"
runs=10000000
ci_seconds=""
targets="fuzz_codec fuzz_panel"
while (($#)); do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --ci) ci_seconds="$2"; shift 2 ;;
    --targets) targets="$2"; shift 2 ;;
    *) echo "fuzz-long.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

CC=clang CXX=clang++ cmake -S . -B "$dir" -DQUORVANE_WINDOWS=OFF -DQUORVANE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  >/dev/null
# shellcheck disable=SC2086
cmake --build "$dir" -j"$(nproc)" --target $targets >/dev/null

if [ -n "$ci_seconds" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  limit=(-max_total_time="$ci_seconds")
else
  work="fuzz/corpus-long"
  limit=(-runs="$runs")
fi

rm -rf "$dir/seeds"
python3 fuzz/seeds.py "$dir/seeds"

status=0
for target in $targets; do
  seeds="$dir/seeds/${target#fuzz_}"
  corpus="$work/${target#fuzz_}"
  findings="$work/$target-findings"
  mkdir -p "$corpus" "$findings"
  log="$dir/$target.log"
  start=$(date +%s)
  if "$dir/fuzz/$target" "${limit[@]}" -max_len=1024 -print_final_stats=1 \
       -artifact_prefix="$findings/" "$corpus" "$seeds" > "$log" 2>&1; then
    result="no findings"
  else
    result="FINDING (see $findings and $log)"
    status=1
    grep -a -E 'MISMATCH|INVARIANT|ERROR|steps:|fields:' "$log" | head -8 | cut -c1-400 >&2 || true
  fi
  cases=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  rate=$(grep -a 'stat::average_exec_per_sec' "$log" | awk '{print $2}')
  echo "$target: ${cases:-?} cases in $(( $(date +%s) - start )) s (${rate:-?}/s), corpus $(ls "$corpus" | wc -l) inputs: $result"
done
exit $status
