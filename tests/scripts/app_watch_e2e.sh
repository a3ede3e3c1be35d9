#!/usr/bin/env bash
# norvane-pack run --watch: a saved page reloads in the same window of the
# same process; a settings file that does not pack leaves that window running
# and the packer's error on the terminal; a valid settings change restarts the
# application, which reloads again on the next save.
# Usage: bash app_watch_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

SRC="$T/src"
mkdir -p "$SRC/app/js"
printf '<!doctype html><title>E2E watch</title><script src="js/title.js"></script>\n' >"$SRC/app/index.html"
# Saved as an editor does: a new file renamed over the old one, in a sub-folder.
save_title() { printf 'document.title = "%s";\n' "$1" >"$SRC/app/js/.title.js.swp" && mv "$SRC/app/js/.title.js.swp" "$SRC/app/js/title.js"; }
save_title "E2E watch one"
printf '[App]\nID=norvane-watch\nName=Watch E2E\nDirName=webapp\nDynamicAppTitle=1\n' >"$SRC/qvx.ini"
# The packer's temporary folder goes with the test's, whatever way it ends.
export TMPDIR="$T/tmp"
mkdir -p "$TMPDIR"
"$PACK" run --watch --app "$SRC/app" --ini "$SRC/qvx.ini" --loader "$ENGINE" >"$T/out-run" 2>"$T/err-run" &
RUN=$!
STARTED_PIDS+=("$RUN")
app_pids() { pgrep -f "$TMPDIR/norvane-run-.*/application" | grep -vx "${1:-}"; }
wait_app() { # wait_app [OLD_PID]: sets PID to a process of the package other than OLD_PID
    local _
    PID=
    for _ in $(seq 1 200); do PID=$(app_pids "${1:-}" | head -n1) && [ -n "$PID" ] && return 0; sleep 0.1; done
    return 1
}
log() { paste -sd'|' "$T/err-run" | head -c 2000; }

wait_app && wait_title "$PID" "E2E watch one" 30 || { fail "the first page did not show: ${TITLE:-no process}; $(log)"; finish; }
FIRST=$PID
WINDOW=$(page_window "$PID")
save_title "E2E watch two"
if wait_title "$FIRST" "E2E watch two" 30; then
    [ "$(page_window "$FIRST")" = "$WINDOW" ] || fail "the page came back in another window"
else
    fail "the saved page was not reloaded: $TITLE; $(log)"
fi

# Settings the packer refuses: its error on the terminal, the window stays.
printf '[App]\nDirName=webapp\n' >"$SRC/qvx.ini"
for _ in $(seq 1 100); do grep -q "runs on as it was" "$T/err-run" && break; sleep 0.1; done
grep -q "^norvane-pack: error: The settings file .* lacks" "$T/err-run" || fail "no packer error for the broken settings: $(log)"
grep -q "runs on as it was" "$T/err-run" || fail "no note that the application runs on: $(log)"
sleep 1
wait_title "$FIRST" "E2E watch two" 5 || fail "the window did not stay after a broken change: $TITLE"
[ -z "$(app_pids "$FIRST")" ] || fail "a broken change started another process"

# Valid settings again: a new process, which reloads on the next save.
printf '[App]\nID=norvane-watch\nName=Watch E2E again\nDirName=webapp\nDynamicAppTitle=1\n' >"$SRC/qvx.ini"
if wait_app "$FIRST" && wait_title "$PID" "E2E watch two" 30; then
    ! kill -0 "$FIRST" 2>/dev/null || fail "the first process still runs after the restart"
    save_title "E2E watch three"
    wait_title "$PID" "E2E watch three" 30 || fail "the restarted application did not reload: $TITLE; $(log)"
else
    fail "the settings change did not restart the application: ${TITLE:-no new process}; $(log)"
fi

# Closing the application ends the run.
[ -n "${PID:-}" ] && stop "$PID"
for _ in $(seq 1 100); do kill -0 "$RUN" 2>/dev/null || break; sleep 0.1; done
kill -0 "$RUN" 2>/dev/null && fail "the run did not end with the application"
finish
