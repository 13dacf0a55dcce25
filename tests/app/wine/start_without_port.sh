#!/usr/bin/env bash
# Start-up with a configured port that is not present: no error box, the settings window
# is shown with no port selected; choosing COM5 and applying opens it, saves the file and
# hides the window, and scans are typed.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup start_without_port

printf '[PORT]\r\nPortNum=7\r\n' >"$e2e_app/Lantorvix.ini"
start_target
start_program
check "the settings window is shown" probe wait-window TForm1 visible 30000
check "no error box for a missing port" probe no-msgbox Lantorvix 3000
expect_eq "no port selected" NINCS "$(port_selected)"
com5=$(port_index COM5)
check "COM5 is listed" test -n "$com5"
expect_eq "defaults for missing keys" \
  $'cmbBaud 3 "1200" "2400" "4800" "9600" "19200"\ncmbStop 0 "ENTER (CR/LF)" "CR"\ncmbAdd 0 "NINCS" "ENTER (CR/LF)" "TAB"\nchkDiscNull 1' \
  "$(probe state | grep -E '^(cmbBaud|cmbStop|cmbAdd|chkDiscNull)')"

probe select cmbPort "${com5:-1}" >/dev/null
probe select cmbAdd 2 >/dev/null
probe check ChkAutoRun 0 >/dev/null
probe click btnOK >/dev/null
check "Apply with COM5 hides the window" probe wait-window TForm1 hidden 15000
expect_eq "the file names COM5" 5 "$(ini_value PORT PortNum)"
expect_eq "the file holds the added key" TAB "$(ini_value PROGRAM AddedString)"
focus_target
send_code 0042
expect_typed "scans typed after Apply" $'42\t' 20
e2e_finish
