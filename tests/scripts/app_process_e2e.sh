#!/usr/bin/env bash
# Programs a page starts (qvx.process): streamed output and exit codes, input,
# kill, a flood of output and the refusals, checked by the page itself
# (process.html); and a program still running when the window closes ends
# with it.
# Usage: bash app_process_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

app=$(pack_app process "[App]\nID=norvane-process\nName=Process E2E\nDirName=webapp\nIndexHtml=process.html\nDynamicAppTitle=1\n") ||
    exit 1
start process "$app"
if wait_title "$PID" "E2E process result=" 60; then
    expect_field "the page's checks" "$TITLE" result ok
    if wait_title "$PID" "E2E process .*;left=1" 10 && [ -s "$T/cwd/left.pid" ]; then
        left=$(cat "$T/cwd/left.pid")
        kill -0 "$left" 2>/dev/null || fail "the sleeper did not run"
        close_page "$PID"
        for _ in $(seq 1 50); do kill -0 "$left" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$left" 2>/dev/null && { kill "$left"; fail "a process outlived the closed window"; }
    else
        fail "the last process did not start: $TITLE"
    fi
else
    fail "the process page did not report: $TITLE; output: $(head -c 1500 "$T/out-process")"
fi
stop "$PID"
finish
