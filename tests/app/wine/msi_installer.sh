#!/usr/bin/env bash
# The Windows Installer package under Wine, as a software-distribution tool uses it: a silent
# install puts Lantorvix.exe, its catalogues and a settings file under Program Files and a
# Start-menu shortcut; the program started from the shortcut opens its port and types a scan;
# a higher version installed over it leaves one copy and the user's settings; a silent
# uninstall removes every program file and leaves the settings file.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
: "${LANTORVIX_MSI:?}" "${LANTORVIX_MSI_VERSION:?}" "${LANTORVIX_MSI_NEXT:?}" "${LANTORVIX_MSI_NEXT_VERSION:?}"
e2e_setup msi_installer

# msiexec <args...>: its exit code; msiexec returns when the installation has ended.
msiexec() {
  local rc=0
  "$wine_bin" msiexec "$@" >/dev/null 2>&1 || rc=$?
  echo "$rc"
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The versions of the installed products named Lantorvix, one a line.
installed_versions() {
  "$wine_bin" reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { name = ""; version = "" }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    name == "Lantorvix" && version != "" { print version; name = "" }'
}
win_var() { "$wine_bin" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

cp "$LANTORVIX_MSI" "$e2e_run/Lantorvix.msi"
cp "$LANTORVIX_MSI_NEXT" "$e2e_run/Lantorvix-next.msi"
msi_win=$(winepath -w "$e2e_run/Lantorvix.msi")
next_win=$(winepath -w "$e2e_run/Lantorvix-next.msi")

expect_eq "silent install succeeds" 0 "$(msiexec /i "$msi_win" /qn)"
install_win="$(win_var ProgramW6432)\\Lantorvix"
install_dir=$(winepath -u "$install_win" 2>/dev/null)
# Windows puts a per-machine package's shortcuts into every user's Start menu; Wine's
# Windows Installer into the installing user's whatever the package says. So the package is
# checked for its per-machine property, and the shortcut looked for in both places.
check "the package installs per machine" grep -qx $'ALLUSERS\t1' \
  <(msiinfo export "$LANTORVIX_MSI" Property 2>/dev/null | tr -d '\r')
shortcut_win=
for menu in "$(win_var ProgramData)\\Microsoft\\Windows" "$(win_var APPDATA)\\Microsoft\\Windows"; do
  if [ -f "$(winepath -u "$menu\\Start Menu\\Programs\\Lantorvix\\Lantorvix.lnk" 2>/dev/null)" ]; then
    shortcut_win="$menu\\Start Menu\\Programs\\Lantorvix\\Lantorvix.lnk"
  fi
done
shortcut=$(winepath -u "${shortcut_win:-C:\\none}" 2>/dev/null)
check "Lantorvix.exe under Program Files" test -f "$install_dir/Lantorvix.exe"
check "catalogues beside it" test -f "$install_dir/locale/hu/LC_MESSAGES/default.mo"
check "settings file beside it" test -f "$install_dir/Lantorvix.ini"
check "Start-menu shortcut" test -n "$shortcut_win"
expect_eq "no autostart: the program's check box decides" "" "$(autostart_value)"
expect_eq "one product installed, of this version" "$LANTORVIX_MSI_VERSION" "$(installed_versions)"

# The program, started from the shortcut, scans with the settings of the installed file.
write_com5_settings "$install_dir/Lantorvix.ini"
start_target
LD_PRELOAD=${LANTORVIX_PTY_SHIM:-} "$wine_bin" start "$shortcut_win" >"$e2e_run/program.log" 2>&1
check "the program started from the shortcut shows its tray icon" wait_until 30 tray_has_icons 1
check "no message box at start (the port opened)" probe no-msgbox Lantorvix 3000
focus_target
send_code 0042
expect_typed "a scan typed by the installed program" $'42\r'
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true

expect_eq "silent install of a higher version over it succeeds" 0 "$(msiexec /i "$next_win" /qn)"
expect_eq "one product left, the higher version" "$LANTORVIX_MSI_NEXT_VERSION" "$(installed_versions)"
check "the program is still there" test -f "$install_dir/Lantorvix.exe"
check "the upgrade keeps the user's settings" grep -q 'PortNum=5' "$install_dir/Lantorvix.ini"

expect_eq "silent uninstall succeeds" 0 "$(msiexec /x "$next_win" /qn)"
expect_eq "no product left" "" "$(installed_versions)"
expect_eq "no program file left" "Lantorvix.ini" "$(cd "$install_dir" && find . -mindepth 1 | sed 's|^\./||')"
check "the user's settings file stays" grep -q 'PortNum=5' "$install_dir/Lantorvix.ini"
check "no shortcut left, nor its Start-menu folder" test ! -e "$(dirname "$shortcut")"
e2e_finish
