#!/usr/bin/env bash
# The end-to-end demo: builds everything, starts the statistics service on its embedded
# store, configures a tool, runs a scripted session of zandle-cli (Zandle.dll) under Wine
# against it, and shows what the service stored and where its dashboard is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh
bash tools/build.sh

demo=$root/build/demo
rm -rf "$demo" && mkdir -p "$demo"
token=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
build/native/bin/zandle-service --listen "127.0.0.1:${ZANDLE_DEMO_PORT:-0}" --store "sqlite:$demo/zandle.db" \
  --token "$token" > "$demo/service.out" 2> "$demo/service.log" &
service=$!
trap 'kill $service 2>/dev/null; wait $service 2>/dev/null' EXIT
for _ in $(seq 100); do grep -q '^listening on ' "$demo/service.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$demo/service.out")
[ -n "$address" ] || { echo "the service did not start:"; cat "$demo/service.log"; exit 1; }
api() { curl -sS -H "Authorization: Bearer $token" "$@"; }

echo "== service on http://$address (store $demo/zandle.db)"
api -o /dev/null -d model=DemoTool -d warningLevel=1 -d functions=Print,Save "http://$address/config"
echo "== tool DemoTool configured: warning level 1, survey functions Print and Save"

echo "== scripted session of zandle-cli.exe under Wine"
export WINEPREFIX=$root/build/wineprefix
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  tools/wine-run.sh build/win32/bin/zandle-cli.exe --server "$address" \
  getappinfo 1001 DemoTool 1.0 \
  userenter 1001 Demo \
  writelog 0 0 "demo started" \
  writelog 0 1 "opened drawing.dwg" \
  writelog 0 2 "verbose detail (above the warning level: not sent)" \
  satisfaction 0 Print "http://$address/" \
  userleave last | tr -d '\r' | sed 's/^/   /' || true
WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true

echo "== what the service stored"
echo "-- sessions"; api "http://$address/export/sessions.csv"; echo
echo "-- log lines"; api "http://$address/export/logs.csv"; echo
echo "== dashboard: http://$address/?token=$token"
if [ -t 0 ] && [ -z "${CI:-}" ]; then
  read -r -p "The service keeps running for the dashboard; press Enter to stop it. " _
fi
