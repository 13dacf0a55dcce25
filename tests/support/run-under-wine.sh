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
  # Xvfb writes its display number into the FIFO once it accepts clients.
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  number=""
  read -r -t 20 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$number"
fi

if [ -n "${LANTORVIX_WINE_CWD:-}" ]; then
  cd "$LANTORVIX_WINE_CWD"
fi
set +e
"$wine_bin" "$exe" "$@"
rc=$?
set -e
exit $rc
