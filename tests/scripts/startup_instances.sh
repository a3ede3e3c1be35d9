#!/usr/bin/env bash
# The single-instance rule end to end: a second start ends silently while the
# first runs, the relaunch form goes on, a crashed instance blocks nothing,
# the password is asked before the rule, applications sharing an ID exclude
# each other, and AllowInstances lets several run without a lock.
# Usage: bash startup_instances.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../startup/startup_common.sh"

ID="My App/1"
LOCK="$XDG_RUNTIME_DIR/norvane-instance-My%20App%2F1.lock"
single=$(pack single "[App]
ID=$ID
Name=Single
DirName=site
")

start first "$single"
wait_window first Single || fail "the first instance shows no window"
FIRST=$PID
[ -e "$LOCK" ] || fail "no lock file at $LOCK: $(ls "$XDG_RUNTIME_DIR")"

# A second start without arguments: silent end.
start second "$single"
expect_exit "second instance" "$PID" 0
grep -q '^window' "$T/dump-second" 2>/dev/null && fail "the second instance showed a window"
kill -0 "$FIRST" 2>/dev/null || fail "the first instance ended"
# ... and brings the first window back, minimized or behind another.
for _ in $(seq 1 30); do
    first_window=$(xdotool search --onlyvisible --pid "$FIRST" --name '^Single$' 2>/dev/null | head -n1)
    [ -n "$first_window" ] && break
    sleep 0.1
done
if [ -n "$first_window" ]; then
    xdotool windowminimize --sync "$first_window" >/dev/null 2>&1 || true
    xprop -id "$first_window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN ||
        fail "the first window did not minimize: $(xprop -id "$first_window" _NET_WM_STATE)"
    start raise "$single"
    expect_exit "second instance raising the first" "$PID" 0
    shown=no
    for _ in $(seq 1 50); do
        active=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n 's/.*# //p')
        state=$(xprop -id "$first_window" _NET_WM_STATE 2>/dev/null)
        if [ -n "$active" ] && [ $((active)) -eq "$first_window" ] && ! grep -q _NET_WM_STATE_HIDDEN <<<"$state"; then
            shown=yes
            break
        fi
        sleep 0.1
    done
    [ "$shown" = yes ] || fail "a second start did not bring the minimized first window back: active ${active:-none}, $state"
else
    fail "no visible window of the first instance"
fi
# Arguments that are not the relaunch form: silent end too.
start other-args "$single" something else
expect_exit "second instance with other arguments" "$PID" 0
start three-args "$single" "$ID" "file:///index.html" extra
expect_exit "second instance with three arguments" "$PID" 0
start one-arg "$single" "$ID"
expect_exit "second instance with the ID alone" "$PID" 0

# The relaunch form (ID and a page) goes on beside the first.
start relaunch "$single" "$ID" "file:///index.html"
RELAUNCH=$PID
wait_window relaunch Single || fail "the relaunch shows no window"
kill -0 "$RELAUNCH" 2>/dev/null || fail "the relaunch ended"

# The relaunched one holds the lock too: with the first gone, a start still ends.
kill -9 "$FIRST"; wait "$FIRST" 2>/dev/null
start while-relaunch "$single"
expect_exit "start while only the relaunch runs" "$PID" 0
# A crashed holder blocks nothing.
kill -9 "$RELAUNCH"; wait "$RELAUNCH" 2>/dev/null
start after-crash "$single"
wait_window after-crash Single || fail "a start after the crash of every holder did not run"
AFTER=$PID

# Another application with the same ID is excluded as well.
same_id=$(pack same-id "[App]
ID=$ID
Name=Same ID
DirName=site
")
start same-id "$same_id"
expect_exit "another application with the same ID" "$PID" 0
# A different ID runs.
other_id=$(pack other-id $'[App]\nID=my app/1\nName=Other ID\nDirName=site\n')
start other-id "$other_id"
wait_window other-id "Other ID" || fail "an application with another ID (case differs) did not run"
kill "$PID" "$AFTER" 2>/dev/null; wait "$PID" "$AFTER" 2>/dev/null

# With a password, the second start asks first, then ends.
guarded=$(pack guarded $'[App]\nID=guarded\nName=Guarded\nDirName=site\nPassword=pw\n')
start guarded-1 "$guarded"
wait_window guarded-1 Guarded || fail "guarded: no password window"
type_text "$PID" Guarded "pw"
for _ in $(seq 1 50); do window_block guarded-1 Guarded | grep -q '^entry' || break; sleep 0.1; done
wait_window guarded-1 Guarded || fail "guarded: no main window"
GUARDED=$PID
start guarded-2 "$guarded"
wait_window guarded-2 Guarded || fail "guarded: the second start did not ask for the password"
window_block guarded-2 Guarded | grep -q '^entry' || fail "guarded: the second start's window is no prompt"
type_text "$PID" Guarded "pw"
expect_exit "guarded second start after the password" "$PID" 0
kill "$GUARDED" 2>/dev/null; wait "$GUARDED" 2>/dev/null

# AllowInstances 1: both run, and no lock is made.
many=$(pack many $'[App]\nID=many-instances\nName=Many\nDirName=site\nAllowInstances=1\n')
start many-1 "$many"
M1=$PID
start many-2 "$many"
M2=$PID
wait_window many-1 Many || { fail "AllowInstances: the first shows no window"; cat "$T/out-many-1" "$T/dump-many-1"; ps -p $M1 -o pid,stat,args; }
wait_window many-2 Many || fail "AllowInstances: the second shows no window"
kill -0 "$M1" 2>/dev/null && kill -0 "$M2" 2>/dev/null || fail "AllowInstances: one of them ended"
[ -e "$XDG_RUNTIME_DIR/norvane-instance-many-instances.lock" ] && fail "AllowInstances made a lock"
kill "$M1" "$M2" 2>/dev/null; wait "$M1" "$M2" 2>/dev/null

finish
