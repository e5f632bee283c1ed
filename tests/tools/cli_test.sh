#!/usr/bin/env bash
# zandle-cli against a stand-in service: a scripted session and its requests.
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
python3 "$here/fake_service.py" "$work/requests.jsonl" > "$work/server.out" &
server=$!
for _ in $(seq 50); do grep -q listening "$work/server.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$work/server.out")
fail() { echo "FAIL: $*"; echo "--- output"; cat "$work/out" 2>/dev/null; echo "--- requests"; cat "$work/requests.jsonl" 2>/dev/null; exit 1; }

cd "$bin"
"$here/../../tools/wine-run.sh" zandle-cli.exe --server "$address" --by-ordinal \
  getappinfo 0 Tool 1.0 userenter 42 Demo writelog 0 1 "a&b=c" userleave last > "$work/out" 2>&1 \
  || fail "session exited with $?"
tr -d '\r' < "$work/out" > "$work/out.txt"
grep -qx 'getAppInfoW -> "<AppInfo><WarningLevel>2</WarningLevel><FunName>Print,Save</FunName></AppInfo>"' "$work/out.txt" || fail getappinfo
grep -qx 'UserEnterW -> 101' "$work/out.txt" || fail userenter
grep -qx 'UserLeave -> 1' "$work/out.txt" || fail userleave
grep -qx 'WriteLogW -> 1' "$work/out.txt" || fail writelog
python3 - "$work/requests.jsonl" <<'PY' || fail "requests"
import json, sys
reqs = [json.loads(l) for l in open(sys.argv[1])]
got = [(r["method"], r["body"]) for r in reqs]
want = [("GetAppInfo", "strLoginUIN=0&strModelNameVer=Tool,1.0"),
        ("UserEnter", "strLoginUIN=42&strModelNameVer=Tool-Demo,1.0"),
        ("WriteLog", "strLoginUIN=42&strLogInfo=Tool,1.0[a%26b%3Dc]&nLogLevel=1"),
        ("UserLeave", "nLoginDetailID=101")]
assert got == want, got
assert all(r["version"] == "HTTP/1.0" and r["type"] == "application/x-www-form-urlencoded" for r in reqs)
PY

# A line the warning level holds back (0 before any GetAppInfo) is not a failure; bad usage gives 2.
"$here/../../tools/wine-run.sh" zandle-cli.exe --server "$address" writelog 0 3 x > "$work/out" 2>&1
[ $? -eq 0 ] || fail "held-back line should exit 0"
tr -d '\r' < "$work/out" | grep -qx 'WriteLogW -> 0   (held back by the warning level: level 3 > 0; not sent)' ||
  fail "held-back line"
"$here/../../tools/wine-run.sh" zandle-cli.exe frobnicate > /dev/null 2>&1
[ $? -eq 2 ] || fail "usage error should exit 2"
echo "cli session: ok"
