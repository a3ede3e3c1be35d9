#!/usr/bin/env bash
# The page has the keyboard at start: keys typed into a freshly started
# application, without a click, reach its autofocus field; and again after
# the window was left for another and activated anew, or minimized and restored.
# Usage: bash app_focus_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

app=$(pack_app focus "[App]\nID=norvane-focus\nName=Focus E2E\nDirName=webapp\nIndexHtml=focus.html\nDynamicAppTitle=1\n") ||
    exit 1
start focus "$app"
if wait_title "$PID" "E2E focus (loaded|ready)" 30 && w=$(page_window "$PID"); then
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    wait_title "$PID" "E2E focus ready" 10 || fail "the page's field did not get the keyboard at start: $TITLE"
    xdotool type --delay 50 "abc"
    wait_title "$PID" "E2E focus typed=abc" 10 || fail "keys typed at start did not reach the page: $TITLE"
    # Away to another window and back: the page has the keys again; and
    # again after the window was minimized and restored.
    xlogo -name focus-elsewhere &
    STARTED_PIDS+=("$!")
    other=
    for _ in $(seq 1 50); do
        other=$(xdotool search --name '^focus-elsewhere$' 2>/dev/null | head -n1) && [ -n "$other" ] && break
        sleep 0.1
    done
    [ -n "$other" ] && xdotool windowactivate --sync "$other" >/dev/null 2>&1
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    sleep 0.3
    xdotool type --delay 50 "d"
    wait_title "$PID" "E2E focus typed=abcd" 10 || fail "keys after the window was activated again: $TITLE"
    xdotool windowminimize --sync "$w" >/dev/null 2>&1 || true
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    sleep 0.3
    xdotool type --delay 50 "e"
    wait_title "$PID" "E2E focus typed=abcde" 10 || fail "keys after the window was restored: $TITLE"
else
    fail "the focus page did not load: $TITLE; output: $(head -c 1500 "$T/out-focus")"
fi
stop "$PID"
finish
