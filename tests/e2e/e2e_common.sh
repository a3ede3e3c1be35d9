# Shared part of the end-to-end scripts of a packaged test application
# (tests/scripts/app_*e2e.sh), sourced first with the script's own arguments
# BUILD_DIR SOURCE_DIR: it takes in tests/startup/startup_common.sh (which runs
# the script again under a display when it has none), and offers packing the
# application of tests/e2e with the real engine and watching its processes
# from outside through their window captions. The programs run in an empty
# folder, so no relative name reaches a file by chance.
source "$(dirname "${BASH_SOURCE[0]}")/../startup/startup_common.sh"

ENGINE="$BUILD/engine/libnorvane-engine.so"
[ -f "$ENGINE" ] || { echo "missing $ENGINE; build the target app_e2e_programs"; exit 1; }
E2E_SOURCE="$SOURCE/tests/e2e"
mkdir -p "$T/cwd"
cd "$T/cwd" || exit 1

# pack_app NAME INI_TEXT [EXTRA_FOLDER]: packs a copy of the test application
# (folder and extra script, with the files of EXTRA_FOLDER added to the
# folder) with the real engine into $T/prog-NAME/NAME and prints that path. The copy is removed again: whatever a page shows of it can only come
# from the archive.
pack_app() {
    local name=$1 ini=$2
    local src="$T/src-$name"
    mkdir -p "$src" "$T/prog-$name"
    cp -r "$E2E_SOURCE/app" "$src/app"
    [ -z "${3:-}" ] || cp -r "$3/." "$src/app/"
    cp "$E2E_SOURCE/qvx-webviewjs" "$src/qvx-webviewjs"
    printf '%b' "$ini" >"$src/qvx.ini"
    "$PACK" build --app "$src/app" --ini "$src/qvx.ini" --script "$src/qvx-webviewjs" --loader "$ENGINE" \
        -o "$T/prog-$name/$name" >"$T/pack-$name.log" 2>&1 ||
        { cat "$T/pack-$name.log" >&2; echo "packing $name failed" >&2; rm -rf "$src"; return 1; }
    rm -rf "$src"
    echo "$T/prog-$name/$name"
}

# start_web_server FOLDER [REPORTS]: a web server on the loopback interface
# for the static files of FOLDER; with REPORTS, a request for /report?TEXT
# adds TEXT (decoded) as one line to that file. Sets REMOTE to its address.
start_web_server() {
    python3 - "$1" "$T/port" "${2:-}" <<'PY' >"$T/server.log" 2>&1 &
import http.server, os, sys, urllib.parse
os.chdir(sys.argv[1])
reports = sys.argv[3]
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_GET(self):
        if reports and self.path.startswith("/report?"):
            with open(reports, "a") as f:
                f.write(urllib.parse.unquote(self.path[8:]) + "\n")
            self.send_response(204)
            self.end_headers()
            return
        super().do_GET()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2] + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".part", sys.argv[2])
server.serve_forever()
PY
    STARTED_PIDS+=("$!")
    local _
    for _ in $(seq 1 100); do [ -s "$T/port" ] && break; sleep 0.1; done
    [ -s "$T/port" ] || { echo "the web server did not start: $(cat "$T/server.log")"; exit 1; }
    REMOTE="http://127.0.0.1:$(cat "$T/port")"
}

# windows PID: "<window id> <name>" of each X window of the process, one a
# line. A search can come back empty when some window goes away while it
# runs: tried again.
windows() {
    local w _ lines name
    for _ in 1 2 3 4 5 6 7 8; do
        lines=$(for w in $(xdotool search --pid "$1" 2>/dev/null); do
            name=$(xdotool getwindowname "$w" 2>/dev/null) && echo "$w $name"
        done)
        [ -n "$lines" ] && break
        sleep 0.05
    done
    [ -n "$lines" ] && printf '%s\n' "$lines"
    return 0
}

# titles PID: the names of the X windows of the process, one a line.
titles() { windows "$1" | cut -d' ' -f2-; }

# wait_title PID PATTERN [SECONDS]: true once a window of the process has a
# name matching the extended regular expression PATTERN (anchored at the
# start). Sets TITLE to that name, or on a time-out to every name last seen.
wait_title() {
    local pid=$1 pattern=$2 _ seen
    TITLE=
    for _ in $(seq 1 $((${3:-20} * 10))); do
        seen=$(titles "$pid")
        TITLE=$(grep -E -m1 "^($pattern)" <<<"$seen") && return 0
        kill -0 "$pid" 2>/dev/null || { TITLE="(process ended) $seen"; return 1; }
        sleep 0.1
    done
    TITLE=$(paste -sd'|' <<<"$seen")
    TITLE=${TITLE:-"(no window)"}
    return 1
}

# page_window PID: the X window of the process whose name starts with "E2E ".
page_window() {
    local _ w
    for _ in 1 2 3 4 5; do
        w=$(windows "$1" | awk '$2 == "E2E" { print $1; exit }')
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

# window_of_other PID NAME: the first process other than PID with a window named NAME.
window_of_other() {
    local w p
    for w in $(xdotool search --name "^$2\$" 2>/dev/null); do
        p=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
        [ "$p" != "$1" ] && { echo "$p"; return 0; }
    done
    return 1
}

# wait_other PID NAME [SECONDS]: waits for such a process; sets OTHER to its id.
wait_other() {
    local _
    OTHER=
    for _ in $(seq 1 $((${3:-20} * 10))); do
        OTHER=$(window_of_other "$1" "$2") && return 0
        sleep 0.1
    done
    return 1
}

# field TITLE KEY: the value of KEY in a reported title.
field() { sed -n "s/^E2E [a-z]* \(.*;\)\{0,1\}$2=\([^;]*\).*/\2/p" <<<"$1"; }

# expect_field WHAT TITLE KEY VALUE
expect_field() {
    local got
    got=$(field "$2" "$3")
    [ "$got" = "$4" ] || fail "$1: $3 is \"$got\", expected \"$4\" (title: $2)"
}

# close_page PID: a close request to the process's page window, as its close box sends.
close_page() {
    local w
    w=$(page_window "$1") || { echo "no page window of $1: $(titles "$1" | paste -sd'|')" >&2; return 1; }
    "$XCLOSE" "$w"
}

# stop PID: ends a process this script started or that one of its processes started.
stop() {
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}
