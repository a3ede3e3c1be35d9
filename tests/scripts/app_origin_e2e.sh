#!/usr/bin/env bash
# The bridge belongs to the application's own pages: a packaged application
# with the real engine leaves its pages for a web server on the loopback
# interface (a navigation, a pop-up, a frame that moves the top window after
# a real click), and the web page there tries every way to the host: the
# bridge's functions, raw messages, a move to a page on disk, a new window on
# a page of the application. Nothing it
# asks for may be written or run. A page the application makes itself from an
# object address keeps the bridge, and a window showing a web page still
# closes. Web links that open new windows go to the desktop's opener.
# Usage: bash app_origin_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"
command -v python3 >/dev/null || { echo "python3 is needed for the web server"; exit 1; }

mkdir -p "$T/marks" "$T/remote" "$T/bin"
MARKS="$T/marks"

# The desktop's opener, replaced by one that records what it is given.
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$T/opened.log" >"$T/bin/xdg-open"
chmod +x "$T/bin/xdg-open"
export PATH="$T/bin:$PATH"

# A page on disk that would have the bridge if a web page could open it.
printf '<!doctype html><title>x</title><script>document.title = "E2E disk qvx=" + typeof window.qvx;</script>\n' \
    >"$T/disk.html"

# The web pages. The remote page reports what it found of the host, asks
# the host to write files and run a command every way it can, then tries to
# move to the page on disk.
cat >"$T/remote/remote.html" <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>remote</title></head><body><script>
  const found = "qvx=" + typeof window.qvx + ";webview=" + typeof (window.chrome && window.chrome.webview) +
    ";handler=" + typeof (window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.norvaneWebview);
  try {
    qvx.files.writeTextFile({filePath: "$MARKS/qvx-write.txt", contents: "x"});
    qvx.shell.command({command: "touch $MARKS/qvx-command"});
  } catch (e) {}
  try {
    chrome.webview.postMessage({id: 30003, uuid: "w", data: {filePath: "$MARKS/raw-write.txt", contents: "x"}});
    chrome.webview.postMessage({id: 70003, uuid: "c", data: {command: "touch $MARKS/raw-command"}});
  } catch (e) {}
  try {
    window.webkit.messageHandlers.norvaneWebview.postMessage(
      "norvane://app/index.html\n" + JSON.stringify({id: 70003, uuid: "h", data: {command: "touch $MARKS/handler-command"}}));
  } catch (e) {}
  try { window.open("file:///about.html"); } catch (e) {}
  document.title = "E2E remote " + found + ";done";
  setTimeout(() => { location.href = "file://$T/disk.html"; }, 300);
</script></body></html>
HTML
cat >"$T/remote/frame.html" <<'HTML'
<!doctype html><html><body style="margin: 0">
<button style="width: 100vw; height: 100vh" onclick="top.location.href = '/remote.html'">web</button>
</body></html>
HTML

start_web_server "$T/remote"

ID=norvane-origin
app=$(pack_app origin "[App]\nID=$ID\nName=Origin E2E\nDirName=webapp\nIndexHtml=origin.html\nDynamicAppTitle=1\n") || exit 1
BESIDE="$(dirname "$app")/beside"
mkdir "$BESIDE"
echo "$REMOTE" >"$BESIDE/remote.txt"

# open_origin MODE: starts the application on its page that leaves it in that way.
open_origin() {
    echo "$1" >"$BESIDE/mode.txt"
    start "$1" "$app"
}

# nothing_done WHAT: no file that a web page asked for exists.
nothing_done() {
    local made
    made=$(ls -A "$MARKS")
    [ -z "$made" ] || fail "$1: a web page reached the host, it made: $made"
}

# on_web_page WHAT PID: the window shows the web page, which found nothing of
# the host, and neither moves on to the page on disk with the bridge nor
# opens a page of the application in a new process.
on_web_page() {
    if wait_title "$2" "E2E remote " 30; then
        [ "$TITLE" = "E2E remote qvx=undefined;webview=undefined;handler=undefined;done" ] ||
            fail "$1: the web page found the host: $TITLE"
    else
        fail "$1: the web page did not show: $TITLE; output: $(head -c 2000 "$T/out-$1")"
    fi
    sleep 1.5
    grep -q '^E2E disk qvx=object' <<<"$(titles "$2")" && fail "$1: the web page opened a page on disk with the bridge"
    xdotool search --name '^E2E about page' >/dev/null 2>&1 &&
        fail "$1: the web page opened a page of the application in a new process"
    nothing_done "$1"
}

# A navigation of the main view to the web page; the window still closes.
open_origin navigate
on_web_page navigate "$PID"
if close_page "$PID"; then
    expect_exit "close request on a web page" "$PID" 0 20
else
    fail "no window to close"
fi
stop "$PID"

# A frame of the web server moves the top window after a real click.
open_origin frame
FRAME=$PID
if wait_title "$FRAME" "E2E origin frame;done" 30 && w=$(page_window "$FRAME"); then
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    xdotool mousemove --window "$w" 200 150 click 1
    on_web_page frame "$FRAME"
else
    fail "the frame page did not load: $TITLE"
fi
stop "$FRAME"

# A pop-up for the web page goes to the desktop's opener, not to a window of
# the application.
open_origin popup
POPUP=$PID
if wait_title "$POPUP" "E2E origin popup=null;done" 30; then
    for _ in $(seq 1 50); do [ -s "$T/opened.log" ] && break; sleep 0.1; done
    [ "$(cat "$T/opened.log" 2>/dev/null)" = "$REMOTE/remote.html" ] ||
        fail "the pop-up did not go to the desktop's opener: $(cat "$T/opened.log" 2>/dev/null)"
    sleep 1
    xdotool search --name '^E2E remote' >/dev/null 2>&1 && fail "the pop-up opened a window of the application"
    nothing_done popup
else
    fail "the pop-up page did not report: $TITLE"
fi
stop "$POPUP"

# A page the application made from an object address keeps the bridge.
open_origin blob
if wait_title "$PID" "E2E blob .*;done" 30; then
    [ "$TITLE" = "E2E blob hello=2022.5;exists=true;done" ] || fail "the application's own object page: $TITLE"
else
    fail "the application's own object page did not report: $TITLE; output: $(head -c 2000 "$T/out-blob")"
fi
stop "$PID"

finish
