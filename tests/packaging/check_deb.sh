#!/usr/bin/env bash
# Checks the built package: its files, its control fields, lintian, the desktop entry.
# check_deb.sh <dir with lantorvix_*.deb> <version>
set -uo pipefail
dir=$1 version=$2
debs=("$dir"/lantorvix_*.deb)
deb=${debs[0]}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

[ "$(basename "$deb")" = "lantorvix_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "file name $(basename "$deb")"

contents=$(dpkg-deb --contents "$deb") || exit 1
for entry in \
  ./usr/lib/lantorvix/lantorvix \
  ./usr/lib/lantorvix/locale/hu/LC_MESSAGES/default.mo \
  './usr/bin/lantorvix -> ../lib/lantorvix/lantorvix' \
  ./usr/bin/lantorvix-scanner-sim \
  ./usr/share/applications/lantorvix.desktop \
  ./usr/share/icons/hicolor/16x16/apps/lantorvix.png \
  ./usr/share/icons/hicolor/48x48/apps/lantorvix.png \
  ./usr/share/icons/hicolor/256x256/apps/lantorvix.png \
  ./usr/lib/udev/rules.d/60-lantorvix-uinput.rules \
  ./usr/lib/modules-load.d/lantorvix-uinput.conf \
  ./usr/share/man/man1/lantorvix.1.gz \
  './usr/share/man/man1/lantorvix-scanner-sim.1.gz -> lantorvix.1.gz' \
  ./usr/share/doc/lantorvix/copyright; do
  grep -qF -- " $entry" <<<"$contents" || fail "not in the package: $entry"
done
grep -E '^-rwxr-xr-x .* \./usr/(lib/lantorvix/lantorvix|bin/lantorvix-scanner-sim)$' <<<"$contents" |
  wc -l | grep -qx 2 || fail "the programs are not executable"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lantorvix ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
# What dpkg-shlibdeps finds: the C++ runtime, Qt and X libraries the program links.
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libx11-6 libxtst6 libxkbcommon0 libwayland-client0; do
  grep -qE "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q '(>= ' <<<"$depends" || fail "Depends without versions: $depends"
[ "$(field Recommends)" = "gnome-shell-extension-appindicator, qt6-wayland" ] || fail "Recommends: $(field Recommends)"
description=$(field Description)
grep -q '^serial barcode scanner as a keyboard$' <<<"$(head -1 <<<"$description")" ||
  fail "Description synopsis: $(head -1 <<<"$description")"
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
desktop-file-validate "$tmp/usr/share/applications/lantorvix.desktop" || fail "desktop-file-validate"
grep -qx 'uinput' "$tmp/usr/lib/modules-load.d/lantorvix-uinput.conf" || fail "modules-load entry"
grep -q 'KERNEL=="uinput".*GROUP="uinput".*MODE="0660"' "$tmp/usr/lib/udev/rules.d/60-lantorvix-uinput.rules" ||
  fail "udev rule"
grep -q 'GROUP="input"' "$tmp/usr/lib/udev/rules.d/60-lantorvix-uinput.rules" && fail "uinput open to the group input"
dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./postinst | grep -q 'addgroup --system uinput' ||
  fail "the package does not make the group uinput"
grep -q '^License: Expat$' "$tmp/usr/share/doc/lantorvix/copyright" || fail "the copyright file names no licence"
zcat "$tmp/usr/share/man/man1/lantorvix.1.gz" | sed -n '/^\.SH NAME/{n;p}' | grep -q '^lantorvix, lantorvix\\-scanner\\-sim ' ||
  fail "the manual page's NAME line lacks lantorvix-scanner-sim"
for size in 16 22 24 32 48 64 128 256; do
  file "$tmp/usr/share/icons/hicolor/${size}x${size}/apps/lantorvix.png" |
    grep -q "PNG image data, $size x $size" || fail "icon ${size}x${size}"
done

# Debian's hardening, in both programs. Fortified functions show only where a call needs a
# run-time check, which these programs' calls do not (build_deb.sh checks the flag itself).
for program in usr/lib/lantorvix/lantorvix usr/bin/lantorvix-scanner-sim; do
  report=$(hardening-check "$tmp/$program" 2>&1)
  echo "$report"
  for item in 'Position Independent Executable' 'Stack protected' 'Read-only relocations' \
    'Immediate binding'; do
    grep -q "^ $item: yes" <<<"$report" || fail "$program: $item"
  done
  grep -qE '^ Fortify Source functions: (yes|no, only unprotected functions found!$)' <<<"$report" ||
    fail "$program: Fortify Source functions"
done

# lintian: no errors and no hardening tag, even pedantic; the rest is printed for the record.
lintian_out=$(timeout 300 lintian -I --pedantic --tag-display-limit 0 "$deb" 2>&1)
echo "$lintian_out"
grep -q '^E: ' <<<"$lintian_out" && fail "lintian reports errors"
grep -q ' hardening-' <<<"$lintian_out" && fail "lintian reports missing hardening"

[ $failed -eq 0 ] && echo "package checks passed"
exit $failed
