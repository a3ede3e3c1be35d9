# Shared part of the start-up script tests (tests/scripts/startup_*.sh) and of
# the packaged-application ones, sourced first with the script's own arguments
# BUILD_DIR SOURCE_DIR: it runs the script again under a display when it has
# none. Packs test applications with norvane-pack,
# starts them with their folders in a temporary place, reads what their windows
# show through the widget-dump GTK module, and drives them with real input
# (xdotool) and close requests as the window manager sends them.
set -uo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SOURCE=$(cd "${2:?source folder}" && pwd)
if [ -z "${NORVANE_STARTUP_DISPLAY:-}" ]; then
    export NORVANE_STARTUP_DISPLAY=1
    exec bash "$SOURCE/scripts/with-display.sh" bash "$0" "$BUILD" "$SOURCE"
fi

PACK="$BUILD/packer/norvane-pack"
RUNTIME="$BUILD/runtime/norvane-runtime"
find_built() { find "$BUILD" -name "$1" -type f | head -n1; }
DUMP_MODULE=$(find_built startup_widget_dump.so)
XCLOSE=$(find_built startup_xclose)
DRAG_SOURCE=$(find_built startup_drag_source)
ENGINE_FIXTURE=$(find_built sysutils_engine_fixture.so)
ENGINE_WITHOUT_ENTRY=$(find_built sysutils_engine_without_entry.so)
for f in "$PACK" "$RUNTIME" "$DUMP_MODULE" "$XCLOSE" "$DRAG_SOURCE" "$ENGINE_FIXTURE" "$ENGINE_WITHOUT_ENTRY"; do
    [ -n "$f" ] && [ -e "$f" ] || { echo "missing test program; build the target startup_test_programs"; exit 1; }
done
command -v xdotool >/dev/null || { echo "xdotool is needed"; exit 1; }

T=$(mktemp -d)
STARTED_PIDS=()
cleanup() {
    for p in "${STARTED_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$T"
}
trap cleanup EXIT

# Nothing touches the real user's folders; English texts.
export HOME="$T/home" XDG_DATA_HOME="$T/data" XDG_CONFIG_HOME="$T/config" XDG_CACHE_HOME="$T/cache"
export XDG_RUNTIME_DIR="$T/run"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset LC_ALL LC_NUMERIC LC_MESSAGES
export LANG=C.UTF-8
export GTK_MODULES="$DUMP_MODULE"
export NO_AT_BRIDGE=1

FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
finish() {
    if [ "$FAILS" -ne 0 ]; then echo "$FAILS check(s) failed"; exit 1; fi
    echo "all checks passed"
}

# pack NAME INI_TEXT [norvane-pack options...]: an application with a start
# page in the folder "site"; prints the packed file's path. The engine library
# is the fixture that reports a version unless --loader is given.
pack() {
    local name=$1 ini=$2; shift 2
    local src="$T/src-$name"
    mkdir -p "$src/site"
    printf '<!doctype html><title>%s</title>\n' "$name" >"$src/site/index.html"
    printf '%s' "$ini" >"$src/qvx.ini"
    local loader=(--loader "$ENGINE_FIXTURE")
    for a in "$@"; do [ "$a" = --loader ] && loader=(); done
    "$PACK" build --app "$src/site" --ini "$src/qvx.ini" "${loader[@]}" "$@" -o "$T/$name" \
        >"$T/pack-$name.log" 2>&1 || { cat "$T/pack-$name.log" >&2; echo "packing $name failed" >&2; return 1; }
    echo "$T/$name"
}

# start LABEL PROGRAM [ARGS...]: starts in the background; its windows are
# reported in $T/dump-LABEL and its output goes to $T/out-LABEL. Sets PID.
start() {
    local label=$1; shift
    rm -f "$T/dump-$label"
    NORVANE_WIDGET_DUMP="$T/dump-$label" "$@" >"$T/out-$label" 2>&1 &
    PID=$!
    STARTED_PIDS+=("$PID")
}

# window_block LABEL TITLE: the reported lines of the shown window TITLE.
window_block() {
    [ -f "$T/dump-$1" ] || return 0
    awk -v t="window title=$2 " 'index($0, t) == 1 { on = 1 } on { print } on && $0 == "end" { exit }' \
        "$T/dump-$1"
}

# wait_window LABEL TITLE [SECONDS]: true once the window is shown.
wait_window() {
    local i
    for i in $(seq 1 $((${3:-20} * 10))); do
        [ -n "$(window_block "$1" "$2")" ] && return 0
        sleep 0.1
    done
    return 1
}

# wait_gone LABEL TITLE [SECONDS]: true once the window is no longer shown.
wait_gone() {
    local i
    for i in $(seq 1 $((${3:-10} * 10))); do
        [ -z "$(window_block "$1" "$2")" ] && return 0
        sleep 0.1
    done
    return 1
}

# wait_exit PID [SECONDS]: waits for the process and sets RC to its exit
# code, or to "running" (and kills it) when it does not end in time. Runs in
# the script's own shell, which is the parent that can collect the code.
wait_exit() {
    local pid=$1 i
    RC=running
    for i in $(seq 1 $((${2:-20} * 10))); do
        if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
            RC=0
            wait "$pid" 2>/dev/null || RC=$?
            return 0
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# x_window PID TITLE: the X window of the process with that exact title. A
# search misses windows when some window goes away while it runs: looked for
# again for up to three seconds.
x_window() {
    local w _
    for _ in $(seq 1 30); do
        for w in $(xdotool search --name "^$2\$" 2>/dev/null); do
            if [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$1" ]; then
                echo "$w"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# activate_window WINDOW: asks the window manager to activate the X window
# and waits (up to three seconds) until it is the active one.
activate_window() {
    local _
    for _ in $(seq 1 30); do
        xdotool windowactivate "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" >/dev/null 2>&1
        sleep 0.1
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0
    done
    return 1
}

# activate PID TITLE: gives the window the input focus.
activate() {
    local w i
    w=$(x_window "$1" "$2") || { echo "no window $2 of $1" >&2; return 1; }
    activate_window "$w" || true
    # Keys only once the toolkit itself has taken the focus for the window (a
    # loaded machine may be slow to get there); a window of a program without
    # the dump module is given a moment instead.
    for i in $(seq 1 50); do
        grep -qsE "^window title=$2 .* pid=$1 .* active=1" "$T"/dump-* && return 0
        sleep 0.1
    done
    sleep 0.3
}

# press PID TITLE KEYS...: real key presses into that window.
press() {
    local pid=$1 title=$2; shift 2
    activate "$pid" "$title" && xdotool key --delay 60 "$@"
}

# type_text PID TITLE TEXT: types the text as real key presses.
type_text() {
    activate "$1" "$2" && xdotool type --delay 60 "$3"
}

# close_box PID TITLE: asks the window manager to close the window.
close_box() {
    local w
    w=$(x_window "$1" "$2") || { echo "no window $2 of $1" >&2; return 1; }
    "$XCLOSE" "$w"
}

# click_button LABEL TITLE CAPTION: a real mouse click on the push button.
click_button() {
    local at
    at=$(window_block "$1" "$2" | sed -n "s/^button x=[0-9-]* at=\([0-9-]*\),\([0-9-]*\) $3\$/\1 \2/p" | head -n1)
    [ -n "$at" ] || { echo "no button $3 in $2" >&2; return 1; }
    xdotool mousemove --sync $at click 1
}

# expect_exit WHAT PID CODE [SECONDS]
expect_exit() {
    wait_exit "$2" "${4:-20}"
    [ "$RC" = "$3" ] || fail "$1: exit $RC, expected $3"
}

# expect_dialog WHAT LABEL TITLE TEXT BUTTONS...: the shown window TITLE holds
# the text and exactly these push buttons, left to right.
expect_dialog() {
    local what=$1 label=$2 title=$3 text=$4; shift 4
    if ! wait_window "$label" "$title"; then
        fail "$what: no window \"$title\""
        return
    fi
    local block buttons
    block=$(window_block "$label" "$title")
    grep -qxF "label $text" <<<"$block" || fail "$what: text is not \"$text\": $block"
    buttons=$(grep '^button ' <<<"$block" | sort -t= -k2 -n | sed 's/^button x=[0-9-]* at=[0-9-]*,[0-9-]* //' | paste -sd'|')
    local expected
    expected=$(printf '%s|' "$@")
    expected=${expected%|}
    [ "$buttons" = "$expected" ] || fail "$what: buttons \"$buttons\", expected \"$expected\""
}

# The texts of the English row.
MSG_ERROR="Error"
MSG_CONFIRM="Confirm"
MSG_ACCEPT="Accept"
MSG_CANCEL="Cancel"
MSG_NO_PAYLOAD="This is not a valid Windows application."
MSG_RUNTIME_REQUIRED="The Microsoft WebView2 runtime is required to run this application. This application cannot continue and will be closed now."
MSG_INSTALL_OFFER="The Microsoft WebView2 runtime is required to run this application. Do you want to install it now?"
MSG_INSTALL_REFUSED="This application cannot continue and will be closed now."
MSG_INSTALL_FAILED="You cancel the installation of Microsoft WebView2 runtime, This application cannot continue and will be closed now."
