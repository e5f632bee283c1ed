#!/usr/bin/env bash
# Every test: installs what is missing, builds both trees, then runs the native tests
# and the Windows tests under Wine (one wineserver and one X display for the whole run).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export WINEPREFIX=$root/build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${1:-}" != --under-display ]; then
  bash tools/setup.sh || exit 1
  bash tools/build.sh || exit 1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" --under-display
fi

if [ ! -f "$WINEPREFIX/.zandle-fonts-uming" ]; then
  echo "test: initialising the Wine prefix" >&2
  mkdir -p "$WINEPREFIX"
  bash tools/wine-init.sh
fi
# The survey's tests at other DPIs run in copies of the prefix, made before its server runs.
prefixes=("$WINEPREFIX")
for dpi in 120 144 192; do prefixes+=("$(bash tools/wine-dpi-prefix.sh $dpi)") || exit 1; done
for prefix in "${prefixes[@]}"; do
  WINEPREFIX=$prefix wineserver -p  # one server per prefix, kept alive for the whole run
  # Wine's own services start with the first program and inherit its output: started here
  # with no output, they cannot hold a test's pipe open after the test has ended.
  WINEPREFIX=$prefix wine cmd /c exit </dev/null >/dev/null 2>&1
done
status=0
ctest --test-dir build/native --output-on-failure -j 2 || status=1
ctest --test-dir build/win32 --output-on-failure -j 2 || status=1
for prefix in "${prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k 2>/dev/null; done
exit $status
