#!/usr/bin/env bash
# Scanned data as data and long 2D codes: with LiteralCodes=1 the command characters of a
# code arrive as themselves, then the added ENTER; codes of 300, 1,000 and 3,000 characters
# in one burst each arrive whole, and the short scan after them too.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup literal_long_codes

write_com5_settings "$e2e_app/Lantorvix.ini" LiteralCodes=1
check "Wine lists COM5 under hardware\\devicemap\\serialcomm" serialcomm_has_com5

start_in_tray
check "no message box at start" probe no-msgbox Lantorvix 3000
focus_target

expected=""
# Wine's VkKeyScanA finds no key for "(" and ")" on this server's keymap (a box, in either
# mode); the X11 test covers them.
for code in '%{F4}x+a~^c{}' 'p?id=A+B%20C' '{ESC}%{TAB}'; do
  send_code "$code"
  expected+="$code"$'\r'
done
expect_typed "command characters typed as themselves, then ENTER" "$expected"

for length in 300 1000 3000; do
  code=$(head -c "$length" < <(yes 'ABCDEFGHIJ0123456789abcdefghij' | tr -d '\n'))
  send_code "$code"
  send_code "N9"
  expected+="$code"$'\r'"N9"$'\r'
done
expect_typed "long codes typed whole, and the scan after each" "$expected" 120
e2e_finish
