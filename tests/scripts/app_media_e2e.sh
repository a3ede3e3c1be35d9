#!/usr/bin/env bash
# Audio of the archive plays and seeks in the page, by any way of giving its
# address (tests/e2e/app/media.html); and the loopback address it plays from
# answers nobody else: not another Host, not another token, not a file on the
# disk, not a method but GET and HEAD, and nothing once the program has ended.
# Usage: bash app_media_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

extra="$T/extra"
mkdir -p "$extra/media"
python3 - "$extra/media/tone é.wav" <<'PY'
import math, struct, sys, wave
w = wave.open(sys.argv[1], "wb")
w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / 8000))) for i in range(16000)))
w.close()
PY
app=$(pack_app media "[App]\nID=norvane-media\nName=Media E2E\nDirName=webapp\nIndexHtml=media.html\nDynamicAppTitle=1\n" "$extra") ||
    exit 1
# Beside the program, not in the archive: never answered at the loopback address.
echo "not the application's" >"$(dirname "$app")/beside.txt"

start media "$app"
if wait_title "$PID" "E2E media (beside|failed)" 60; then
    expect_field "media" "$TITLE" duration 2.0
    expect_field "media" "$TITLE" seeked 1.5
    expect_field "media" "$TITLE" missing failed
    expect_field "media" "$TITLE" beside served
    src=$(field "$TITLE" src)
    case "$src" in
    http://127.0.0.1:*/media/tone%20%C3%A9.wav) ;;
    *) fail "the player was not given the loopback address: $TITLE" ;;
    esac
    python3 - "$src" "$extra/media/tone é.wav" <<'PY' || fail "the loopback address answered wrongly"
import http.client, sys, urllib.parse
src, path = sys.argv[1], sys.argv[2]
u = urllib.parse.urlsplit(src)
data = open(path, "rb").read()
token = u.path.split("/")[1]
bad = 0
def ask(method, target, headers=None, host=None):
    c = http.client.HTTPConnection(u.hostname, u.port, timeout=10)
    c.putrequest(method, target, skip_host=True)
    c.putheader("Host", host or u.netloc)
    for k, v in (headers or {}).items():
        c.putheader(k, v)
    c.endheaders()
    r = c.getresponse()
    body = r.read()
    c.close()
    return r, body
def expect(what, ok):
    global bad
    if not ok:
        print("FAIL: " + what)
        bad += 1
r, body = ask("GET", u.path)
expect("whole entry: %d %d bytes" % (r.status, len(body)), r.status == 200 and body == data)
expect("not cached: %s" % r.getheader("Cache-Control"), r.getheader("Cache-Control") == "no-store")
expect("type: %s" % r.getheader("Content-Type"), (r.getheader("Content-Type") or "").startswith("audio/"))
r, body = ask("GET", u.path, {"Range": "bytes=100-199"})
expect("range: %d %s" % (r.status, r.getheader("Content-Range")),
       r.status == 206 and body == data[100:200] and r.getheader("Content-Range") == "bytes 100-199/%d" % len(data))
r, body = ask("HEAD", u.path)
expect("head: %d %s" % (r.status, r.getheader("Content-Length")), r.status == 200 and r.getheader("Content-Length") == str(len(data)) and body == b"")
r, _ = ask("GET", u.path, host="attacker.example:%d" % u.port)
expect("another Host: %d" % r.status, r.status == 421)
r, _ = ask("GET", u.path.replace(token, "0" * len(token)))
expect("another token: %d" % r.status, r.status == 404)
r, _ = ask("GET", "/%s/beside.txt" % token)
expect("a file beside the program: %d" % r.status, r.status == 404)
r, _ = ask("GET", "/%s/media/..%%2F..%%2Fbeside.txt" % token)
expect("a name leaving the folder: %d" % r.status, r.status in (400, 404))
r, _ = ask("POST", u.path)
expect("POST: %d" % r.status, r.status == 405)
sys.exit(1 if bad else 0)
PY
    stop "$PID"
    python3 - "$src" <<'PY' || fail "the loopback address still answers after the program ended"
import socket, sys, urllib.parse
u = urllib.parse.urlsplit(sys.argv[1])
try:
    socket.create_connection((u.hostname, u.port), timeout=5).close()
except OSError:
    sys.exit(0)
sys.exit(1)
PY
else
    fail "the media page did not finish: $TITLE; output: $(head -c 1500 "$T/out-media")"
    stop "$PID"
fi
finish
