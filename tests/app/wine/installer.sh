#!/usr/bin/env bash
# The NSIS installer under Wine: a silent install with autostart puts Lantorvix.exe and its
# catalogues under Program Files, a writable settings file beside it and the program's
# autostart value (the same one the settings window writes); the uninstaller removes them.
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
: "${LANTORVIX_INSTALLER:?}" # and optionally LANTORVIX_ZIP
e2e_setup installer

if [ -n "${LANTORVIX_ZIP:-}" ]; then
  listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
    "$LANTORVIX_ZIP" 2>/dev/null || true)
  check "zip holds Lantorvix\\Lantorvix.exe" grep -qx 'Lantorvix/Lantorvix.exe' <<<"$listing"
  check "zip holds the catalogues" grep -qx 'Lantorvix/locale/hu/LC_MESSAGES/default.mo' <<<"$listing"
fi

installer=$e2e_run/setup.exe
cp "$LANTORVIX_INSTALLER" "$installer"
set +e
"$wine_bin" "$installer" /S /AUTOSTART=1 >/dev/null 2>&1
rc=$?
set -e
expect_eq "silent install succeeds" 0 "$rc"

program_dir_win=$("$wine_bin" cmd /c echo %ProgramW6432% 2>/dev/null | tr -d '\r')
[ -n "$program_dir_win" ] && [ "$program_dir_win" != "%ProgramW6432%" ] || program_dir_win='C:\Program Files'
install_win="$program_dir_win\\Lantorvix"
install_dir=$(winepath -u "$install_win" 2>/dev/null)
check "Lantorvix.exe installed" test -f "$install_dir/Lantorvix.exe"
check "catalogues installed beside it" test -f "$install_dir/locale/hu/LC_MESSAGES/default.mo"
check "settings file created beside it" test -f "$install_dir/Lantorvix.ini"
check "uninstaller installed" test -f "$install_dir/Uninstall.exe"
expect_eq "autostart value names the installed program" "$install_win\\Lantorvix.exe" "$(autostart_value)"

# The NSIS uninstaller copies itself away and returns at once: wait for its work.
"$wine_bin" "$install_win\\Uninstall.exe" /S >/dev/null 2>&1 || true
check "uninstall removes the program" wait_until 60 test ! -e "$install_dir/Lantorvix.exe"
check "uninstall removes the autostart value" wait_until 20 eval '[ -z "$(autostart_value)" ]'
e2e_finish
