#!/usr/bin/env bash
# Installs what Lantorvix needs, builds it and starts it in the tray. Without a reachable
# display it runs the self-contained demonstration instead (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake --preset linux -DLANTORVIX_BUILD_TESTS=OFF >/dev/null
cmake --build --preset linux --target lantorvix
exe=build/linux/src/app/lantorvix
if [ -n "${WAYLAND_DISPLAY:-}" ] || { [ -n "${DISPLAY:-}" ] && xset q >/dev/null 2>&1; }; then
  exec "$exe"
fi
echo "No display is reachable: running the demonstration under a private X server."
exec scripts/demo.sh "$exe"
