#!/usr/bin/env bash
# Builds the native tree and runs its benchmarks (ctest label "bench"); their figures are
# gathered into <tree>/bench-results.json. The benchmarks print numbers and never fail on
# time. scripts/bench.sh [--no-build] [build tree]   (default build/linux, linux preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
if [ "${1:-}" = --no-build ]; then
  build=0
  shift
fi
tree=${1:-build/linux}
if [ $build = 0 ]; then
  :
elif [ "$tree" = build/linux ]; then
  scripts/build.sh linux
else
  cmake --build "$tree" -j2
fi
rm -rf "$tree/bench-results.d"
status=0
ctest --test-dir "$tree" -L bench --output-on-failure --timeout 1200 || status=$?
python3 - "$tree" <<'PY'
import json, pathlib, sys
tree = pathlib.Path(sys.argv[1])
merged = {}
for part in sorted((tree / "bench-results.d").glob("*.json")):
    merged[part.stem] = json.loads(part.read_text())
(tree / "bench-results.json").write_text(json.dumps(merged, indent=2, sort_keys=True) + "\n")
print(f"figures: {tree / 'bench-results.json'}")
PY
exit $status
