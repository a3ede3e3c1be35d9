#!/usr/bin/env bash
# An author's run (norvane-pack run) writes the page's console messages,
# uncaught errors and rejections and the failed or unknown bridge calls on the
# terminal, one line each, and opens the inspector with F12 although the
# settings do not allow it; the packaged program itself stays quiet.
# Usage: bash app_develop_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

mkdir -p "$T/src"
cp -r "$E2E_SOURCE/app" "$T/src/app"
printf '[App]\nID=norvane-develop\nName=Develop E2E\nDirName=webapp\nIndexHtml=develop.html\nDynamicAppTitle=1\n' >"$T/src/qvx.ini"
NORVANE_WIDGET_DUMP="$T/dump-run" "$PACK" run --app "$T/src/app" --ini "$T/src/qvx.ini" --script "$E2E_SOURCE/qvx-webviewjs" --loader "$ENGINE" \
    >"$T/out-run" 2>"$T/err-run" &
RUN=$!
STARTED_PIDS+=("$RUN")
app_pid() { pgrep -f "norvane-run-.*/application" | head -n1; }
for _ in $(seq 1 100); do PID=$(app_pid) && [ -n "$PID" ] && break; sleep 0.1; done
if [ -n "${PID:-}" ] && wait_title "$PID" "E2E develop ready" 30; then
    expect_line() { grep -qxF -- "$1" "$T/err-run" || fail "no line \"$1\" on the terminal: $(cat "$T/err-run")"; }
    expect_line "page develop.html:8 console.log: logged"
    expect_line "page develop.html:9 console.warn: first line second line"
    expect_line 'page develop.html:10 console.info: several 2 {"parts":[true,null]}'
    [ "$(grep -c '^page develop.html:[0-9]* console' "$T/err-run")" = 3 ] || fail "console lines twice: $(cat "$T/err-run")"
    expect_line 'norvane: qvx.files.writeTextFile failed: "Missing filePath"'
    expect_line "norvane: no bridge function 99999; the call gets no answer"
    expect_line "page (page) uncaught: Unhandled Promise Rejection: Error: nobody caught me"
    expect_line "page develop.html:14 uncaught: ReferenceError: Can't find variable: notDefinedAnywhere"
    w=$(page_window "$PID") && xdotool windowactivate --sync "$w" >/dev/null 2>&1
    xdotool mousemove --window "$w" 20 20 click 1 sleep 1 key F12
    docked=no
    for _ in $(seq 1 100); do
        grep -q "^inspector docked" "$T/dump-run" 2>/dev/null && { docked=yes; break; }
        sleep 0.1
    done
    [ "$docked" = yes ] || fail "F12 opened no inspector: $(paste -sd'|' "$T/dump-run")"
else
    fail "the page of the run did not report: ${TITLE:-no process}; $(head -c 1500 "$T/err-run")"
fi
[ -n "${PID:-}" ] && stop "$PID"
wait "$RUN" 2>/dev/null

# The same program outside an author's run writes none of it.
app=$(pack_app quiet "[App]\nID=norvane-develop-quiet\nName=Quiet E2E\nDirName=webapp\nIndexHtml=develop.html\nDynamicAppTitle=1\n") ||
    exit 1
start quiet "$app"
if wait_title "$PID" "E2E develop ready" 30; then
    ! grep -q "^page \|no bridge function\|failed:" "$T/out-quiet" || fail "a packaged program wrote: $(cat "$T/out-quiet")"
    # Nor does F12 open anything there (the settings do not allow it).
    w=$(page_window "$PID") && xdotool windowactivate --sync "$w" >/dev/null 2>&1
    xdotool mousemove --window "$w" 20 20 click 1 sleep 1 key F12 sleep 2
    ! grep -q "^inspector docked" "$T/dump-quiet" || fail "F12 opened the inspector outside an author's run"
else
    fail "the quiet page did not report: $TITLE"
fi
stop "$PID"
finish
