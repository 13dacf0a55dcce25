#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: run-under-wine.sh <exe> [args...]
# - the prefix is $LANTORVIX_WINEPREFIX (default ./wineprefix), created once with wineboot;
# - a private Xvfb serves as the display unless LANTORVIX_KEEP_DISPLAY=1 keeps $DISPLAY;
# - the program's exit code is returned; the wineserver is shut down afterwards so the
#   next run starts clean.
# Extra environment: LANTORVIX_WINE_CWD runs the program in that directory.
set -euo pipefail
exe=$1
shift
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=${LANTORVIX_WINEPREFIX:-$PWD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs (nothing here needs .NET or HTML), and no debugger:
# a crashing program must end the test at once instead of waiting in winedbg.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winedbg.exe=}
wine_bin=$(command -v wine || command -v wine64)

"$here/wine-prefix.sh"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ "${LANTORVIX_KEEP_DISPLAY:-0}" != 1 ]; then
  # shellcheck source=xvfb.sh
  . "$here/xvfb.sh"
  start_xvfb
fi

if [ -n "${LANTORVIX_WINE_CWD:-}" ]; then
  cd "$LANTORVIX_WINE_CWD"
fi
set +e
"$wine_bin" "$exe" "$@"
rc=$?
set -e
exit $rc
