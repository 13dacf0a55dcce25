#!/usr/bin/env bash
# Maps a Windows COM port onto a device path in the tests' Wine prefix:
#   wine-com-port.sh COM7 /dev/pts/5
# The prefix is $LANTORVIX_WINEPREFIX (default ./wineprefix), created if needed. The value
# goes under HKLM\Software\Wine\Ports; the wineserver is then shut down so that the next
# Wine start creates the dosdevices/comN link and the hardware\devicemap\serialcomm value
# itself, as it does for every configured port.
set -euo pipefail
port=${1:?COM port name, e.g. COM7}
device=${2:?device path, e.g. /dev/pts/5}
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=${LANTORVIX_WINEPREFIX:-$PWD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine_bin=$(command -v wine || command -v wine64)

"$here/wine-prefix.sh"
DISPLAY= "$wine_bin" reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ /d "$device" /f >/dev/null
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
