#!/usr/bin/env bash
# The access password prompt end to end, typed with real keys: no message on
# a mismatch, letter case, the password plus one more character, Backspace
# opening the application, Enter and Escape doing nothing, the close box
# ending the program, and the relaunch form asking nothing.
# Usage: bash startup_password.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../startup/startup_common.sh"

NAME="Locked App"
app=$(pack locked $'[App]\nID=locked-app\nName=Locked App\nDirName=site\nPassword=Secret1\nAllowInstances=1\n')

# password_entry LABEL: the entry line of the password window, empty when it is not shown.
password_entry() { window_block "$1" "$NAME" | grep '^entry ' || true; }
entry_length() { password_entry "$1" | sed -n 's/.* length=\([0-9]*\).*/\1/p'; }
wait_length() { # LABEL N
    for _ in $(seq 1 50); do [ "$(entry_length "$1")" = "$2" ] && return 0; sleep 0.1; done
    return 1
}

start typed "$app"
wait_window typed "$NAME" || fail "no password window"
block=$(window_block typed "$NAME")
grep -q '^window .*modal=1' <<<"$block" || fail "the password window is not modal: $block"
entry=$(password_entry typed)
[ -n "$entry" ] || fail "the password window has no edit: $block"
grep -q 'visible=0 char=\* ' <<<"$entry" || fail "the edit does not mask with *: $entry"
grep -q 'icon=1' <<<"$entry" || fail "the edit shows no key image: $entry"
grep -q '^button ' <<<"$block" && fail "the password window has buttons: $block"

# Wrong letter case: no match, no message.
type_text "$PID" "$NAME" "secret1"
wait_length typed 7 || fail "typed text did not arrive ($(entry_length typed))"
sleep 0.3
[ -n "$(password_entry typed)" ] || fail "wrong case opened the application"
[ "$(grep -c '^window' "$T/dump-typed")" = 1 ] || fail "a mismatch showed another window"
# Enter and Escape do nothing.
press "$PID" "$NAME" Return Escape
sleep 0.4
[ -n "$(password_entry typed)" ] || fail "Enter or Escape closed the prompt"
kill -0 "$PID" 2>/dev/null || fail "Enter or Escape ended the program"
# Emptied, then the password with one more character, built so that no key
# release in between sees the password alone.
press "$PID" "$NAME" BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
wait_length typed 0 || fail "the field was not emptied"
type_text "$PID" "$NAME" "ecret1x"
press "$PID" "$NAME" Home
type_text "$PID" "$NAME" "S"
wait_length typed 8 || fail "password plus one character not typed ($(entry_length typed))"
sleep 0.3
[ -n "$(password_entry typed)" ] || fail "the password plus one character matched"
# Backspace takes the extra character away: its release matches.
press "$PID" "$NAME" End BackSpace
for _ in $(seq 1 50); do [ -z "$(password_entry typed)" ] && break; sleep 0.1; done
[ -z "$(password_entry typed)" ] || fail "the right password did not close the prompt"
wait_window typed "$NAME" || fail "no main window after the right password"
kill -0 "$PID" 2>/dev/null || fail "the program ended after the right password"
kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null

# The close box ends the program with exit code 0 and no main window.
start closed "$app"
wait_window closed "$NAME" || fail "no password window (close box run)"
close_box "$PID" "$NAME"
expect_exit "close box" "$PID" 0
[ "$(grep -c '^window' "$T/dump-closed" 2>/dev/null)" -le 1 ] || fail "something was shown after the close box"

# The relaunch form never asks.
start relaunch "$app" locked-app "file:///index.html"
wait_window relaunch "$NAME" || fail "relaunch: no window"
[ -z "$(password_entry relaunch)" ] || fail "relaunch asked for the password"
kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null

# An empty password never asks.
open_app=$(pack open $'[App]\nID=open-app\nName=Open App\nDirName=site\nPassword=\n')
start open "$open_app"
wait_window open "Open App" || fail "empty password: no window"
window_block open "Open App" | grep -q '^entry ' && fail "an empty password asked"
kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null

finish
