#!/usr/bin/env bash
# Builds the fuzz targets and runs each for N seconds (default 30) on its committed corpus:
# scripts/fuzz.sh [seconds]. New inputs go to a scratch copy; the committed seeds stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/build.sh fuzz
status=0
for exe in build/fuzz/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  echo "== $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/ "$work" 2>build/fuzz/"$name".log; then
    tail -40 build/fuzz/"$name".log
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' build/fuzz/"$name".log | tail -2 || true
  fi
done
exit $status
