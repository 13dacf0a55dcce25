#!/usr/bin/env bash
# "Alkalmaz" while the scanner is out, with its port still selected: the port error box as
# always, and then the program still waits for the scanner and opens it when it is back.
E2E_SCANNER_LINK=scanner
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup apply_while_out

write_com5_settings "$e2e_app/Lantorvix.ini"
start_in_tray
focus_target
send_code A1
expected=$'A1\r'
expect_typed "a scan before the unplug" "$expected"

tray_click 1 2
check "double click shows the window" probe wait-window TForm1 visible 10000
expect_eq "the open port is selected" COM5 "$(port_selected)"
unplug_scanner
check "the link goes with the device" test ! -e "$e2e_link"
probe click btnOK >/dev/null
box=$(probe msgbox Lantorvix 15000 ok || true)
expect_eq "the port error box" 'text "Hiba a port nyitásakor!"' "$(grep '^text' <<<"$box")"

start_scanner
focus_target
send_code B2
expected+=$'B2\r'
expect_typed "the scanner is opened when it is back" "$expected"
check "the program still runs" running "$e2e_program_pid"
e2e_finish
