#!/usr/bin/env bash
# The popup shown by a real host program under Wine and driven with real pointer and
# keyboard input (xdotool) on the X display: placement, hover hold, clicks, drags.
# Usage: real_input_test.sh popup_real_host.exe picture-dir
set -u
host=$1
pictures=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
export DISPLAY=${DISPLAY:-:99}
# A prefix of its own: windows of other programs in a shared one take part in Wine's
# hit-testing and focus, and steal the pointer's clicks.
export WINEPREFIX=${REAL_INPUT_WINEPREFIX:-$root/build/wineprefix-real-input}
# The survey's own language, so that its captions have glyphs in the screenshot.
export ZANDLE_CODEPAGE=${ZANDLE_CODEPAGE:-936}
for tool in xdotool xwininfo import convert; do
  command -v $tool >/dev/null || { echo "real_input_test: $tool is missing"; exit 1; }
done
work=$(mktemp -d)
failures=0
scenario=
log=
host_pid=

# Survey layout, client coordinates (left, top, right, bottom).
level_x=(85 170 255)  # centres of the three level buttons
level_y=82
close_x=316 close_y=22
inert_x=20 inert_y=100      # background, no item
heading_x=100 heading_y=25  # title: id 0, no link, so inert
away_x=300 away_y=250       # over the main window

cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL [$scenario]: $*"
  failures=$((failures + 1))
}

# Every xdotool call is bounded: --sync waits for a pointer that may never move.
xdo() { timeout 10 xdotool "$@"; }

start_host() {
  scenario=$1
  shift
  log=$work/$scenario.log
  : >"$log"
  xdo mousemove --sync $away_x $away_y
  "$root/tools/wine-run.sh" "$host" "$@" >"$log" 2>"$work/$scenario.err" &
  host_pid=$!
}

# First line matching the regex, waiting up to $2 seconds.
wait_line() {
  local end=$((SECONDS + $2)) line
  while :; do
    line=$(grep -E -m1 -- "$1" "$log")
    [ -n "$line" ] && { echo "$line"; return 0; }
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

# The $2-th line matching the regex, waiting up to $3 seconds.
wait_nth() {
  local end=$((SECONDS + $3)) line
  while :; do
    line=$(grep -E -- "$1" "$log" | sed -n "${2}p")
    [ -n "$line" ] && { echo "$line"; return 0; }
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

rect_of() { echo "$1" | awk '{print $2, $3, $4, $5}'; }

expect_rect() {
  local what=$1 line=$2 want=$3
  [ "$(rect_of "$line")" = "$want" ] || fail "$what: got '$(rect_of "$line")', want '$want'"
}

# The host has gone, by itself or after being told to wait no longer.
finish_host() {
  local end=$((SECONDS + 15))
  while kill -0 "$host_pid" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.1; done
  if kill -0 "$host_pid" 2>/dev/null; then
    fail "host still running"
    kill "$host_pid"
  fi
  wait "$host_pid" 2>/dev/null
  host_pid=
  grep -q '^end ' "$log" || fail "no end line"
  # The popup never takes the focus from its owner.
  grep -vq 'fg=1 act=1' "$log" && grep -v 'fg=1 act=1' "$log" | sed 's/^/  focus lost: /' && fail "focus moved"
  if [ "$failures" -ne "${failures_before:-0}" ]; then
    echo "--- $scenario log"
    cat "$log" "$work/$scenario.err"
  fi
  failures_before=$failures
}

# Waits for the popup to be shown and its X window mapped; sets L T R B W H.
popup_shown() {
  local line
  line=$(wait_line '^popup ' 20) || { fail "popup never shown"; return 1; }
  read -r L T R B <<<"$(rect_of "$line")"
  W=$((R - L)) H=$((B - T))
  local end=$((SECONDS + 10))
  until xwininfo -root -tree | grep popup_real_host | grep -q " ${W}x${H}+${L}+${T} "; do
    [ $SECONDS -ge $end ] && { fail "no X window ${W}x${H}+${L}+${T}"; return 1; }
    sleep 0.05
  done
}

click_at() { xdo mousemove --sync "$1" "$2" click 1; }

# Button down at $1,$2, moves through the rest of the points; no release.
press_and_move() {
  xdo mousemove --sync "$1" "$2"
  sleep 0.2
  xdo mousedown 1
  sleep 0.2  # the drag loop reads its start point after the press
  shift 2
  while [ $# -ge 2 ]; do
    xdo mousemove "$1" "$2"
    sleep 0.1
    shift 2
  done
}

pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

# The host's first line: Wine may take long to start on a loaded machine. Without
# it the scenario goes on to fail its checks, not to stop the script (set -u).
workarea() {
  local line
  line=$(wait_line '^workarea ' 45) || { fail "no workarea line"; AL=0 AT=0 AR=0 AB=0; return 1; }
  read -r AL AT AR AB <<<"$(rect_of "$line")"
}

# a. Bottom-right corner of the work area, the size asked for, topmost tool window.
placement() {
  start_host placement --anim 1 --anim-delay 300 --show-delay 1500 --transparency 255 --size 337x121 --exit-on-close
  workarea
  if popup_shown; then
    expect_rect "popup rectangle" "$(wait_line '^popup ' 1)" "$((AR - 337)) $((AB - 121)) $AR $AB"
    grep -E '^(state|popup) ' "$log" | grep -v 'topmost=1 tool=1' | grep -v '^state 0' && fail "not a topmost tool window"
    # The screen shows it exactly there: the root around it, the popup's own pixels inside.
    shot=$work/placement.png
    import -window root "$shot"
    background=$(pixel "$shot" 700 20)
    [ "$(pixel "$shot" $((L - 1)) $((T + 40)))" = "$background" ] || fail "left of the popup is not background"
    [ "$(pixel "$shot" $((L + 40)) $((T - 1)))" = "$background" ] || fail "above the popup is not background"
    [ "$(pixel "$shot" "$L" $((T + 40)))" != "$background" ] || fail "popup's left edge not drawn"
    [ "$(pixel "$shot" $((R - 1)) $((B - 1)))" != "$background" ] || fail "popup's bottom-right pixel not drawn"
  fi
  wait_line '^state 0' 15 >/dev/null || fail "did not close by itself"
  [ "$(grep -E '^state ' "$log" | awk '{print $2}' | tr '\n' ' ')" = "1 2 3 0 " ] || fail "states not 1 2 3 0"
  finish_host
}

# b. The pointer over it holds it past its show delay, fully opaque; leaving lets it go.
hover() {
  start_host hover --trace --anim 1 --anim-delay 1000 --show-delay 1000 --transparency 200 --exit-on-close
  workarea
  if wait_line '^state 1' 20 >/dev/null; then
    # The window appears with the first animation step: nudge until it notices the pointer.
    end=$((SECONDS + 10))
    x=$((AR - 200)) y=$((AB - 60))
    until grep -q '^hover 1' "$log" || [ $SECONDS -ge $end ]; do
      xdo mousemove --sync $x $y
      x=$((x ^ 1))
      sleep 0.1
    done
    hover=$(wait_line '^hover 1' 1) || fail "hover never seen"
    [ "$(echo "$hover" | awk '{print $4}')" = 255 ] || fail "alpha while hovered: $hover"
    wait_line '^state 2' 10 >/dev/null || fail "never shown"
    sleep 3
    grep -q '^state 3' "$log" && fail "collapsed while hovered"
    xdo mousemove --sync $away_x $away_y
    left=$(wait_line '^hover 0' 5) || fail "leaving not seen"
    [ "$(echo "$left" | awk '{print $4}')" = 200 ] || fail "alpha after leaving: $left"
    wait_line '^state 3' 5 >/dev/null || fail "no collapse after leaving"
    wait_line '^state 0' 5 >/dev/null || fail "not closed after collapsing"
    [ "$(grep -nE '^(hover 0|state 3)' "$log" | cut -d: -f2 | awk '{print $1}' | tr '\n' ' ')" = "hover state " ] ||
      fail "collapse began before the pointer left"
  else
    fail "never started"
  fi
  finish_host
}

# c. Level buttons reach the owner; a press released elsewhere is no click; the close
#    item closes without a click. With allowMove off the inert title reports id 0.
clicks() {
  start_host clicks --anim 1 --anim-delay 300 --show-delay 0 --exit-on-close
  if popup_shown; then
    mkdir -p "$pictures"
    import -window root "$pictures/real-popup.png"
    for n in 0 1 2; do
      click_at $((L + level_x[n])) $((T + level_y))
      wait_line "^click $((-3 - n)) " 5 >/dev/null || fail "no click $((-3 - n))"
    done
    press_and_move $((L + level_x[0])) $((T + level_y)) $away_x $away_y
    xdo mouseup 1
    press_and_move $((L + level_x[0])) $((T + level_y)) $((L + level_x[1])) $((T + level_y))
    xdo mouseup 1
    click_at $((L + heading_x)) $((T + heading_y))
    wait_line '^click 0 ' 5 >/dev/null || fail "title press with allowMove off: no click 0"
    click_at $((L + close_x)) $((T + close_y))
    wait_line '^state 0' 5 >/dev/null || fail "close item did not close"
    [ "$(grep -E '^click ' "$log" | awk '{print $2}' | tr '\n' ' ')" = "-3 -4 -5 0 " ] ||
      fail "clicks: $(grep -E '^click ' "$log" | awk '{print $2}' | tr '\n' ' ')"
    grep -q '^rect ' "$log" && fail "the popup moved without allowMove"
  fi
  finish_host
}

# d. Drags by the background and by the inert title; the work area holds the popup
#    however far the pointer goes.
drag() {
  start_host drag --anim 1 --anim-delay 300 --show-delay 0 --move 1 --exit-on-close
  workarea
  if popup_shown; then
    x=$((L + inert_x)) y=$((T + inert_y))
    press_and_move $x $y $((x - 100)) $((y - 75)) $((x - 200)) $((y - 150)) $((x - 400)) $((y - 300))
    xdo mouseup 1
    moved=$(wait_nth '^moved ' 1 5) || fail "no moved line after the first drag"
    expect_rect "first drag" "$moved" "$((L - 400)) $((T - 300)) $((R - 400)) $((B - 300))"
    read -r L T R B <<<"$(rect_of "$moved")"

    x=$((L + heading_x)) y=$((T + heading_y))
    press_and_move $x $y $((x / 2)) $((y / 2)) 0 0
    xdo mouseup 1
    moved=$(wait_nth '^moved ' 2 5) || fail "no moved line after dragging by the title"
    expect_rect "drag past the top-left" "$moved" "$AL $AT $((AL + W)) $((AT + H))"
    read -r L T R B <<<"$(rect_of "$moved")"

    x=$((L + inert_x)) y=$((T + inert_y))
    press_and_move $x $y 640 512 1279 1023
    xdo mousemove 5000 5000  # the pointer stops at the screen edge
    sleep 0.1
    xdo mouseup 1
    moved=$(wait_nth '^moved ' 3 5) || fail "no moved line after dragging past the bottom-right"
    expect_rect "drag past the bottom-right" "$moved" "$((AR - W)) $((AB - H)) $AR $AB"
    read -r L T R B <<<"$(rect_of "$moved")"

    grep -E '^rect ' "$log" | while read -r _ l t r b _; do
      [ "$l" -ge "$AL" ] && [ "$t" -ge "$AT" ] && [ "$r" -le "$AR" ] && [ "$b" -le "$AB" ] || echo "outside: $l $t $r $b"
    done | grep -q outside && fail "the window left the work area during a drag"
    click_at $((L + close_x)) $((T + close_y))
    wait_line '^state 0' 5 >/dev/null || fail "close item not where the popup was reported"
  fi
  finish_host
}

# e. Escape ends a drag where it is, still reported; later moves do not move it.
escape() {
  start_host escape --anim 1 --anim-delay 300 --show-delay 0 --move 1 --exit-on-close
  if popup_shown; then
    x=$((L + inert_x)) y=$((T + inert_y))
    want="$((L - 150)) $((T - 90)) $((R - 150)) $((B - 90))"
    press_and_move $x $y $((x - 50)) $((y - 30)) $((x - 100)) $((y - 60)) $((x - 150)) $((y - 90))
    wait_line "^rect $want " 5 >/dev/null || fail "the window did not follow the pointer"
    xdo key Escape
    moved=$(wait_line '^moved ' 5) || fail "no moved line after Escape"
    expect_rect "drag ended by Escape" "$moved" "$want"
    xdo mousemove $((x - 300)) $((y - 90))
    sleep 0.5
    xdo mouseup 1
    sleep 0.5
    expect_rect "after Escape" "$(grep -E '^rect ' "$log" | tail -1)" "$want"
    [ "$(grep -c '^moved ' "$log")" = 1 ] || fail "more than one moved line"
    read -r L T R B <<<"$(rect_of "$moved")"
    click_at $((L + close_x)) $((T + close_y))
    wait_line '^state 0' 5 >/dev/null || fail "close item not where the popup was reported"
  fi
  finish_host
}

# f. A press that leaves the popup and comes back must not keep it hovered for good.
press_away() {
  start_host press_away --trace --anim 1 --anim-delay 300 --show-delay 1000 --exit-on-close
  if popup_shown; then
    press_and_move $((L + level_x[0])) $((T + level_y)) $away_x $away_y
    sleep 1  # long enough for the system to report that the pointer left
    xdo mousemove --sync $((L + inert_x)) $((T + inert_y))
    sleep 0.2
    xdo mouseup 1
    sleep 0.2
    xdo mousemove --sync $away_x $away_y
    wait_line '^hover 0' 5 >/dev/null || fail "still hovered after the pointer left"
    wait_line '^state 0' 8 >/dev/null || fail "never closed after the pointer left"
    grep -q '^click ' "$log" && fail "a click was reported"
  fi
  finish_host
}

# g. A drag whose moves arrive before the popup got to the press (a busy thread) still
#    moves the popup by the whole way the pointer went from where it was pressed.
busy_drag() {
  start_host busy_drag --anim 1 --anim-delay 300 --show-delay 0 --move 1 --stall-on-hover 1000 --exit-on-close
  if popup_shown; then
    x=$((L + inert_x)) y=$((T + inert_y))
    xdo mousemove --sync $x $y
    if wait_line '^stall ' 5 >/dev/null; then
      xdo mousedown 1 mousemove $((x - 100)) $((y - 100)) mousemove $((x - 200)) $((y - 200))
      sleep 1.5  # past the stall
      xdo mouseup 1
      moved=$(wait_line '^moved ' 5) || fail "no moved line"
      expect_rect "drag by queued moves" "$moved" "$((L - 200)) $((T - 200)) $((R - 200)) $((B - 200))"
      read -r L T R B <<<"$(rect_of "$moved")"
      click_at $((L + close_x)) $((T + close_y))
    else
      fail "the host never stalled"
    fi
  fi
  finish_host
}

# REAL_INPUT_ONLY="drag escape" runs only those.
for name in placement hover clicks drag escape press_away busy_drag; do
  if [ -z "${REAL_INPUT_ONLY:-}" ] || [[ " $REAL_INPUT_ONLY " == *" $name "* ]]; then
    $name
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all popup real-input scenarios passed"
