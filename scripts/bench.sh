#!/usr/bin/env bash
# Builds what the benchmarks need into build-bench/ (or $QV_BUILD_DIR), runs
# them, prints one table and writes it to <dir>/bench-results.md.
#
#   bash scripts/bench.sh [--arch i686|x86_64] [--startup-runs N] [--keys N]
#
# Measured: executable sizes and imports (objdump -p); start-up and memory
# under wine against two windows built with the same flags, taking turns,
# median of N runs each: a bare Win32 window, and the same window with the
# four edit controls and the label font the program cannot do without; key
# release to the other three fields rewritten, under wine (e2e.exe's group
# bench_keyup, against a WM_GETTEXT round trip); the codec against
# std::from_chars / std::to_chars (Google Benchmark).
# The wine measurements use the x86_64 build, or with --arch i686 the product,
# each under the runtime that runs it here (scripts/wine-env.sh); under
# qemu they measure the emulation as much as the program, so only the ratios
# compare.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QV_BUILD_DIR:-build-bench}"
startup_runs=41
keys=600
arch=x86_64
source scripts/wine-env.sh
while (($#)); do
  case "$1" in
    --arch) arch="$2"; shift 2 ;;
    --startup-runs) startup_runs="$2"; shift 2 ;;
    --keys) keys="$2"; shift 2 ;;
    *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
prefix="$dir/$(qv_prefix_name "$arch")" || exit 2

QV_BUILD_DIR="$dir" bash scripts/build.sh -DQUORVANE_BENCH=ON -DQUORVANE_WINDOWS=ON >/dev/null
raw="$dir/bench-raw"
mkdir -p "$raw"
w32="$dir/win-i686"
w64="$dir/win-x86_64"
win="$dir/win-$arch"

# Sizes and imported DLLs.
: > "$raw/sizes.txt"
for exe in "$w32/shell/quorvane.exe" "$w64/shell/quorvane.exe" \
           "$w32/bench/win/bare_window.exe" "$w64/bench/win/bare_window.exe" \
           "$w32/bench/win/fields_window.exe" "$w64/bench/win/fields_window.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | paste -sd' ')
  printf '%s\t%s\t%s\n' "$exe" "$(stat -c %s "$exe")" "$dlls" >> "$raw/sizes.txt"
done

# Under wine: start-up and key release latency. A quiet machine matters:
# other wine or compile jobs running at the same time show up in both.
qv_prepare_prefix "$prefix" "$arch"
qv_start_display
trap 'wineserver -k 2>/dev/null || true; qv_stop_display' EXIT
# A, B, C in startup.txt: bare window, fields window, quorvane.
programs=("$(winepath -w "$win/bench/win/bare_window.exe")"
          "$(winepath -w "$win/bench/win/fields_window.exe")"
          "$(winepath -w "$win/shell/quorvane.exe")")
qv_wine wine "$win/bench/win/startup_timer.exe" 2 "${programs[@]}" >/dev/null  # warm-up, not counted
qv_wine wine "$win/bench/win/startup_timer.exe" "$startup_runs" "${programs[@]}" \
  | tr -d '\r' > "$raw/startup.txt"
wineserver -k 2>/dev/null || true
# Key release, timed by the end-to-end tests' e2e.exe on its own display.
flag=
[ "$arch" = x86_64 ] && flag=--x64
QV_BUILD_DIR="$dir" QV_BENCH_KEYS="$keys" bash scripts/e2e.sh $flag bench_keyup | tr -d '\r' > "$raw/keyup.txt"

# The codec, natively; repetitions give a median per benchmark.
"$dir/bench/bench_codec" --benchmark_repetitions=5 --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true --benchmark_format=json \
  > "$raw/codec.json" 2> "$raw/codec.stderr"

python3 - "$raw" "$dir/bench-results.md" "$arch" <<'PY'
import json, statistics, sys
raw, out, arch = sys.argv[1], sys.argv[2], sys.argv[3]
lines = []
def row(*cells): lines.append("| " + " | ".join(str(c) for c in cells) + " |")

lines.append("### Executables")
lines.append("")
row("file", "bytes", "KiB", "imports")
row("---", "---:", "---:", "---")
for line in open(f"{raw}/sizes.txt"):
    path, size, dlls = line.rstrip("\n").split("\t")
    name = path.split("/", 1)[1]  # below the build directory
    row(name, size, f"{int(size) / 1024:.1f}", dlls)

runs = {who: {"ms": [], "ws": [], "private": []} for who in "ABC"}
for line in open(f"{raw}/startup.txt"):
    who, *values = line.split()
    for key, value in zip(("ms", "ws", "private"), values):
        runs[who][key].append(float(value))
names = {"A": "bare window", "B": "fields window (bare + 4 edit controls + label font)",
         "C": "quorvane"}
med = {who: {k: statistics.median(v) for k, v in r.items()} for who, r in runs.items()}
fastest = {who: min(r["ms"]) for who, r in runs.items()}
lines += ["", "### Start-up and memory under wine (launch to painted and idle, %s build)" % arch, ""]
lines.append("Working set and private bytes are read with GetProcessMemoryInfo when WaitForInputIdle "
             "returns (under wine: the process's VmRSS and RssAnon).")
lines.append("")
row("program", "runs", "median ms", "min ms", "max ms", "working set KiB", "private KiB")
row("---", "---:", "---:", "---:", "---:", "---:", "---:")
for who in "ABC":
    r = runs[who]
    row(names[who], len(r["ms"]), f"{med[who]['ms']:.1f}", f"{min(r['ms']):.1f}",
        f"{max(r['ms']):.1f}", f"{med[who]['ws']:.0f}", f"{med[who]['private']:.0f}")
lines.append("")
row("ratio (medians; start-up of the fastest runs in brackets)", "start-up", "working set",
    "private")
row("---", "---:", "---:", "---:")
for num, den, label in (("C", "B", "**quorvane / fields window** (targets: start-up and working set <= 1.02)"),
                        ("C", "A", "quorvane / bare window"),
                        ("B", "A", "fields window / bare window")):
    bold = "**" if den == "B" and num == "C" else ""
    row(label, f"{bold}{med[num]['ms'] / med[den]['ms']:.3f}{bold} "
        f"({fastest[num] / fastest[den]:.3f})",
        f"{bold}{med[num]['ws'] / med[den]['ws']:.3f}{bold}",
        f"{med[num]['private'] / med[den]['private']:.3f}")

lines += ["", "### Key release to the other three fields rewritten, under wine (%s build)" % arch, ""]
lines.append("Against one WM_GETTEXT round trip to the program, measured in the same run.")
lines.append("")
row("input path", "keys", "median ms", "p99 ms", "max ms", "WM_GETTEXT round trip ms", "median / round trip")
row("---", "---:", "---:", "---:", "---:", "---:", "---:")
kv = {}
for line in open(f"{raw}/keyup.txt"):
    parts = line.split()
    if len(parts) == 2:
        kv[parts[0]] = parts[1]
row(kv["input"], kv["keys"], kv["median_ms"], kv["p99_ms"], kv["max_ms"], kv["gettext_roundtrip_median_ms"],
    kv["median_over_roundtrip"])

data = json.load(open(f"{raw}/codec.json"))
median = {b["run_name"]: b["cpu_time"] for b in data["benchmarks"] if b.get("aggregate_name") == "median"}
lines += ["", "### Codec, native (CPU ns per call, median of 5 repetitions; 1024 values of every bit length)", ""]
row("operation", "base", "codec ns", "std ns", "ratio codec/std (target <= 1.5)")
row("---", "---:", "---:", "---:", "---:")
for op in ("parse", "format"):
    for base in (2, 8, 10, 16):
        c = median[f"{op}/{base}/codec"] / 1024
        s = median[f"{op}/{base}/std"] / 1024
        row(op, base, f"{c:.2f}", f"{s:.2f}", f"{c / s:.2f}")
text = "\n".join(lines) + "\n"
open(out, "w").write(text)
print(text)
PY
echo "written to $dir/bench-results.md"
