#!/usr/bin/env bash
# Configures and builds one preset: scripts/build.sh [linux|asan|tsan|mingw64|mingw32] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-linux}
shift || true
cmake --preset "$preset" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
