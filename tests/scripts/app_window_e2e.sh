#!/usr/bin/env bash
# Full-screen and maximized starts end to end with the real engine: the
# window is measured from outside (its X geometry and frame) against the
# screen and the window manager's work area, and the page reports what it
# sees (qvx.window.getState, qvx.app.inFullscreen, its inner size). A full
# screen fills the screen, a borderless maximized window too, and a
# maximized window of any other border fills the work area, fixed-size
# borders included; restored, a fixed-size window is smaller again and cannot
# be resized. The page's keys leave and enter full screen and restore.
# Usage: bash app_window_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"
command -v xprop >/dev/null || { echo "xprop is needed"; exit 1; }

SCREEN=$(xdotool getdisplaygeometry)
WORK=$(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | cut -d' ' -f3,4)

# geometry PID: "<outer width> <outer height> <client width> <client height>"
# of the page window, the frame being what the window manager reports.
geometry() {
    local w size frame
    w=$(page_window "$1") || return 1
    size=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/^ *Geometry: \([0-9]*\)x\([0-9]*\)$/\1 \2/p')
    frame=$(xprop -id "$w" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //; s/,//gp')
    read -r cw ch <<<"$size"
    read -r l r t b <<<"$frame"
    [ -n "${ch:-}" ] && [ -n "${b:-}" ] || return 1
    echo "$((cw + l + r)) $((ch + t + b)) $cw $ch"
}

# expect_window WHAT PID OUTER STATE FULL: waits until the window's outer
# size is OUTER ("<width> <height>", or "smaller" than the work area both
# ways) and the page reports STATE, FULL and the window's client size as its
# inner size.
expect_window() {
    local what=$1 pid=$2 outer=$3 state=$4 full=$5 g= ow oh cw ch
    for _ in $(seq 1 100); do
        if g=$(geometry "$pid") && wait_title "$pid" "E2E window " 1; then
            read -r ow oh cw ch <<<"$g"
            if [ "$outer" = smaller ]; then
                [ "$ow" -lt "${WORK% *}" ] && [ "$oh" -lt "${WORK#* }" ]
            else
                [ "$ow $oh" = "$outer" ]
            fi && [ "$(field "$TITLE" state)" = "$state" ] &&
                [ "$(field "$TITLE" full)" = "$full" ] && [ "$(field "$TITLE" w)" = "$cw" ] &&
                [ "$(field "$TITLE" h)" = "$ch" ] && return 0
        fi
        sleep 0.1
    done
    fail "$what: window ${g:-unmeasured} (outer, client), expected outer $outer, $state, full=$full; page: $TITLE"
}

# key PID KEY STATE: a key press into the page, after a click that gives it
# the focus, until the page reports STATE; pressed once more when a loaded
# display lost the first (the keys' actions can be repeated).
key() {
    local w _
    for _ in 1 2; do
        w=$(page_window "$1") || { fail "no page window for $2"; return 1; }
        xdotool windowactivate --sync "$w" >/dev/null 2>&1
        xdotool mousemove --window "$w" 20 20 click 1 sleep 1 key "$2"
        for _ in $(seq 1 50); do
            titles "$1" | grep -q "^E2E window state=$3;" && return 0
            sleep 0.1
        done
    done
}

# run_app NAME INI: packs and starts the window page with these settings; sets PID.
run_app() {
    local app
    app=$(pack_app "$1" "[App]\nID=norvane-window-$1\nName=Window E2E\nDirName=webapp\nIndexHtml=window.html\nDynamicAppTitle=1\n$2\n") ||
        return 1
    start "$1" "$app"
    wait_title "$PID" "E2E window state" 30 || { fail "$1: the page did not report: $TITLE"; return 1; }
}

# Full screen over a sizeable border: the whole screen; leaving it gives the
# border back in the normal state, entering fills the screen again.
if run_app full "WindowStyle=1\nWindowBorder=2"; then
    expect_window "full-screen start" "$PID" "$SCREEN" maximized true
    key "$PID" x normal
    expect_window "full screen left" "$PID" smaller normal false
    key "$PID" f maximized
    expect_window "full screen entered again" "$PID" "$SCREEN" maximized true
fi
stop "$PID"

# Maximized with a single (fixed-size) border: the work area; restored,
# smaller again. The user maximizes and restores it with a double click on
# its title bar, and a resize that reaches it is undone.
if run_app single "WindowState=1\nWindowBorder=1"; then
    expect_window "maximized, single border" "$PID" "$WORK" maximized false
    key "$PID" n normal
    expect_window "restored, single border" "$PID" smaller normal false
    w=$(page_window "$PID")
    read -r ow oh _ <<<"$(geometry "$PID")"
    title_click() { # a double click in the middle of the title bar
        local x y width top info
        info=$(xwininfo -id "$w")
        x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
        y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
        width=$(sed -n 's/^ *Width: *//p' <<<"$info")
        top=$(xprop -id "$w" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g' | cut -d' ' -f3)
        xdotool mousemove $((x + width / 2)) $((y - top / 2)) click --repeat 2 --delay 100 1
    }
    title_click
    expect_window "maximized by the user, single border" "$PID" "$WORK" maximized false
    title_click
    expect_window "restored by the user, single border" "$PID" "$ow $oh" normal false
    xdotool windowsize "$w" 300 250
    sleep 1
    expect_window "resized from outside, single border" "$PID" "$ow $oh" normal false
fi
stop "$PID"

# The dialog and both tool-window borders start maximized too.
for border in "dialog 3" "tool 4" "sizeable-tool 5"; do
    read -r name number <<<"$border"
    if run_app "$name" "WindowState=1\nWindowBorder=$number"; then
        expect_window "maximized, $name border" "$PID" "$WORK" maximized false
    fi
    stop "$PID"
done

# Sizes the settings cannot mean are the default; sizes past the screen, or
# a default size at a doubled display scale, fit the work area with the
# frame, the frame's top left on the screen.
if run_app negative "Width=-5\nHeight=0"; then
    expect_window "width -5, height 0" "$PID" "800 600" normal false
fi
stop "$PID"
if run_app huge "Width=5000\nHeight=4000"; then
    expect_window "5000 by 4000" "$PID" "$WORK" normal false
    w=$(page_window "$PID")
    read -r x y <<<"$(xdotool getwindowgeometry "$w" | sed -n 's/^ *Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p')"
    read -r l r t b <<<"$(xprop -id "$w" _NET_FRAME_EXTENTS | sed -n 's/.*= //; s/,//gp')"
    [ "$((x - l))" -ge 0 ] && [ "$((y - t))" -ge 0 ] || fail "the frame of the 5000 by 4000 window starts at $((x - l)),$((y - t))"
fi
stop "$PID"
if GDK_SCALE=2 run_app scaled ""; then
    g=$(geometry "$PID") && read -r ow oh _ <<<"$g"
    [ -n "${oh:-}" ] && [ "$ow" -le "${WORK% *}" ] && [ "$oh" -le "${WORK#* }" ] ||
        fail "at scale 2 the default window (${g:-unmeasured}) is larger than the work area $WORK"
fi
stop "$PID"

# Borderless and maximized covers the screen, without being the full-screen mode.
if run_app none "WindowState=1\nWindowBorder=0"; then
    expect_window "maximized, no border" "$PID" "$SCREEN" maximized false
fi
stop "$PID"

finish
