#!/usr/bin/env bash
# The stage of the Lantorvix end-to-end tests under Wine, sourced by each scenario:
# - a per-run Wine prefix, copied from the build tree's prefix ($LANTORVIX_WINEPREFIX);
# - a private Xvfb with a tray host (trayer), into which Wine docks its tray icons;
# - the scanner simulator on a pseudo-terminal, mapped to COM5 (HKLM\Software\Wine\Ports,
#   then a Wine restart, so that Wine itself makes dosdevices/com5 and the serialcomm value);
# - a program folder holding Lantorvix.exe, its catalogues and the scenario's Lantorvix.ini;
# - the helpers typing_target.exe (records the characters it receives) and gui_probe.exe.
# Needs LANTORVIX_WIN_BUILD_DIR (the MinGW tree), LANTORVIX_WINEPREFIX and
# LANTORVIX_SCANNER_SIM; screenshots go to $LANTORVIX_ARTIFACTS.
set -euo pipefail

: "${LANTORVIX_WIN_BUILD_DIR:?}" "${LANTORVIX_WINEPREFIX:?}" "${LANTORVIX_SCANNER_SIM:?}"
e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_support=$(cd "$e2e_here/../../support" && pwd)
# shellcheck source=../../support/xvfb.sh
. "$e2e_support/xvfb.sh"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine_bin=$(command -v wine || command -v wine64)
probe_exe=$LANTORVIX_WIN_BUILD_DIR/tests/app/wine/gui_probe.exe
target_exe=$LANTORVIX_WIN_BUILD_DIR/tests/app/wine/typing_target.exe
program_exe=$LANTORVIX_WIN_BUILD_DIR/src/app/Lantorvix.exe
artifacts=${LANTORVIX_ARTIFACTS:-$PWD/test-artifacts}
e2e_failures=0
e2e_pids=()

# --- checks ------------------------------------------------------------------------------

pass() { echo "ok   - $1"; }
fail() {
  echo "FAIL - $1"
  e2e_failures=$((e2e_failures + 1))
}
# expect_eq <what> <expected> <actual>
expect_eq() {
  if [ "$2" == "$3" ]; then
    pass "$1"
  else
    fail "$1"
    printf '       expected: %q\n       actual:   %q\n' "$2" "$3"
  fi
}
# check <what> <command...>: the command's success
check() {
  if "${@:2}"; then pass "$1"; else fail "$1"; fi
}
# wait_until <seconds> <command...>: for conditions that nothing signals (X windows,
# another process's files); looks again every tenth of a second until the bound.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      "$@"
      return
    fi
    sleep 0.1
  done
}
# Ends the scenario: prints the summary line and exits non-zero when a check failed.
e2e_finish() {
  echo "e2e: $e2e_failures failed"
  [ "$e2e_failures" -eq 0 ]
}

# --- stage -------------------------------------------------------------------------------

e2e_teardown() {
  set +e
  local pid
  for pid in "${e2e_pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  for pid in "${e2e_pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  exec 7>&- 2>/dev/null
  if [ -n "${e2e_run:-}" ]; then
    # Logs of the run, for a failure's diagnosis.
    for f in sim.err program.log typed.txt; do
      [ -f "$e2e_run/$f" ] && cp "$e2e_run/$f" "$artifacts/wine-$e2e_name-$f"
    done
    rm -rf "$e2e_run"
  fi
}

# e2e_setup <scenario>: everything but the program itself.
e2e_setup() {
  e2e_name=$1
  for f in "$program_exe" "$probe_exe" "$target_exe" "$LANTORVIX_SCANNER_SIM"; do
    [ -e "$f" ] || { echo "missing $f" >&2; exit 1; }
  done
  mkdir -p "$artifacts"
  e2e_run=$(mktemp -d "${TMPDIR:-/tmp}/lantorvix-e2e.XXXXXX")
  trap e2e_teardown EXIT

  # The per-run prefix: a copy of the build tree's one. The system DLLs are only read, so
  # they are hard links; everything Wine writes (registry, ini files, users) is copied.
  WINEPREFIX=$LANTORVIX_WINEPREFIX "$e2e_support/wine-prefix.sh"
  export WINEPREFIX=$e2e_run/prefix
  mkdir -p "$WINEPREFIX/drive_c/windows"
  (cd "$LANTORVIX_WINEPREFIX" && find . -mindepth 1 -maxdepth 1 ! -name drive_c ! -name '*.lock' \
     -exec cp -a {} "$WINEPREFIX/" \;)
  (cd "$LANTORVIX_WINEPREFIX/drive_c" && find . -mindepth 1 -maxdepth 1 ! -name windows \
     -exec cp -a {} "$WINEPREFIX/drive_c/" \;)
  (cd "$LANTORVIX_WINEPREFIX/drive_c/windows" && find . -mindepth 1 -maxdepth 1 ! -name system32 \
     -exec cp -a {} "$WINEPREFIX/drive_c/windows/" \;)
  cp -al "$LANTORVIX_WINEPREFIX/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/system32"

  # Display with a tray host.
  start_xvfb
  e2e_pids+=("$xvfb_pid")
  local attempt
  for attempt in 1 2; do
    trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
      --SetDockType true >"$e2e_run/trayer.log" 2>&1 &
    e2e_pids+=($!)
    # Started on a display that has only just come up, trayer now and then gives up: once more.
    if wait_until 15 tray_panel >/dev/null; then
      break
    fi
    kill "${e2e_pids[-1]}" 2>/dev/null || true
    [ "$attempt" -eq 2 ] && { echo "trayer did not start: $(cat "$e2e_run/trayer.log")" >&2; exit 1; }
  done

  # The scanner on COM5: its pseudo-terminal, or with E2E_SCANNER_LINK a link to it in the
  # run's folder (a path whose terminal can go away and come back).
  e2e_link=${E2E_SCANNER_LINK:+$e2e_run/$E2E_SCANNER_LINK}
  start_scanner
  map_com_port 5 "${e2e_link:-$e2e_pty}"

  # The program folder.
  e2e_app=$e2e_run/app
  mkdir -p "$e2e_app"
  cp "$program_exe" "$e2e_app/"
  if [ -d "$(dirname "$program_exe")/locale" ]; then
    cp -r "$(dirname "$program_exe")/locale" "$e2e_app/"
  fi
  e2e_app_win=$(winepath -w "$e2e_app/Lantorvix.exe" 2>/dev/null)
}

# start_scanner: the scanner simulator on a fresh pseudo-terminal (its path in e2e_pty, and
# at $e2e_link when set); codes written to fd 7 are sent, each with CR LF, once it is opened.
start_scanner() {
  rm -f "$e2e_run/codes" "$e2e_run/sim.out"
  mkfifo "$e2e_run/codes"
  "$LANTORVIX_SCANNER_SIM" --terminator "${E2E_TERMINATOR:-crlf}" --interval 100 --linger -1 \
    ${e2e_link:+--link "$e2e_link"} <"$e2e_run/codes" >"$e2e_run/sim.out" 2>>"$e2e_run/sim.err" &
  e2e_sim_pid=$!
  e2e_pids+=("$e2e_sim_pid")
  exec 7>"$e2e_run/codes"
  wait_until 10 test -s "$e2e_run/sim.out" || { echo "simulator did not start" >&2; exit 1; }
  e2e_pty=$(head -n 1 "$e2e_run/sim.out")
}

# unplug_scanner: the simulator ends; its pseudo-terminal hangs up and its link goes.
unplug_scanner() {
  exec 7>&-
  kill "$e2e_sim_pid" 2>/dev/null || true
  wait "$e2e_sim_pid" 2>/dev/null || true
}

# map_com_port <n> <device>: COMn on a Unix device, as Wine's mount manager sees it.
map_com_port() {
  "$wine_bin" reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /d "$2" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# --- programs ----------------------------------------------------------------------------

# probe <args...>: gui_probe.exe, its output with Windows line ends removed.
# Every failure of the probe's own says why on standard output, and its usage errors end with
# status 2. A run that failed otherwise in silence never got to its command (Wine did not start
# it, or it died on the way): that is said, with what Wine printed, and the probe runs once more.
probe() {
  local out status attempt
  for attempt in 1 2; do
    status=0
    out=$("$wine_bin" "$probe_exe" "$@" 2>"$e2e_run/probe.err") || status=$?
    if [ "$status" -eq 0 ] || [ "$status" -eq 2 ] || [ -n "$out" ]; then
      break
    fi
    echo "probe $1: ended with status $status before it answered (attempt $attempt):" >&2
    sed 's/^/  | /' "$e2e_run/probe.err" >&2
  done
  [ -z "$out" ] || printf '%s\n' "${out//$'\r'/}"
  return "$status"
}

# The scanner on COM5 at 9600 baud, codes ending in ENTER, typed with an added ENTER; more
# [PROGRAM] lines may follow: write_com5_settings FILE [LINE...]
write_com5_settings() {
  local file=$1 line
  shift
  {
    printf '[PORT]\r\nPortNum=5\r\nBaudRate=9600\r\n[SCANNER]\r\nStopString=ENTER\r\n'
    printf '[PROGRAM]\r\nAddedString=ENTER\r\nDiscardNull=1\r\n'
    for line in "$@"; do printf '%s\r\n' "$line"; done
  } >"$file"
}

# start_target: the focused window that records what it is typed.
start_target() {
  e2e_typed=$e2e_run/typed.txt
  "$wine_bin" "$target_exe" "$(winepath -w "$e2e_typed")" >/dev/null 2>&1 &
  e2e_target_pid=$!
  e2e_pids+=("$e2e_target_pid")
  wait_until 20 test -e "$e2e_typed"
  probe wait-window LantorvixTypingTarget visible 20000 >/dev/null
}

typed() { cat "$e2e_typed" 2>/dev/null; }
typed_is() { [ "$(typed | od -An -c)" == "$(printf '%s' "$1" | od -An -c)" ]; }
# expect_typed <what> <expected> [seconds]: all the target was typed, once it holds the
# expected text or after the bound (30 s).
expect_typed() {
  wait_until "${3:-30}" typed_is "$2" || true
  expect_eq "$1" "$2" "$(typed)"
}
# Wine hands the foreground to a newly started program: give it back to the target.
focus_target() { probe activate LantorvixTypingTarget >/dev/null; }

# start_program: Lantorvix.exe in its folder; its pid in e2e_program_pid. With the modem
# line shim preloaded ($LANTORVIX_PTY_SHIM), Wine reports receptions on the pseudo-terminal.
start_program() {
  (cd "$e2e_app" && LD_PRELOAD=${LANTORVIX_PTY_SHIM:-} exec "$wine_bin" "$e2e_app/Lantorvix.exe") \
    >"$e2e_run/program.log" 2>&1 &
  e2e_program_pid=$!
  e2e_pids+=("$e2e_program_pid")
}

# start_in_tray: the typing target, then the program with the scenario's settings file; its
# tray icon must appear.
start_in_tray() {
  start_target
  start_program
  check "the tray icon appears" wait_until 30 tray_has_icons 1
}

running() { kill -0 "$1" 2>/dev/null; }
ended() { ! running "$1"; }

# send_code <code>: one scan from the simulator.
send_code() { printf '%s\n' "$1" >&7; }

# The text of cmbPort's selected item, and the index of an item.
port_selected() {
  probe state | awk '/^cmbPort / { i = $2 + 3; gsub(/"/, "", $i); print $i }'
}
port_index() {
  probe state | awk -v want="\"$1\"" '/^cmbPort / { for (i = 3; i <= NF; ++i) if ($i == want) print i - 3 }'
}

# --- tray --------------------------------------------------------------------------------

tray_panel() { xwininfo -root -tree 2>/dev/null | awk '/\("panel" "trayer"\)/ {print $1; exit}' | grep .; }
# The icons docked in the tray host: "<x> <y> <width> <height>" (absolute) per icon.
tray_icons() {
  local panel
  panel=$(tray_panel) || return 0
  xwininfo -tree -id "$panel" 2>/dev/null | awk '/"explorer.exe"/ {
      split($0, a, ")"); n = split(a[length(a)], g, /[ x+]+/);
      # geometry WxH+x+y +absx+absy
      print g[n-1], g[n], g[2], g[3] }'
}
tray_icon_count() { tray_icons | grep -c . || true; }
tray_has_icons() { [ "$(tray_icon_count)" -eq "$1" ]; }
# tray_click <button> <count>: clicks the middle of the (only) tray icon.
tray_click() {
  local x y w h
  read -r x y w h < <(tray_icons | head -n 1)
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click --repeat "$2" --delay 80 "$1"
}

# --- registry and files ------------------------------------------------------------------

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# The autostart value's data, or nothing when it is absent.
autostart_value() {
  "$wine_bin" reg query "$run_key" /v Lantorvix 2>/dev/null | tr -d '\r' |
    awk '$1 == "Lantorvix" && $2 == "REG_SZ" { sub(/^[ \t]*Lantorvix[ \t]+REG_SZ[ \t]+/, ""); print }'
}
serialcomm_has_com5() {
  "$wine_bin" reg query 'HKLM\Hardware\Devicemap\Serialcomm' 2>/dev/null | tr -d '\r' | grep -q 'COM5$'
}
ini_value() { # ini_value <section> <key>
  tr -d '\r' <"$e2e_app/Lantorvix.ini" | awk -v s="[$1]" -v k="$2" '
    /^\[/ { in_s = ($0 == s) } in_s && index($0, k "=") == 1 { print substr($0, length(k) + 2) }'
}
