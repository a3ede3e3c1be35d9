#!/usr/bin/env bash
# A shell command that runs for seconds does not hold the window: a call the
# page makes after it is answered first, the title the page sets then
# reaches the window, and a resize of the window reaches the page, all while
# the command still runs.
# Usage: bash app_busy_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

app=$(pack_app busy "[App]\nID=norvane-busy\nName=Busy E2E\nDirName=webapp\nIndexHtml=busy.html\nDynamicAppTitle=1\n") ||
    exit 1
start busy "$app"
if wait_title "$PID" "E2E busy order=" 30; then
    case "$(field "$TITLE" order)" in
        hello | hello,resized) ;;
        *) fail "first reply: order is \"$(field "$TITLE" order)\", expected hello before the command" ;;
    esac
    xdotool windowsize "$(page_window "$PID")" 500 400
    wait_title "$PID" "E2E busy order=hello,resized,command:slow" 20 ||
        fail "the resize and then the command's reply did not follow: $TITLE"
else
    fail "the busy page did not report: $TITLE; output: $(head -c 1500 "$T/out-busy")"
fi
stop "$PID"
finish
