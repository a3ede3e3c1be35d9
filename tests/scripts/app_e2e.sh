#!/usr/bin/env bash
# A packaged application end to end with the real WebKitGTK engine: the test
# application of tests/e2e is packed, started under X with a window manager,
# and watched from outside through its window captions. With DynamicAppTitle
# on, the caption follows the page's document.title, and the pages write their
# findings there ("E2E <page> key=value;...;done", see tests/e2e/app/js/report.js).
# Checked: pages, style sheet, images and modules from the archive, files beside the
# program, a missing file, "%20" in names, the bridge's hello and isRuntime, the
# extra script before the page's scripts, the close protocol with the page, the
# fixed caption without DynamicAppTitle, the single-instance rule with and
# without a password, AllowInstances, the relaunch form, and a target=_blank
# link opening a second process, and the window and shell functions of the
# bridge (arguments, style, zoom, state, a shell command), its file functions
# (a text file written beside the program, its bytes, the program's folder).
# Usage: bash app_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

ID=norvane-e2e
NAME="Norvane E2E"
main=$(pack_app main "[App]\nID=$ID\nName=$NAME\nDirName=webapp\nDynamicAppTitle=1\n") || exit 1
MAIN_DIR=$(dirname "$main")
mkdir "$MAIN_DIR/beside"
echo "beside-file-7f3a" >"$MAIN_DIR/beside/note.txt"

# Nothing of the application is on disk where the program could read it: not
# beside the program, not under an absolute path the page's names map to.
held=$(find "$MAIN_DIR" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | paste -sd' ')
[ "$held" = "beside main" ] || fail "the program folder holds $held"
for f in /index.html /css/site.css /img/box.png "/img/my image.png" /js/checks.js; do
    [ -e "$f" ] && fail "$f exists on disk; the archive test would not be conclusive"
done
found=$(find "$T" \( -name site.css -o -name box.png -o -name checks.js \) -print)
if [ -n "$found" ] || ! "$PACK" list "$main" | grep -q 'webapp/css/site.css'; then
    fail "the application is not (only) in the archive: on disk \"$found\", entries $("$PACK" list "$main" | paste -sd' ')"
fi

# 1-3, 9, 10: the start page's findings.
start main "$main"
MAIN=$PID
if wait_title "$MAIN" "E2E index .*;done" 30; then
    expect_field "bridge" "$TITLE" hello 2022.5
    expect_field "bridge" "$TITLE" runtime true
    expect_field "extra script" "$TITLE" extra before
    expect_field "extra script" "$TITLE" extraScripts 0
    expect_field "extra script after the bridge library" "$TITLE" extraQvx object
    expect_field "style sheet from the archive" "$TITLE" css "rgb(1, 2, 3)"
    expect_field "image from the archive" "$TITLE" img 40x30
    expect_field "\"%20\" in a file name" "$TITLE" space 24x16
    expect_field "modules: static, dynamic with a query, a module worker" "$TITLE" modules 21/21/42
    expect_field "file beside the program" "$TITLE" beside beside-file-7f3a
    case "$(field "$TITLE" missing)" in
        notok*) ;;
        *) fail "a missing file was answered: missing=$(field "$TITLE" missing) (title: $TITLE)" ;;
    esac
else
    fail "the start page did not report: $TITLE; output: $(head -c 2000 "$T/out-main")"
fi

# 6: a second start without arguments ends with 0 while the first runs.
start second "$main"
expect_exit "second start while the first runs" "$PID" 0 30
kill -0 "$MAIN" 2>/dev/null || fail "the first instance ended at the second start"

# 9: a relaunch for a page that is not in the payload shows the start page
# and says so on standard error.
start missing "$main" "$ID" "file:///nowhere.html"
MISSING=$PID
wait_title "$MISSING" "E2E index " 20 ||
    fail "no start page for a relaunch of a page found nowhere: $TITLE; output: $(head -c 2000 "$T/out-missing")"
grep -q 'file:///nowhere.html is not a page of the application' "$T/out-missing" ||
    fail "the refused start page was not named: $(head -c 2000 "$T/out-missing")"
stop "$MISSING"

# 8: a target=_blank link to file:///about.html, clicked, starts a second process.
if w=$(page_window "$MAIN"); then
    before=$(titles "$MAIN" | grep '^E2E ')
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    xdotool mousemove --window "$w" 200 150 click 1
    if wait_other "$MAIN" "E2E about page" 20; then
        ABOUT=$OTHER
        ps -o args= -p "$ABOUT" | grep -qF "$main" ||
            fail "the about window belongs to \"$(ps -o args= -p "$ABOUT")\", not to the program"
        args=$(tr '\0' '\n' <"/proc/$ABOUT/cmdline" 2>/dev/null | tail -n +2 | paste -sd'|')
        [ "$args" = "$ID|file:///about.html" ] || fail "the about process has the arguments \"$args\""
        kill -0 "$MAIN" 2>/dev/null || fail "the first window ended when the link opened"
        [ "$(titles "$MAIN" | grep '^E2E ')" = "$before" ] ||
            fail "the first window changed: $(titles "$MAIN" | paste -sd'|'), was $before"
        stop "$ABOUT"
    else
        fail "the link opened no window \"E2E about page\" in another process; windows of the first: $(titles "$MAIN" | paste -sd'|')"
    fi
else
    fail "no page window to click in"
fi

# 4: a close request asks the page; its default handler closes the application.
if close_page "$MAIN"; then
    expect_exit "close request on a page with the default close handler" "$MAIN" 0 20
else
    fail "no window to close"
fi
stop "$MAIN"

# 4: a page that answers the close request itself: asked on each request, agrees on the second.
ask=$(pack_app ask "[App]\nID=norvane-e2e-ask\nName=Ask E2E\nDirName=webapp\nIndexHtml=ask.html\nDynamicAppTitle=1\n") || exit 1
start ask "$ask"
ASK=$PID
if wait_title "$ASK" "E2E ask asked=0" 30; then
    close_page "$ASK"
    wait_title "$ASK" "E2E ask asked=1" 20 || fail "the page was not asked at the close request: $TITLE"
    kill -0 "$ASK" 2>/dev/null || fail "the window closed before the page agreed"
    close_page "$ASK"
    expect_exit "close request the page agrees to" "$ASK" 0 20
else
    fail "the asking page did not load: $TITLE"
fi
stop "$ASK"

# 4: a page whose close handler does nothing stays open.
stay=$(pack_app stay "[App]\nID=norvane-e2e-stay\nName=Stay E2E\nDirName=webapp\nIndexHtml=stay.html\nDynamicAppTitle=1\n") || exit 1
start stay "$stay"
STAY=$PID
if wait_title "$STAY" "E2E stay ready" 30; then
    close_page "$STAY"
    close_page "$STAY"
    wait_exit "$STAY" 3 # kills it when it does not end
    [ "$RC" = running ] || fail "a page whose close handler does nothing was closed (exit $RC)"
else
    fail "the staying page did not load: $TITLE"
fi
stop "$STAY"

# 5: without DynamicAppTitle the caption stays the Name. The page changes its
# title, then opens a window; once that new process shows, the title change
# has long reached the first.
fixed=$(pack_app fixed "[App]\nID=norvane-e2e-fixed\nName=Fixed Caption\nDirName=webapp\nIndexHtml=title.html\nDynamicAppTitle=0\n") ||
    exit 1
start fixed "$fixed"
FIXED=$PID
if wait_other "$FIXED" "Fixed Caption" 30; then
    SECOND=$OTHER
    for _ in $(seq 1 10); do
        seen=$(titles "$FIXED")
        grep -q '^E2E ' <<<"$seen" && { fail "the caption followed the page without DynamicAppTitle: $(paste -sd'|' <<<"$seen")"; break; }
        sleep 0.1
    done
    grep -qx 'Fixed Caption' <<<"$(titles "$FIXED")" || fail "the window is not captioned Fixed Caption: $(titles "$FIXED" | paste -sd'|')"
    stop "$SECOND"
else
    fail "without DynamicAppTitle: the page's new window did not show; windows: $(titles "$FIXED" | paste -sd'|')"
fi
stop "$FIXED"

# 6 and 7: with a password. The first start asks, then shows the page.
GID=norvane-e2e-guarded
GNAME="Guarded E2E"
GPASS="Pw-7x"
guarded=$(pack_app guarded "[App]\nID=$GID\nName=$GNAME\nDirName=webapp\nPassword=$GPASS\nDynamicAppTitle=1\n") || exit 1
prompt_shown() { window_block "$1" "$GNAME" | grep -q '^entry '; }
wait_prompt() { for _ in $(seq 1 200); do prompt_shown "$1" && return 0; sleep 0.1; done; return 1; }
start guarded-1 "$guarded"
G1=$PID
if wait_prompt guarded-1; then
    type_text "$G1" "$GNAME" "$GPASS"
    wait_title "$G1" "E2E index .*;done" 30 || fail "after the password the start page did not report: $TITLE"
    expect_field "bridge after the password" "$TITLE" hello 2022.5
    # A second start asks for the password first, then ends.
    start guarded-2 "$guarded"
    if wait_prompt guarded-2; then
        type_text "$PID" "$GNAME" "$GPASS"
        expect_exit "second start after its password" "$PID" 0 20
        grep -q '^E2E ' <<<"$(titles "$PID")" && fail "the second start showed the page"
    else
        fail "the second start did not ask for the password: $(cat "$T/dump-guarded-2" 2>/dev/null)"
        wait_exit "$PID" 5
        echo "second start ended with $RC"
    fi
    kill -0 "$G1" 2>/dev/null || fail "the first guarded instance ended"
    # 7: the relaunch form opens the page it names, without a password.
    start relaunch "$guarded" "$GID" "file:///other.html"
    REL=$PID
    wait_title "$REL" "E2E other .*;done" 30 ||
        fail "the relaunch form did not show other.html: $TITLE; windows: $(cat "$T/dump-relaunch" 2>/dev/null)"
    expect_field "bridge in the relaunched page" "$TITLE" hello 2022.5
    prompt_shown relaunch && fail "the relaunch form asked for the password"
    stop "$REL"
else
    fail "no password window: $(cat "$T/dump-guarded-1" 2>/dev/null)"
fi
stop "$G1"

# The window and shell functions of the bridge in a relaunched page.
start bridge "$main" "$ID" "file:///bridge.html"
BRIDGE=$PID
if wait_title "$BRIDGE" "E2E bridge .*;done" 30; then
    expect_field "qvx.app.getArgs" "$TITLE" args "3:$ID,file:///bridge.html"
    expect_field "qvx.window.setStyle/getStyle" "$TITLE" style ontop
    expect_field "qvx.window.setZoom/getZoom" "$TITLE" zoom 1.25
    expect_field "qvx.window.getState" "$TITLE" state normal
    expect_field "qvx.shell.command" "$TITLE" cmd cmd-42
    expect_field "qvx.shell.execute without a path" "$TITLE" missing "Missing filePath"
    xprop -id "$(page_window "$BRIDGE")" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
        fail "qvx.window.setStyle ontop did not keep the window above others"
else
    fail "the bridge page did not report: $TITLE; output: $(head -c 2000 "$T/out-bridge")"
fi
stop "$BRIDGE"

# The file and folder functions of the bridge in a relaunched page: a text
# file written beside the program, tested, and the program's folder.
start files "$main" "$ID" "file:///files.html"
FILES=$PID
if wait_title "$FILES" "E2E files .*;done" 30; then
    expect_field "qvx.files.writeTextFile" "$TITLE" write true
    expect_field "qvx.files.fileExists of the written file" "$TITLE" exists true
    expect_field "qvx.files.fileExists of a missing file" "$TITLE" absent false
    expect_field "qvx.folders.getAppExecutableDir" "$TITLE" dir "$(realpath "$MAIN_DIR")/"
    [ "$(od -An -tx1 "$MAIN_DIR/e2e-out/files.txt" | tr -s ' \n' ' ')" = " ef bb bf 61 0d 0a 62 0d 0a " ] ||
        fail "qvx.files.writeTextFile wrote $(od -An -tx1 "$MAIN_DIR/e2e-out/files.txt" 2>&1)"
else
    fail "the files page did not report: $TITLE; output: $(head -c 2000 "$T/out-files")"
fi
stop "$FILES"

# 6: AllowInstances 1: a second start runs beside the first.
many=$(pack_app many "[App]\nID=norvane-e2e-many\nName=Many E2E\nDirName=webapp\nAllowInstances=1\nDynamicAppTitle=1\n") || exit 1
start many-1 "$many"
M1=$PID
wait_title "$M1" "E2E index .*;done" 30 || fail "AllowInstances: the first did not show its page: $TITLE"
start many-2 "$many"
M2=$PID
wait_title "$M2" "E2E index .*;done" 30 || fail "AllowInstances: the second did not show its page: $TITLE"
kill -0 "$M1" 2>/dev/null || fail "AllowInstances: the first ended"
stop "$M1"
stop "$M2"

finish
