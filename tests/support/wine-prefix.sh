#!/usr/bin/env bash
# Creates the Wine prefix $WINEPREFIX once (concurrent callers wait for the first one).
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.lantorvix-ready" ]; then
  rm -rf "$WINEPREFIX"
  # No display: wineboot must not open windows while it builds the prefix.
  DISPLAY= wineboot --init >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.lantorvix-ready"
fi
