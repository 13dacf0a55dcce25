#!/usr/bin/env bash
# Start-up with a configured, free port: the program opens COM5 and stays hidden in the
# tray; scans arrive whole and in order, with their added key, in the focused window; a
# second copy shows the warning box and ends; the tray menu's exit asks, and Yes removes
# the icon and ends the process.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup startup_scan_exit

write_com5_settings "$e2e_app/Lantorvix.ini"
check "Wine lists COM5 under hardware\\devicemap\\serialcomm" serialcomm_has_com5

start_in_tray
check "no message box at start" probe no-msgbox Lantorvix 3000
check "the settings window stays hidden" probe wait-window TForm1 hidden 10000
focus_target

send_code 0012
send_code ABC-123
send_code 000
send_code 5678
expected=$'12\rABC-123\r0\r5678\r'
expect_typed "scans typed whole, in order, zeros stripped, ENTER added" "$expected"

# A second copy: the warning box without an owner, then it ends; the first one goes on.
(cd "$e2e_app" && exec "$wine_bin" "$e2e_app/Lantorvix.exe") >/dev/null 2>&1 &
second=$!
e2e_pids+=("$second")
box=$(probe msgbox Lantorvix 30000 ok || true)
expect_eq "second copy: warning text" \
  'text "A Lantorvix.exe már fut!\r\n\r\nA programot nem lehet több példányban indítani!\r\n"' \
  "$(grep '^text' <<<"$box")"
expect_eq "second copy: OK button only" "buttons ok" "$(grep '^buttons' <<<"$box")"
expect_eq "second copy: box has no owner" "owner none" "$(grep '^owner' <<<"$box")"
check "second copy ends" wait_until 20 ended "$second"
check "first copy still runs" running "$e2e_program_pid"
check "still exactly one tray icon" tray_has_icons 1
focus_target
send_code 42
expected+=$'42\r'
expect_typed "scanning goes on after the refused copy" "$expected" 20

# Exit through the tray menu: No leaves everything, Yes ends the program.
tray_click 3 1
menu=$(probe menu 10000 last || true)
expect_eq "a right click opens the tray menu" "items" "$(grep -o '^items' <<<"$menu")"
box=$(probe msgbox Lantorvix 10000 no || true)
expect_eq "exit question" $'text "Biztosan ki akar lépni?"\nbuttons yes no\ndefault no' \
  "$(grep -E '^(text|buttons|default)' <<<"$box")"
check "No keeps the program running" running "$e2e_program_pid"
check "No keeps the tray icon" tray_has_icons 1

tray_click 3 1
probe menu 10000 last >/dev/null || true
probe msgbox Lantorvix 10000 yes >/dev/null || true
check "Yes removes the tray icon" wait_until 15 tray_has_icons 0
check "Yes ends the process" wait_until 30 ended "$e2e_program_pid"
set +e
wait "$e2e_program_pid"
rc=$?
set -e
expect_eq "exit code" 0 "$rc"
e2e_finish
