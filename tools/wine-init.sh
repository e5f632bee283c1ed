#!/usr/bin/env bash
# Prepares the Wine prefix in $WINEPREFIX once: wineboot, then what a Windows install
# would have: SimSun, which the system fonts link to for Chinese text, is served by
# AR PL UMing CN, SimSun's design and metrics with its 12-pixel bitmaps, so Chinese
# text renders whole and crisp, in code page 1252 as well.
set -u
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.zandle-fonts-uming" ]; then
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d "AR PL UMing CN" /f >/dev/null 2>&1 &&
    touch "$WINEPREFIX/.zandle-fonts-uming"
fi
wineserver -w
