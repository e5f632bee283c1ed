#!/usr/bin/env bash
# The end-to-end demo: builds everything, starts the statistics service on its embedded
# store, configures a tool so that "Print" asks for a rating, runs the sample tool
# (tools/sample-host, Zandle.dll) under Wine, presses its buttons with the pointer,
# photographs the survey popup, clicks a rating in it, and shows what the service stored
# and where its dashboard is.
#
#   bash tools/demo.sh             # on a virtual display (Xvfb)
#   bash tools/demo.sh --display   # on $DISPLAY: watch it, or click the survey yourself
#   bash tools/demo.sh --keep      # keep the service up for the dashboard until Ctrl-C
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
demo=$root/build/demo
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix} ZANDLE_CODEPAGE=936  # the survey's own language

# The part on a display: the sample tool, driven as a person would (xdotool).
if [ "${1:-}" = --session ]; then
  address=$2
  host=$demo/sample-tool.out
  xdo() { timeout 10 xdotool "$@"; }
  # First line of the tool's output matching the regex, waiting up to $2 seconds.
  wait_line() {
    local end=$((SECONDS + $2)) line
    while :; do
      line=$(grep -a -E -m1 -- "$1" "$host" || true)
      [ -n "$line" ] && { echo "$line"; return 0; }
      [ $SECONDS -ge $end ] && return 1
      sleep 0.1
    done
  }
  click_at() { xdo mousemove "$1" "$2" sleep 0.3 click 1; }
  (cd build/win32/bin && exec "$root/tools/wine-run.sh" zandle-sample-host.exe --server "$address" \
    --model DemoTool --version 1.0 --uin 1001 --link "http://$address/" --exit-after 90) >"$host" 2>"$demo/wine.log" &
  tool=$!
  trap 'kill $tool 2>/dev/null || true' EXIT

  wait_line '^ready' 90 >/dev/null || { echo "   the sample tool did not start; see $demo/wine.log"; exit 1; }
  functions=$(sed -n 's|^appinfo .*<FunName>\(.*\)</FunName>.*|\1|p' "$host")
  echo "   it named itself to the service, learnt that these functions ask for a rating: ${functions:-none}," \
       "and opened session $(wait_line '^session ' 1 | cut -d' ' -f2)"
  window=$(xdo search --sync --name '^Zandle sample tool$' | head -1)
  eval "$(xdo getwindowgeometry --shell "$window")"  # X, Y: the window's client area on the screen
  sleep 0.5

  echo "== pressing \"Log\" in the sample tool"
  click_at $((X + 57)) $((Y + 50))
  line=$(wait_line '^log ' 10) || line="log ?"
  [ "${line#log }" = 1 ] && echo "   an information line (level 2) went to the service" || echo "   the log line was not sent ($line)"

  echo "== pressing \"Print\": the tool does its work, then asks for a rating"
  click_at $((X + 157)) $((Y + 50))
  echo "   SatisfactionW returned 0 at once, as it always does: the popup runs on the tool's own" \
       "message loop, and the rating reaches the tool later, when the user clicks"

  if ! popup=$(wait_line '^popup 1 rect .* alpha 200 ' 15); then
    echo "   no survey appeared; the tool said:"; sed 's/^/     /' "$host"; exit 1
  fi
  read -r _ _ _ L T R B _ <<<"$popup"
  echo "   the survey faded in at the corner of the screen: $((R - L)) x $((B - T)) pixels at ($L, $T)"
  sleep 0.3
  import -window root -crop "$((R - L))x$((B - T))+$L+$T" +repage "$demo/survey.png"
  echo "   photographed: $demo/survey.png"

  echo "== clicking \"满意\" (level 1, satisfied) in the survey"
  click_at $((L + 85)) $((T + 82))
  if level=$(wait_line '^level ' 10); then
    echo "   the survey closed; the tool received rating ${level#level } through its message loop"
  else
    echo "   the tool received no rating"
  fi

  echo "== closing the sample tool (Alt+F4)"
  click_at $((X + 300)) $((Y + 110))
  xdo key alt+F4 || true
  if line=$(wait_line '^leave ' 15); then
    [ "${line#leave }" = 1 ] && echo "   it ended its session with the service" || echo "   ending the session failed"
  else
    echo "   it did not close; stopping it"
  fi
  wait_line '^closed' 5 >/dev/null || kill $tool 2>/dev/null || true
  wait $tool 2>/dev/null || true
  exit 0
fi

display_mode= keep=
for arg in "$@"; do
  case $arg in
    --display) display_mode=1 ;;
    --keep) keep=1 ;;
    *) echo "demo: unknown option \"$arg\" (use --display or --keep)" >&2; exit 2 ;;
  esac
done
if [ -n "$display_mode" ] && [ -z "${DISPLAY:-}" ]; then
  echo "--display needs an X display in \$DISPLAY" >&2
  exit 2
fi

rm -rf "$demo" && mkdir -p "$demo"
# ZANDLE_DEMO_BUILT=1 skips this when both trees are known to be up to date.
if [ -z "${ZANDLE_DEMO_BUILT:-}" ]; then
  echo "== installing what is missing and building the library, the sample tool, zandle-cli and the service (log: $demo/build.log)"
  # Only what the demo runs: the tests and benchmarks are left to tools/test.sh.
  build() {
    bash tools/setup.sh &&
      { [ -f build/win32/build.ninja ] || cmake -S . -B build/win32 -G Ninja \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo; } &&
      { [ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja -DCMAKE_C_COMPILER=clang \
          -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo; } &&
      cmake --build build/win32 --target Zandle zandle-sample-host zandle-cli &&
      cmake --build build/native --target zandle-service
  }
  if ! build >"$demo/build.log" 2>&1; then
    tail -n 40 "$demo/build.log"
    echo "the build failed; the whole log is $demo/build.log"
    exit 1
  fi
fi

token=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
build/native/bin/zandle-service --listen "127.0.0.1:${ZANDLE_DEMO_PORT:-0}" --store "sqlite:$demo/zandle.db" \
  --token "$token" > "$demo/service.out" 2> "$demo/service.log" &
service=$!
stop_service() {
  kill $service 2>/dev/null && wait $service 2>/dev/null
  echo "== the service has stopped (its store stays in $demo/zandle.db)"
}
trap stop_service EXIT
for _ in $(seq 100); do grep -q '^listening on ' "$demo/service.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$demo/service.out")
[ -n "$address" ] || { echo "the service did not start:"; cat "$demo/service.log"; exit 1; }
api() { curl -sS -H "Authorization: Bearer $token" "$@"; }

echo "== service on http://$address (store $demo/zandle.db)"
api -o /dev/null -d model=DemoTool -d warningLevel=2 -d functions=Print,Save "http://$address/config"
echo "== tool DemoTool configured: warning level 2 (errors, warnings and information are sent), survey functions Print and Save"

echo "== starting the sample tool (tools/sample-host) under Wine"
if [ -n "$display_mode" ]; then
  bash "$0" --session "$address"
else
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" --session "$address"
fi
wineserver -k 2>/dev/null || true

echo "== what the service stored"
api "http://$address/export/sessions.json" | python3 -c '
import json, sys
for s in json.load(sys.stdin):
    print("   session %d: user %d, tool %s %s, %s" % (s["loginDetailId"], s["uin"], s["tool"], s["version"],
          "ended" if s["left"] else "still open"))'
api "http://$address/export/logs.json" | python3 -c '
import json, sys
for r in json.load(sys.stdin):
    print("   log line (level %d) from %s: %s" % (r["level"], r["tool"], r["text"]))'
api "http://$address/export/satisfaction.json" | python3 -c '
import json, sys
names = {1: "satisfied", 2: "so-so", 3: "dissatisfied"}
rows = json.load(sys.stdin)
for r in rows:
    print("   Satisfaction: level %d (%s) for function %s of %s %s, user %d" % (
        r["level"], names.get(r["level"], "?"), r["function"], r["tool"], r["version"], r["uin"]))
if not rows:
    print("   no Satisfaction record")'
[ -f "$demo/survey.png" ] && echo "== the survey as the user saw it: $demo/survey.png"
echo "== dashboard: http://$address/?token=$token"
if [ -n "$keep" ]; then
  echo "   the service keeps running for the dashboard until Ctrl-C"
  trap 'exit 0' INT TERM
  while kill -0 $service 2>/dev/null; do sleep 1; done
elif [ -t 0 ] && [ -z "${CI:-}" ]; then
  read -r -p "   the service keeps running for the dashboard; press Enter to stop it. " _
fi
