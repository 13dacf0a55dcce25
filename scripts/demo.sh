#!/usr/bin/env bash
# The self-contained demonstration for machines without a display: a private X server with a
# tray host, the scanner simulator on a pseudo-terminal, lantorvix reading it and a small
# receiver window that the scans are typed into. Prints what the receiver got and saves a
# screenshot of the settings window.
# Usage: scripts/demo.sh [path/to/lantorvix]   (output folder: $LANTORVIX_DEMO_OUT or ./demo-output)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/linux/src/app/lantorvix}")
build=$(dirname "$(dirname "$(dirname "$exe")")")
sim=$build/tools/lantorvix-scanner-sim
receiver=$build/tools/lantorvix-receiver
if [ ! -x "$sim" ] || [ ! -x "$receiver" ]; then
  cmake --build "$build" --target lantorvix-scanner-sim lantorvix-receiver >/dev/null
fi
out=$(realpath -m "${LANTORVIX_DEMO_OUT:-demo-output}")
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
await() {
  local n=$1; shift
  for ((i = 0; i < n; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

source tests/support/xvfb.sh
start_xvfb
pids+=("$xvfb_pid")
mkdir -p "$work/run" "$work/config" "$work/xdg" "$work/app" "$work/run2" "$work/app2"
chmod 700 "$work/run" "$work/run2"
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
echo "X server $DISPLAY"

trayer --edge bottom --align right --widthtype request --height 32 --SetDockType false >/dev/null 2>&1 &
pids+=($!)

mkfifo "$work/received" "$work/codes"
"$receiver" >"$work/received" 2>/dev/null &
pids+=($!)
exec 5<"$work/received"
read -r -t 20 ready <&5 && [ "$ready" = ready ] || { echo "the receiver did not start" >&2; exit 1; }

"$sim" --delay 0 --linger -1 <"$work/codes" >"$work/sim.out" 2>/dev/null &
pids+=($!)
exec 6>"$work/codes"
await 50 test -s "$work/sim.out"
pty=$(head -n1 "$work/sim.out")
echo "scanner simulator on $pty"

cat >"$work/app/Lantorvix.ini" <<INI
[PORT]
PortNum=NINCS
PortName=$pty
BaudRate=9600
[SCANNER]
StopString=ENTER
[PROGRAM]
AddedString=ENTER
DiscardNull=1
INI
(cd "$work/app" && exec "$exe") &
app=$!
pids+=($app)
await 100 sh -c "ls -l /proc/$app/fd 2>/dev/null | grep -q '$pty'" || { echo "lantorvix did not open $pty" >&2; exit 1; }
echo "lantorvix (pid $app) reads $pty"
xdotool search --name "Lantorvix receiver" windowfocus --sync >/dev/null 2>&1 || true

# The first scan also tells when the port is ready; then the demonstration scans.
got=""
for _ in $(seq 40); do
  echo "READY" >&6
  if read -r -t 0.5 got <&5; then break; fi
done
[ -n "$got" ] || { echo "no scan reached the receiver" >&2; exit 1; }
echo "receiver got: $got"
for code in DEMO-001 0000042 "HELLO 123" 9780201633610; do
  echo "scanner sends: $code"
  echo "$code" >&6
  if read -r -t 5 got <&5; then echo "receiver got: $got"; else echo "receiver got nothing" >&2; exit 1; fi
done

# A second copy with no port configured (own runtime folder, so the single-instance guard
# lets it run) shows the settings window at start: its picture is the screenshot.
(cd "$work/app2" && XDG_RUNTIME_DIR=$work/run2 exec "$exe") &
pids+=($!)
await 100 xdotool search --onlyvisible --name "Lantorvix - Beállítások"
win=$(xdotool search --onlyvisible --name "Lantorvix - Beállítások" | head -n1)
sleep 0.5 # let the window finish drawing
import -window "$win" "$out/settings-window.png"
echo "settings window screenshot: $out/settings-window.png ($(identify -format '%wx%h' "$out/settings-window.png"))"
