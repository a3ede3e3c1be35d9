#!/usr/bin/env bash
# The host's events reach the page (events.html, which logs them to
# events.log): the window losing the focus to another program's window and
# gaining it again, resized (a burst of sizes reported once, with the last), moved,
# minimized and restored, maximized and restored, files dropped on it from
# another program, a second start of the application with its arguments, and
# a switch of the visual theme.
# Usage: bash app_events_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

app=$(pack_app events "[App]\nID=norvane-events\nName=Events E2E\nDirName=webapp\nIndexHtml=events.html\nDynamicAppTitle=1\n") ||
    exit 1
LOG="$T/prog-events/events.log"

# logged PATTERN [SECONDS]: true once a line of the page's log matches the
# extended regular expression PATTERN (whole line). Sets LINE to it.
logged() {
    local _
    for _ in $(seq 1 $((${2:-10} * 10))); do
        LINE=$(tr -d '\r' <"$LOG" 2>/dev/null | sed 's/^\xEF\xBB\xBF//' | grep -E -x -m1 "$1") && return 0
        sleep 0.1
    done
    return 1
}
count() { tr -d '\r' <"$LOG" | grep -c -E -x "$1"; }

start events "$app"
wait_title "$PID" "E2E events n=" 30 || { fail "the events page did not report: $TITLE"; stop "$PID"; finish; exit 1; }
logged "ready .*" || fail "no ready line"
other=${LINE#ready }
if [ -n "$other" ]; then
    logged "theme $other" || fail "no theme change to $other: $(tr '\r\n' ' |' <"$LOG")"
fi
w=$(page_window "$PID")

# Focus: another program's window takes it, then the page's window again.
xmessage -geometry +600+400 "another window" &
STARTED_PIDS+=("$!")
other=
for _ in $(seq 1 50); do other=$(xdotool search --pid "$!" 2>/dev/null | head -1) && [ -n "$other" ] && break; sleep 0.1; done
xdotool windowactivate --sync "$other" >/dev/null 2>&1
logged "focus false" || fail "no focus lost: $(tr '\r\n' ' |' <"$LOG")"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
logged "focus true" || fail "no focus gained"

# Resize: a burst of sizes, then the last one only (the outer size with the frame).
sleep 0.5
resizes=$(count "resize .*")
for size in "500 400" "520 410" "540 420" "560 430" "600 450"; do
    xdotool windowsize "$w" $size
done
frame=$(xprop -id "$w" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //; s/,//gp')
read -r l r t b <<<"$frame"
logged "resize $((600 + l + r)),$((450 + t + b))" || fail "the last size was not reported: $(tr '\r\n' ' |' <"$LOG")"
[ $(($(count "resize .*") - resizes)) -lt 5 ] || fail "every size of the burst was reported"

# Move.
moves=$(count "move .*")
xdotool windowmove "$w" 40 50
for _ in $(seq 1 50); do [ "$(count "move .*")" -gt "$moves" ] && break; sleep 0.1; done
[ "$(count "move .*")" -gt "$moves" ] || fail "no move reported"

# Minimized, then restored.
xdotool windowminimize "$w"
logged "state minimized" || fail "no minimized state"
xdotool windowactivate "$w" >/dev/null 2>&1
logged "state normal" || fail "no normal state after the restore"

# Maximized and restored: asked for by the page (keys M and N), made by the
# window manager, whose report is the event.
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool mousemove --window "$w" 20 60 click 1 sleep 0.5 key m
logged "state maximized" || fail "no maximized state: $(tr '\r\n' ' |' <"$LOG")"
normals=$(count "state normal")
xdotool key n
for _ in $(seq 1 50); do [ "$(count "state normal")" -gt "$normals" ] && break; sleep 0.1; done
[ "$(count "state normal")" -gt "$normals" ] || fail "no normal state after the page restored the window"

# Files dragged from another program (as a file manager offers them) and
# dropped on the page: their paths, and the page stays.
mkdir -p "$T/drop"
echo one >"$T/drop/a file.txt"
echo two >"$T/drop/é.txt"
"$DRAG_SOURCE" "$T/drop/a file.txt" "$T/drop/é.txt" >"$T/drag.log" 2>&1 &
STARTED_PIDS+=("$!")
for _ in $(seq 1 50); do grep -q ready "$T/drag.log" && break; sleep 0.1; done
eval "$(xdotool getwindowgeometry --shell "$w")"
xdotool mousemove 60 50 mousedown 1
for step in 1 2 3 4 5 6; do
    xdotool mousemove $((60 + (X + WIDTH / 2 - 60) * step / 6)) $((50 + (Y + HEIGHT / 2 - 50) * step / 6))
    sleep 0.1
done
sleep 0.3
xdotool mouseup 1
logged "drop $T/drop/a file.txt\|$T/drop/é.txt" 10 || fail "the drop was not heard: $(tr '\r\n' ' |' <"$LOG")"
[ "$(count "drop .*")" = 1 ] || fail "one drop was heard more than once"
wait_title "$PID" "E2E events n=" 5 || fail "the page went away after the drop: $TITLE"

# A second start hands its arguments over and ends.
"$app" --open "two words" "é" >"$T/out-second" 2>&1 &
second=$!
logged "second --open\|two words\|é" 20 || fail "the second start was not heard: $(tr '\r\n' ' |' <"$LOG")"
for _ in $(seq 1 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && { kill "$second"; fail "the second start did not end"; }

stop "$PID"
finish
