#!/usr/bin/env bash
# Prints the test prefix for a display of DPI $1: the project's prefix ($WINEPREFIX) at 96,
# else a copy of it beside it ($WINEPREFIX-dpiN) made once, with the system DPI (LogPixels)
# set to N, as the display settings of Windows would set it. The project's prefix must be
# initialised (tools/wine-init.sh) and its wineserver stopped or flushed before the copy.
set -euo pipefail
dpi=${1:?usage: wine-dpi-prefix.sh DPI}
base=${WINEPREFIX:?WINEPREFIX must name the project prefix}
case "$dpi" in
  96) echo "$base"; exit 0 ;;
  *[!0-9]* | '') echo "wine-dpi-prefix: bad DPI $dpi" >&2; exit 2 ;;
esac
copy=$base-dpi$dpi
# Made again when the project's prefix has gained a set-up step (a marker) since the copy.
current() {
  [ -f "$copy/.zandle-dpi" ] || return 1
  local marker
  for marker in "$base"/.zandle-*; do
    [ -e "$marker" ] && [ ! -e "$copy/${marker##*/}" ] && return 1
  done
  return 0
}
if ! current; then
  exec 9>"$base.dpi$dpi.lock"
  flock 9
  if ! current; then
    rm -rf "$copy"
    cp -a "$base" "$copy.tmp"
    rm -f "$copy.tmp/.init.lock"
    mv "$copy.tmp" "$copy"
    (
      export WINEPREFIX=$copy
      # Wine reads the user's value and falls back to the hardware profile's.
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
      wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
      wineserver -w
    ) </dev/null
    touch "$copy/.zandle-dpi"
  fi
fi
echo "$copy"
