#!/usr/bin/env bash
# The icon packed with --icon for the Linux runtime: every window of the
# application shows it (the start-up password prompt and the main window),
# read back from the windows' _NET_WM_ICON property as the task bar and the
# window switcher read it, and the window class that the desktop entry names;
# a damaged icon entry leaves the default icon and
# the application still starts.
# Usage: bash app_icon.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../startup/startup_common.sh"
command -v xprop >/dev/null && command -v convert >/dev/null || { echo "xprop and convert are needed"; exit 1; }

convert -size 16x16 xc:red \( -size 32x32 xc:blue \) "$T/app.ico"

# icon_of PID TITLE: "WxH:first-pixel" for each image of the window's icon, or
# nothing (the toolkit's hidden leader window may carry the same title).
icon_of() {
    local w
    for w in $(xdotool search --pid "$1" 2>/dev/null); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ] || continue
        xprop -id "$w" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON | python3 -c '
import sys
text = sys.stdin.read()
if "=" not in text: sys.exit(0)
v = [int(x) for x in text.split("=", 1)[1].replace(",", " ").split()]
out, i = [], 0
while i + 2 <= len(v):
    w, h = v[i], v[i + 1]
    out.append("%dx%d:%08x" % (w, h, v[i + 2]))
    i += 2 + w * h
print(" ".join(sorted(out)))'
    done | grep -m1 .
}
WANT="16x16:ffff0000 32x32:ff0000ff"
expect_icon() { # LABEL PID TITLE
    local got i
    for i in $(seq 1 30); do
        got=$(icon_of "$2" "$3")
        [ "$got" = "$WANT" ] && return 0
        sleep 0.1
    done
    fail "$1: the window's icon is \"$got\", not \"$WANT\""
}

locked=$(pack locked $'[App]\nID=icon-locked\nName=Locked\nDirName=site\nPassword=pw\n' --icon "$T/app.ico")
start locked "$locked"
wait_window locked Locked || fail "no password window"
expect_icon "password prompt" "$PID" Locked
kill "$PID" 2>/dev/null || true

open=$(pack open $'[App]\nID=icon-open\nName=Opened\nDirName=site\n' --icon "$T/app.ico")
start open "$open"
wait_window open Opened || fail "no main window"
expect_icon "main window" "$PID" Opened
# The window class the desktop entry's StartupWMClass names: the program's file name.
# (A loaded machine may list the process's windows a moment after the title.)
for _ in $(seq 1 30); do
    classes=$(for w in $(xdotool search --pid "$PID" 2>/dev/null); do xprop -id "$w" WM_CLASS; done)
    grep -q '= "open", ' <<<"$classes" && break
    sleep 0.1
done
grep -q '= "open", ' <<<"$classes" || fail "the windows' class is not the program's file name: $classes"
kill "$PID" 2>/dev/null || true

# A damaged icon entry (an image claiming 2 GB), packed by hand: the toolkit's
# default icon, and the application runs.
PW=$(sed -n 's/.*PayloadPassword = "\([^"]*\)".*/\1/p' "$SOURCE/shared/PayloadFormat.h")
mkdir -p "$T/bad/site"
printf '[App]\nID=icon-bad\nName=Damaged\nDirName=site\n' > "$T/bad/qvx.ini"
printf '<title>x</title>\n' > "$T/bad/site/index.html"
cp "$ENGINE_FIXTURE" "$T/bad/WebView2LoaderWin32.dll"
printf '\0\0\1\0\1\0\20\20\0\0\1\0\40\0\0\0\0\200\26\0\0\0' > "$T/bad/qvx-icon.ico"
(cd "$T/bad" && zip -q -r -0 -P "$PW" ../bad.zip qvx.ini WebView2LoaderWin32.dll qvx-icon.ico site)
cat "$RUNTIME" "$T/bad.zip" > "$T/damaged" && chmod +x "$T/damaged"
start bad "$T/damaged"
wait_window bad Damaged || fail "a damaged icon entry stopped the application: $(cat "$T/out-bad")"
got=$(icon_of "$PID" Damaged); [ "$got" != "$WANT" ] || fail "a damaged icon entry was shown"
kill "$PID" 2>/dev/null || true
finish
