#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: the project's prefix, quiet Wine,
# the code page the test asks for (ZANDLE_CODEPAGE=936 runs under zh_CN.UTF-8) and the
# display's DPI (ZANDLE_DPI=120 runs in a copy of the prefix set to 120 DPI).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
case "${ZANDLE_CODEPAGE:-1252}" in
  936) export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 ;;
  *)   export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 ;;
esac
export DISPLAY=${DISPLAY:-:99}
# Wine honours http_proxy for pre-configured access; the tests talk to loopback only.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
if [ ! -f "$WINEPREFIX/.zandle-fonts-uming" ]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.init.lock" bash "$here/tools/wine-init.sh"
fi
if [ -n "${ZANDLE_DPI:-}" ]; then
  WINEPREFIX=$(bash "$here/tools/wine-dpi-prefix.sh" "$ZANDLE_DPI") || exit 1
  export WINEPREFIX
fi
exec wine "$@"
