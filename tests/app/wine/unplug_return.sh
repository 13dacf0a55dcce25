#!/usr/bin/env bash
# The scanner goes away and comes back, twice: COM5 is mapped onto a path whose
# pseudo-terminal hangs up and is made anew. Nobody touches the program: it notices the
# loss, retries once a second (Wine sends no device notices for pseudo-terminals), opens
# COM5 again and types the next scan, without a message box or its window.
E2E_SCANNER_LINK=scanner
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup unplug_return

write_com5_settings "$e2e_app/Lantorvix.ini"
start_in_tray
check "the settings window stays hidden" probe wait-window TForm1 hidden 10000
focus_target
send_code A1
expected=$'A1\r'
expect_typed "a scan before the unplug" "$expected"

for round in 1 2; do
  unplug_scanner
  check "round $round: the link goes with the device" test ! -e "$e2e_link"
  start_scanner
  send_code "B$round"
  expected+="B$round"$'\r'
  expect_typed "round $round: the next scan is typed without any action" "$expected"
done
check "the program still runs" running "$e2e_program_pid"
check "no message box" probe no-msgbox Lantorvix 2000
check "the settings window stayed hidden" probe wait-window TForm1 hidden 1000
e2e_finish
