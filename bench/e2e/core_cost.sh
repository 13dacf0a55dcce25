#!/usr/bin/env bash
# Instructions per scan: callgrind totals of N and 2N scans; (I(2N) - I(N)) / N.
# core_cost.sh <valgrind> <e2e_core_cost> [N]
set -euo pipefail
valgrind=$1 exe=$2 n=${3:-2000}
results=${LANTORVIX_BENCH_RESULTS:-$(dirname "$exe")/../../bench-results.d}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
total() { # scans [lean]
  local tag=$1${2:-}
  "$valgrind" --tool=callgrind --callgrind-out-file="$work/cg.$tag" "$exe" "$@" >"$work/out.$tag" 2>"$work/err.$tag" ||
    { cat "$work/out.$tag" "$work/err.$tag"; exit 1; }
  awk '/^summary:/ {print $2}' "$work/cg.$tag"
}
recording=$(( ($(total $((2 * n))) - $(total "$n")) / n ))
lean=$(( ($(total $((2 * n)) lean) - $(total "$n" lean)) / n ))
printf '%-44s %14d instructions\n' "core_instructions_per_scan" "$recording"
printf '%-44s %14d instructions\n' "core_instructions_per_scan_counting_keyboard" "$lean"
printf '%-44s %14d\n' "core_instructions_scans_measured" "$n"
mkdir -p "$results"
printf '{\n  "core_instructions_per_scan": %d,\n  "core_instructions_per_scan_counting_keyboard": %d,\n  "core_instructions_scans_measured": %d\n}\n' \
  "$recording" "$lean" "$n" >"$results/core.json"
