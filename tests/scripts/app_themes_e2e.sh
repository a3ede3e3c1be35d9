#!/usr/bin/env bash
# Visual styles end to end: the style named by Theme= at start in any letter
# case, with no box; an unknown name shows the not-found box once and the
# start goes on in the system look; the message boxes of three styles and the
# system look, read off the screen, differ in their caption bar and buttons,
# which take the style's own colours; the theme functions from a page, and
# the main window's title bar following the switches.
# Usage: bash app_themes_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

# style_colour RESOURCE KEY: a colour of a built-in style's source file.
style_colour() { sed -n "s/^$2 = #\(......\)$/\1/p" "$SOURCE/resources/styles/$1.style"; }

# between C A B: true when each channel of colour C lies between those of A and B.
between() {
    local i c a b
    for i in 0 2 4; do
        c=$((16#${1:i:2})) a=$((16#${2:i:2})) b=$((16#${3:i:2}))
        ((c >= (a < b ? a : b) && c <= (a > b ? a : b))) || return 1
    done
}

# pixel X Y: the colour of the screen at X,Y as rrggbb, once two readings
# 0.3 s apart agree and show more than the black screen behind a window not
# drawn yet (a window still being drawn under load changes).
read_pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'A-F' 'a-f'; }
pixel() {
    local last now _
    last=$(read_pixel "$1" "$2")
    for _ in $(seq 1 20); do
        sleep 0.3
        now=$(read_pixel "$1" "$2")
        [ -n "$now" ] && [ "$now" != 000000 ] && [ "$now" = "$last" ] && break
        last=$now
    done
    echo "$now"
}

# A box shown at start (installing the engine is not allowed) in each look:
# its caption bar and its OK button, sampled on the screen.
xdotool mousemove 0 0
declare -A CAPTION BUTTON
for theme in Carbon Sky "Windows10 Dark" Windows; do
    label=${theme// /}
    app=$(pack "look-$label" "[App]
ID=look-$label
Name=Look
DirName=site
EdgeInstaller=0
Theme=$theme
" --loader "$ENGINE_WITHOUT_ENTRY") || exit 1
    start "look-$label" "$app"
    expect_dialog "$theme box" "look-$label" "$MSG_ERROR" "$MSG_RUNTIME_REQUIRED" "$MSG_ACCEPT"
    grep -q "not found" "$T/dump-look-$label" && fail "$theme: a not-found box at start"
    sleep 1
    # Read once the box has settled at its place.
    block=$(window_block "look-$label" "$MSG_ERROR")
    at=$(grep -m1 '^button ' <<<"$block" | sed 's/.* at=\([0-9]*,[0-9]*\) .*/\1/')
    w=$(x_window "$PID" "$MSG_ERROR")
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$theme" = Windows ]; then
        grep -q ' titlebar=0' <<<"$block" || fail "the system look drew its own title bar"
        CAPTION[$label]=$(pixel $((X + 6)) $((Y - 6)))
    else
        grep -q ' titlebar=1' <<<"$block" || fail "$theme: no title bar of its own: $block"
        CAPTION[$label]=$(pixel $((X + 12)) $((Y + 8)))
    fi
    BUTTON[$label]=$(pixel "${at%,*}" $((${at#*,} - 11)))
    press "$PID" "$MSG_ERROR" Return
    wait_exit "$PID" 10
done
for pair in "Carbon CARBON" "Sky SKY" "Windows10Dark WINDOWSDARK"; do
    set -- $pair
    caption=$(style_colour "$2" caption) button=$(style_colour "$2" button)
    caption2=$(style_colour "$2" caption2)
    between "${CAPTION[$1]}" "$caption" "${caption2:-$caption}" ||
        fail "$1: the caption bar shows ${CAPTION[$1]}, not the style's $caption"
    [ "${BUTTON[$1]}" = "$button" ] || fail "$1: the button shows ${BUTTON[$1]}, not the style's $button"
done
for a in Carbon Sky Windows10Dark Windows; do
    for b in Carbon Sky Windows10Dark Windows; do
        [[ "$a" < "$b" ]] || continue
        [ "${CAPTION[$a]}" != "${CAPTION[$b]}" ] || fail "$a and $b share the caption colour ${CAPTION[$a]}"
        [ "${BUTTON[$a]}" != "${BUTTON[$b]}" ] || fail "$a and $b share the button colour ${BUTTON[$a]}"
    done
done

# An unknown style: the box once, then the start goes on in the system look.
app=$(pack unknown $'[App]\nID=unknown-style\nName=Unknown\nDirName=site\nEdgeInstaller=0\nTheme=Nope\'s\n' \
    --loader "$ENGINE_WITHOUT_ENTRY") || exit 1
start unknown "$app"
expect_dialog "unknown style" unknown "$MSG_ERROR" "Style 'Nope's' not found" "OK"
press "$PID" "$MSG_ERROR" Return
for _ in $(seq 1 50); do
    window_block unknown "$MSG_ERROR" | grep -qxF "label $MSG_RUNTIME_REQUIRED" && break
    sleep 0.1
done
expect_dialog "after the unknown style" unknown "$MSG_ERROR" "$MSG_RUNTIME_REQUIRED" "$MSG_ACCEPT"
grep -q ' titlebar=1' <<<"$(window_block unknown "$MSG_ERROR")" && fail "the unknown style left a style active"
press "$PID" "$MSG_ERROR" Return
wait_exit "$PID" 10

# The theme functions from a page started in "carbon".
app=$(pack_app themes "[App]\nID=norvane-themes\nName=Themes E2E\nDirName=webapp\nIndexHtml=themes.html\nDynamicAppTitle=1\nTheme=carbon\n") || exit 1
start themes "$app"
expected="E2E themes start=Carbon;count=40;first=Amakrits;last=Windows10 SlateGray;bad=false;lower=false;now=Ruby Graphite;sky=true;windows=true,true;final=Windows"
if wait_title "$PID" "E2E themes (start|error)=" 30; then
    [ "$TITLE" = "$expected" ] || fail "theme functions: $TITLE"
    # Giving a shown window the window manager's frame back maps it anew, which a loaded
    # machine can take seconds over.
    for _ in $(seq 1 300); do
        grep -q "^window title=E2E themes .* titlebar=0" "$T/dump-themes" && break
        sleep 0.1
    done
    grep -q "^window title=E2E themes .* titlebar=0" "$T/dump-themes" ||
        fail "the main window kept a title bar of its own in the system look: $(grep "^window" "$T/dump-themes"); output: $(head -c 2000 "$T/out-themes")"
    grep -q "not found" "$T/dump-themes" && fail "a box was shown"
else
    fail "the themes page did not report: $TITLE; output: $(head -c 2000 "$T/out-themes")"
fi
stop "$PID"
finish
