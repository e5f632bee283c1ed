#!/usr/bin/env bash
# Prepares the Wine prefix in $WINEPREFIX once: wineboot, then what a Windows install
# would have: SimSun, which the system fonts link to for Chinese text, is served by
# WenQuanYi Zen Hei, so wide Chinese text renders in code page 1252 as well.
set -u
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.zandle-fonts" ]; then
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d "WenQuanYi Zen Hei" /f >/dev/null 2>&1 &&
    touch "$WINEPREFIX/.zandle-fonts"
fi
wineserver -w
