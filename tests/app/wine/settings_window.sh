#!/usr/bin/env bash
# The settings window under Wine: opened from the tray, laid out as designed (screenshot
# kept as an artifact), choices acting at once, Apply writing the settings file and the
# autostart value (and removing it), Cancel and the close button only hiding, and the
# no-port question.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup settings_window

printf '[PORT]\r\nPortNum=5\r\nBaudRate=4800\r\n[SCANNER]\r\nStopString=ENTER\r\n[PROGRAM]\r\nAddedString=TAB\r\nDiscardNull=0\r\n' \
  >"$e2e_app/Lantorvix.ini"

start_in_tray
check "the window starts hidden" probe wait-window TForm1 hidden 10000
focus_target

# A double click on the icon shows the window.
tray_click 1 2
check "double click shows the window" probe wait-window TForm1 visible 10000

state=$(probe state || true)
# The port list is Wine's (COM1 on /dev/ttyS0 too): COM5 must be in it and chosen.
expect_eq "the configured port is selected" "COM5" "$(port_selected)"
expect_eq "controls show the settings file and the registry" \
  $'visible 1\ncmbBaud 2 "1200" "2400" "4800" "9600" "19200"\ncmbStop 0 "ENTER (CR/LF)" "CR"\ncmbAdd 2 "NINCS" "ENTER (CR/LF)" "TAB"\nchkDiscNull 0\nChkAutoRun 0' \
  "$(grep -v '^cmbPort' <<<"$state")"

# Layout against the designed table: name, left, top, width, height, text.
layout=$(probe layout || true)
grep -v '^control' <<<"$layout" | sed 's/^/       /'
expect_eq "caption" 'caption "Lantorvix - Beállítások"' "$(grep '^caption' <<<"$layout")"
expect_eq "client area" "client 337 212" "$(grep '^client' <<<"$layout")"
expect_eq "centred on the screen" "centred 1" "$(grep '^centred' <<<"$layout")"
expect_eq "frame: sizeable, minimise box, no maximise box" \
  "style sysmenu=1 minimizebox=1 maximizebox=0 thickframe=1" "$(grep '^style' <<<"$layout")"
expect_eq "button-face background" "background btnface" "$(grep '^background' <<<"$layout")"
while IFS='|' read -r name left top width height text; do
  line=$(grep "^control $name " <<<"$layout" || true)
  read -r _ _ _ l t w h _ <<<"$line"
  if [ "$width" == "-" ]; then w="-"; fi # auto-sized labels: position and height only
  expect_eq "$name at $left,$top size $width x $height" "$left $top $width $height" "$l $t $w $h"
  if [ -n "$text" ]; then
    expect_eq "$name text" "\"$text\"" "\"$(sed -E 's/^.*"(.*)"$/\1/' <<<"$line")\""
  fi
done <<'TABLE'
Label5|0|12|169|17|Kommunikáció:
Label2|12|32|-|13|Port:
cmbPort|12|48|65|21|
Label8|88|32|-|13|Sebesség:
cmbBaud|88|48|65|21|
Bevel2|10|80|141|9|
Label6|0|100|169|17|Vonalkódolvasó:
Label7|32|124|-|13|Lezáró karakter: 
cmbStop|32|140|105|21|
Bevel1|167|16|2|145|
Label4|168|12|169|17|Program:
chkDiscNull|184|44|129|25|Vezető nullák eldobása
ChkAutoRun|184|84|129|17|Bekapcsoláskor indul
Label3|198|124|-|13|Hozzáadott adat: 
cmbAdd|198|140|105|21|
btnOK|88|184|71|25|Alkalmaz
btnCancel|178|184|71|25|Mégse
Image1|304|184|33|33|
TABLE
expect_eq "drop-down lists accept only their items" "4" \
  "$(grep -c '^control cmb.* ComboBox .* dropdownlist=1' <<<"$layout")"
expect_eq "tab order" "tab cmbPort chkDiscNull btnOK btnCancel ChkAutoRun cmbAdd cmbStop cmbBaud" \
  "$(grep '^tab' <<<"$layout")"

window_id=$(xdotool search --name '^Lantorvix - Beállítások$' 2>/dev/null | head -n 1 || true)
if [ -n "$window_id" ]; then
  import -window "$window_id" "$artifacts/wine-settings-window.png"
fi
import -window root "$artifacts/wine-settings-screen.png"
check "screenshot of the settings window saved" test -s "$artifacts/wine-settings-window.png"

# A changed added key and zero stripping act on the next scan, before Apply.
probe select cmbAdd 1 >/dev/null
probe check chkDiscNull 1 >/dev/null
wait_until 10 eval '[ "$(probe state | grep ^cmbAdd)" == "cmbAdd 1 \"NINCS\" \"ENTER (CR/LF)\" \"TAB\"" ]' || true
focus_target
send_code 007
expect_typed "changed choices act at once" $'7\r' 20

# Apply with autostart checked: port reopened, file saved, Run value written, window hidden.
probe check ChkAutoRun 1 >/dev/null
probe select cmbBaud 4 >/dev/null
probe click btnOK >/dev/null
check "Apply hides the window" probe wait-window TForm1 hidden 15000
wait_until 10 eval '[ -n "$(autostart_value)" ]' || true
expect_eq "Apply with autostart writes the Run value" "$e2e_app_win" "$(autostart_value)"
expect_eq "INI PORT/PortNum" 5 "$(ini_value PORT PortNum)"
expect_eq "INI PORT/BaudRate" 19200 "$(ini_value PORT BaudRate)"
expect_eq "INI SCANNER/StopString" ENTER "$(ini_value SCANNER StopString)"
expect_eq "INI PROGRAM/AddedString" ENTER "$(ini_value PROGRAM AddedString)"
expect_eq "INI PROGRAM/DiscardNull" 1 "$(ini_value PROGRAM DiscardNull)"
focus_target
send_code 0100
expect_typed "the reopened port is read" $'7\r100\r' 20

# "Beállítások" from the tray menu; autostart unchecked and applied removes the value.
tray_click 3 1
probe menu 10000 first >/dev/null || true
check "the menu's settings item shows the window" probe wait-window TForm1 visible 10000
expect_eq "the autostart box reads the registry" "ChkAutoRun 1" "$(probe state | grep '^ChkAutoRun')"
probe check ChkAutoRun 0 >/dev/null
probe click btnOK >/dev/null
check "Apply hides the window again" probe wait-window TForm1 hidden 15000
wait_until 10 eval '[ -z "$(autostart_value)" ]' || true
expect_eq "Apply without autostart removes the Run value" "" "$(autostart_value)"

# Cancel keeps the choice in memory but does not save it; the close button only hides.
tray_click 1 2
probe wait-window TForm1 visible 10000 >/dev/null || true
probe select cmbStop 1 >/dev/null
probe click btnCancel >/dev/null
check "Cancel hides the window" probe wait-window TForm1 hidden 10000
expect_eq "Cancel saves nothing" ENTER "$(ini_value SCANNER StopString)"
tray_click 1 2
probe wait-window TForm1 visible 10000 >/dev/null || true
expect_eq "the window shows the cancelled choice" 'cmbStop 1 "ENTER (CR/LF)" "CR"' "$(probe state | grep '^cmbStop')"
probe close >/dev/null
check "the close button hides the window" probe wait-window TForm1 hidden 10000
check "the close button keeps the program" running "$e2e_program_pid"

# Apply with no port asks first; No changes nothing.
tray_click 1 2
probe wait-window TForm1 visible 10000 >/dev/null || true
probe select cmbPort 0 >/dev/null
probe click btnOK >/dev/null
box=$(probe msgbox Lantorvix 10000 no || true)
expect_eq "no-port question" \
  $'text "Nem adott meg portot!\\r\\nBiztos menteni akar?"\nbuttons yes no\ndefault no' \
  "$(grep -E '^(text|buttons|default)' <<<"$box")"
check "No leaves the window open" probe wait-window TForm1 visible 5000
expect_eq "No saves nothing" 5 "$(ini_value PORT PortNum)"
e2e_finish
