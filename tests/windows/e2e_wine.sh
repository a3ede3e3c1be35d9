#!/usr/bin/env bash
# The Windows programs of one build (32-bit or 64-bit) end to end under wine:
#  - the programs are of the build's machine (PE32 for x86, PE32+ for x86-64);
#  - norvane-pack.exe packs an application onto norvane-runtime.exe, with the
#    icon and the version texts in the runtime copy's resources (read back
#    with wrestool), and the Linux norvane-pack lists that package (and the
#    other way round), also with file and folder names outside Windows-1252;
#    and it packs onto the other Windows build's runtime (PE32 <-> PE32+);
#  - the bare runtime (no payload) shows its message and ends with 0, one
#    with a damaged payload its error report and ends with 1, one with
#    another program's ZIP ends silently with 0;
#  - a package whose engine library is unusable offers the engine's
#    installation; the refusal removes the application's data folder and
#    ends with 0;
#  - a package with an access password refuses a wrong password and opens
#    the main window after the right one, typed with real keys (its engine
#    library is the stand-in tests/fixtures/SysUtils/EngineLoaderFixture,
#    which reports a version).
# Windows are found by title with xdotool and read with the build's
# norvane_window_texts.exe (the system's own window texts). Each check prints
# a PASS or FAIL line; the exit code is 1 when any failed.
#
# Usage: bash tests/windows/e2e_wine.sh [WINDOWS_BUILD_DIR]  (default build/windows)
# The Linux packer is build/packer/norvane-pack (NORVANE_NATIVE_BUILD names
# another build folder); when it is missing, only that target is built.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=$(cd "${1:-${NORVANE_WIN_BUILD:-$ROOT/build/windows}}" && pwd)
NATIVE=${NORVANE_NATIVE_BUILD:-$ROOT/build}
if [ -z "${NORVANE_E2E_DISPLAY:-}" ]; then
    export NORVANE_E2E_DISPLAY=1
    exec bash "$ROOT/scripts/with-display.sh" bash "$0" "$OUT"
fi
export WINEPREFIX=${WINEPREFIX:-$OUT/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=}
# English texts.
unset LC_ALL LC_NUMERIC LC_MESSAGES
export LANG=en_US.UTF-8
# Wine reads arguments and file names in the character set of LC_CTYPE: an
# installed UTF-8 locale, or names outside ASCII arrive as something else.
LC_CTYPE=$(locale -a 2>/dev/null | grep -ixE '(en_US|C)\.utf-?8' | head -n1)
export LC_CTYPE=${LC_CTYPE:-C.UTF-8}

PACK_EXE=$OUT/packer/norvane-pack.exe
RUNTIME_EXE=$OUT/runtime/norvane-runtime.exe
TEXTS_EXE=$OUT/tests/norvane_window_texts.exe
ENGINE_FIXTURE=$OUT/tests/sysutils_engine_fixture.dll
LINUX_PACK=$NATIVE/packer/norvane-pack
for f in "$PACK_EXE" "$RUNTIME_EXE" "$TEXTS_EXE" "$ENGINE_FIXTURE"; do
    [ -f "$f" ] || { echo "FAIL e2e: $f is not built (scripts/build-windows.sh)"; exit 1; }
done
command -v xdotool >/dev/null || { echo "FAIL e2e: xdotool is needed"; exit 1; }
command -v zip >/dev/null || { echo "FAIL e2e: zip is needed"; exit 1; }
command -v wrestool >/dev/null || { echo "FAIL e2e: wrestool (icoutils) is needed"; exit 1; }
if [ ! -x "$LINUX_PACK" ]; then
    echo "e2e: building the Linux packer in $NATIVE"
    { cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
        cmake --build "$NATIVE" --target norvane-pack -j"${NORVANE_JOBS:-2}" >/dev/null; } ||
        { echo "FAIL e2e: the Linux packer could not be built"; exit 1; }
fi

T=$(mktemp -d)
STARTED=()
# The wine user's local application data as it was before a check moved it.
RESTORE_LOCAL_APPDATA=""
restore_local_appdata() {
    [ -n "$RESTORE_LOCAL_APPDATA" ] || return 0
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
        /v "Local AppData" /t REG_EXPAND_SZ /d "$RESTORE_LOCAL_APPDATA" /f >/dev/null 2>&1
    RESTORE_LOCAL_APPDATA=""
}
cleanup() {
    for p in "${STARTED[@]}"; do kill "$p" 2>/dev/null || true; done
    restore_local_appdata
    rm -rf "$T"
    # The applications' data folders in the wine user's profile.
    find "$WINEPREFIX/drive_c/users" -maxdepth 5 -type d -name "e2e-wine-$$*" -prune -exec rm -rf {} + 2>/dev/null
}
trap cleanup EXIT
if [ ! -d "$WINEPREFIX" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
fi

PASSED=0
FAILED=0
pass() { echo "PASS e2e: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL e2e: $*"; FAILED=$((FAILED + 1)); }
# check WHAT CMD...: one PASS or FAIL line.
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

# The Windows name of a path (wine's drive Z: is the root folder).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The texts of the English row (runtime/LocalizedMessages.cpp).
MSG_ERROR="Error"
MSG_CONFIRM="Confirm"
MSG_ACCEPT="Accept"
MSG_CANCEL="Cancel"
MSG_NO_PAYLOAD="This is not a valid Windows application."
MSG_INSTALL_OFFER="The Microsoft WebView2 runtime is required to run this application. Do you want to install it now?"
MSG_INSTALL_REFUSED="This application cannot continue and will be closed now."

# start LABEL EXE [ARGS...]: starts a Windows program in the background; sets PID.
start() {
    local label=$1; shift
    wine "$@" >"$T/out-$label" 2>&1 &
    PID=$!
    STARTED+=("$PID")
}

# window_texts TITLE [SECONDS]: what the shown window holds ("window TITLE",
# then "<class> <text>" lines); fails when no such window is shown in time.
window_texts() {
    wine "$TEXTS_EXE" "$1" "${2:-20}" 2>/dev/null | tr -d '\r'
}

# x_window TITLE: the X window with exactly that title.
x_window() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }

# wait_gone TITLE [SECONDS]
wait_gone() {
    for _ in $(seq 1 $((${2:-10} * 10))); do
        [ -z "$(x_window "$1")" ] && return 0
        sleep 0.1
    done
    return 1
}

# activate TITLE: gives the window the input focus.
activate() {
    local w=""
    # The X window gets its title a moment after the system shows the window.
    for _ in $(seq 1 50); do
        w=$(x_window "$1")
        [ -n "$w" ] && break
        sleep 0.1
    done
    [ -n "$w" ] || { echo "no X window \"$1\"" >&2; return 1; }
    for _ in $(seq 1 30); do
        xdotool windowactivate "$w" >/dev/null 2>&1 || xdotool windowfocus "$w" >/dev/null 2>&1
        sleep 0.1
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$w" ] && break
    done
    sleep 0.3
}

# press TITLE KEYS... / type_text TITLE TEXT: real key presses into the window.
press() { local title=$1; shift; activate "$title" && xdotool key --delay 80 "$@"; }
type_text() { activate "$1" && xdotool type --delay 80 "$2"; }

# wait_exit PID [SECONDS]: sets RC to the exit code, or "running" (and kills it).
wait_exit() {
    local pid=$1
    RC=running
    for _ in $(seq 1 $((${2:-20} * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            RC=0
            wait "$pid" 2>/dev/null || RC=$?
            return 0
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# expect_dialog WHAT TITLE TEXT BUTTONS...: the window TITLE is shown and
# holds the text and the buttons.
expect_dialog() {
    local what=$1 title=$2 text=$3; shift 3
    local texts missing=""
    if ! texts=$(window_texts "$title"); then
        fail "$what: no window \"$title\""
        return 1
    fi
    grep -qF -- "$text" <<<"$texts" || missing+=" text \"$text\";"
    for b in "$@"; do
        grep -qx "Button $b" <<<"$texts" || missing+=" button \"$b\";"
    done
    if [ -z "$missing" ]; then
        pass "$what: window \"$title\" with its text and buttons $*"
    else
        fail "$what: window \"$title\" lacks$missing it holds: $(paste -sd'|' <<<"$texts")"
    fi
}

# expect_exit WHAT CODE [SECONDS]
expect_exit() {
    wait_exit "$PID" "${3:-20}"
    check "$1: exit code $RC, expected $2" [ "$RC" = "$2" ]
}

# The application data folder of an ID in the wine user's local application data.
data_folder() { find "$WINEPREFIX/drive_c/users" -maxdepth 5 -type d -name "$1" 2>/dev/null | head -n1; }

# --- The programs themselves: subsystems and the runtime's manifest ---
# subsystem FILE: the PE optional header's subsystem (2 GUI, 3 console), at
# the same place in PE32 and PE32+.
subsystem() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tu2 -j$((pe + 92)) -N2 "$1" | tr -d ' '
}
# kind FILE: "<machine> <optional header magic>": "332 267" for 32-bit x86
# (PE32), "34404 523" for x86-64 (PE32+).
kind() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    echo "$(od -An -tu2 -j$((pe + 4)) -N2 "$1" | tr -d ' ') $(od -An -tu2 -j$((pe + 24)) -N2 "$1" | tr -d ' ')"
}
KIND=$(kind "$RUNTIME_EXE")
case $KIND in
    "332 267") pass "norvane-runtime.exe is a 32-bit x86 program (PE32)" ;;
    "34404 523") pass "norvane-runtime.exe is an x86-64 program (PE32+)" ;;
    *) fail "norvane-runtime.exe: unexpected machine and optional header ($KIND)" ;;
esac
check "norvane-pack.exe is built for the runtime's machine" test "$(kind "$PACK_EXE")" = "$KIND"
check "norvane-runtime.exe is a GUI program" test "$(subsystem "$RUNTIME_EXE")" = 2
check "norvane-pack.exe is a console program" test "$(subsystem "$PACK_EXE")" = 3
check "norvane-runtime.exe carries its manifest (per-monitor DPI v2, asInvoker, common controls 6)" \
    bash -c 'grep -q "PerMonitorV2, PerMonitor" "$1" && grep -q "asInvoker" "$1" &&
        grep -q "Microsoft.Windows.Common-Controls" "$1"' _ "$RUNTIME_EXE"

# --- Packing with the Windows packer, listing with the Linux one ---
mkdir -p "$T/src/site/css"
printf '<!doctype html><title>Wine App</title>\n' >"$T/src/site/index.html"
printf 'body { margin: 0 }\n' >"$T/src/site/css/site.css"
: >"$T/empty-loader"
ID="e2e-wine-$$"
# ini NAME ID PASSWORD
ini() { printf '[App]\nID=%s\nName=%s\nDirName=site\nPassword=%s\n' "$2" "$1" "$3" >"$T/qvx-$1.ini"; }
ini "Wine App" "$ID" ""
ini "Locked App" "$ID-locked" "Secret1"
# pack_exe NAME OUTPUT [LOADER [OPTIONS...]]: norvane-pack.exe with the
# runtime beside it (its default); the engine library is an empty file
# unless given.
pack_exe() {
    local name=$1 output=$2 loader=${3:-$T/empty-loader}
    shift 2
    [ $# -gt 0 ] && shift
    (cd "$T" && wine "$PACK_EXE" build --app "$(winpath "$T/src/site")" --ini "$(winpath "$T/qvx-$name.ini")" \
        --loader "$(winpath "$loader")" "$@" -o "$(winpath "$output")") >"$T/pack-$name.log" 2>&1
}
# With the application's icon and version texts in the runtime copy's resources.
if pack_exe "Wine App" "$T/app.exe" "$T/empty-loader" --icon "$(winpath "$ROOT/tests/fuzz/corpus/icon/red16.ico")" \
    --version-info "ProductName=Wine App" --version-info "FileVersion=2.5.0.1" && [ -f "$T/app.exe" ]; then
    pass "norvane-pack.exe build packs onto norvane-runtime.exe"
else
    fail "norvane-pack.exe build: $(tr -d '\r' <"$T/pack-Wine App.log")"
fi
# Read back by an independent reader of the resource tree (wrestool, icoutils).
check "the package's version block holds the texts given (wrestool)" \
    bash -c 'v=$(wrestool -x --raw --type=16 "$1" | strings -el) && grep -qx "Wine App" <<<"$v" && grep -qx "2.5.0.1" <<<"$v"' \
    _ "$T/app.exe"
wrestool -x --type=14 --name=MAINICON "$T/app.exe" >"$T/mainicon.ico" 2>/dev/null
check "the package carries the application's icon as MAINICON (wrestool)" \
    bash -c 'test -s "$1" && cmp -s <(icotool -l "$1") <(icotool -l "$2")' _ "$T/mainicon.ico" \
    "$ROOT/tests/fuzz/corpus/icon/red16.ico"
check "the package with rewritten resources keeps the runtime's machine and header kind" \
    test "$(kind "$T/app.exe" 2>/dev/null)" = "$KIND"
# Across word sizes: this build's packer edits and packs onto the runtime of
# the other Windows build (NORVANE_E2E_OTHER_RUNTIME, which
# scripts/test-windows.sh gives when that build exists), PE32+ onto PE32 or
# the other way round.
if [ -n "${NORVANE_E2E_OTHER_RUNTIME:-}" ]; then
    OTHER_KIND=$(kind "$NORVANE_E2E_OTHER_RUNTIME")
    rm -f "$T/other.exe" "$T/other.ico"
    pack_exe "Wine App" "$T/other.exe" "$T/empty-loader" --runtime "$(winpath "$NORVANE_E2E_OTHER_RUNTIME")" \
        --icon "$(winpath "$ROOT/tests/fuzz/corpus/icon/red16.ico")" --version-info "ProductName=Wine App"
    wrestool -x --type=14 --name=MAINICON "$T/other.exe" >"$T/other.ico" 2>/dev/null
    check "norvane-pack.exe packs onto the other build's runtime ($OTHER_KIND): kind kept, icon and version texts read back, payload listed" \
        bash -c 'test "$2" != "$3" && test "$2" = "$4" && cmp -s <(icotool -l "$5") <(icotool -l "$6") &&
            wrestool -x --raw --type=16 "$1" | strings -el | grep -qx "Wine App" &&
            "$7" list "$1" | grep -q "site/index.html"' \
        _ "$T/other.exe" "$OTHER_KIND" "$KIND" "$(kind "$T/other.exe" 2>/dev/null)" "$T/other.ico" \
        "$ROOT/tests/fuzz/corpus/icon/red16.ico" "$LINUX_PACK"
else
    echo "NOTE e2e: no runtime of the other Windows build given (NORVANE_E2E_OTHER_RUNTIME): packing across word sizes not checked"
fi
# The Linux packer's payload behind the unchanged runtime: exactly what
# follows the runtime's image.
"$LINUX_PACK" build --app "$T/src/site" --ini "$T/qvx-Wine App.ini" --loader "$T/empty-loader" \
    --runtime "$RUNTIME_EXE" -o "$T/linux-packed.exe" >"$T/pack-linux.log" 2>&1
size=$(stat -c %s "$RUNTIME_EXE")
check "a package starts with the runtime, byte for byte" cmp -s -n "$size" "$RUNTIME_EXE" "$T/linux-packed.exe"
check "a package has a payload behind the runtime" \
    test "$(stat -c %s "$T/linux-packed.exe" 2>/dev/null || echo 0)" -gt "$size"
"$LINUX_PACK" list "$T/app.exe" >"$T/list-linux" 2>&1
names=$(grep -oE '(qvx\.ini|WebView2LoaderWin32\.dll|site/index\.html|site/css/site\.css)' "$T/list-linux" | sort -u | paste -sd' ')
check "the Linux norvane-pack lists the Windows package ($names)" \
    [ "$names" = "WebView2LoaderWin32.dll qvx.ini site/css/site.css site/index.html" ]
# The other way round: the Linux packer's package listed by norvane-pack.exe.
wine "$PACK_EXE" list "$(winpath "$T/linux-packed.exe")" 2>&1 | tr -d '\r' >"$T/list-windows"
check "norvane-pack.exe lists a package of the Linux packer" \
    diff <(grep -oE '[^ ]*(qvx\.ini|\.dll|\.html|\.css)' "$T/list-linux" | sort) \
    <(grep -oE '[^ ]*(qvx\.ini|\.dll|\.html|\.css)' "$T/list-windows" | sort)

# --- Names outside Windows-1252: an application folder, its settings file and
# the output in a folder "Ωapp", with a subfolder "日本語" holding "ページ.html"
# and a file "Ωmega.css", packed by norvane-pack.exe; the entries keep the
# UTF-8 names, and cat and extract find and write them under those names ---
U=$T/Ωapp
mkdir -p "$U/site/日本語"
printf '<!doctype html><title>Ω</title>\n' >"$U/site/index.html"
printf '<p>ページ</p>\n' >"$U/site/日本語/ページ.html"
printf 'p { margin: 0 }\n' >"$U/site/Ωmega.css"
printf '[App]\nID=%s-utf8\nName=Unicode App\nDirName=site\n' "$ID" >"$U/設定.ini"
(cd "$T" && wine "$PACK_EXE" build --app "$(winpath "$U/site")" --ini "$(winpath "$U/設定.ini")" \
    --loader "$(winpath "$T/empty-loader")" -o "$(winpath "$U/出力.exe")") >"$T/pack-utf8.log" 2>&1
if [ -f "$U/出力.exe" ]; then
    pass "norvane-pack.exe packs from and into folders named outside Windows-1252"
else
    fail "norvane-pack.exe packs from and into folders named outside Windows-1252: $(tr -d '\r' <"$T/pack-utf8.log")"
fi
"$LINUX_PACK" list "$U/出力.exe" 2>/dev/null | grep -o ' site/.*' | sort >"$T/list-utf8"
check "the package's entries keep their UTF-8 names ($(paste -sd' ' "$T/list-utf8"))" \
    diff <(printf ' %s\n' site/ site/index.html site/Ωmega.css site/日本語/ site/日本語/ページ.html | sort) "$T/list-utf8"
check "norvane-pack.exe cat finds an entry named outside Windows-1252" \
    cmp -s "$U/site/日本語/ページ.html" <(wine "$PACK_EXE" cat "$(winpath "$U/出力.exe")" "site/日本語/ページ.html" 2>/dev/null)
wine "$PACK_EXE" extract "$(winpath "$U/出力.exe")" "$(winpath "$U/ペイロード.zip")" >"$T/extract-utf8.log" 2>&1
check "norvane-pack.exe extract writes the archive under its UTF-8 name" \
    bash -c 'test -s "$1/ペイロード.zip" && [ "$(ls "$1" | wc -l)" = 4 ]' _ "$U"

# --- No payload: the message, then exit code 0 ---
start bare "$RUNTIME_EXE"
expect_dialog "no payload" "$MSG_ERROR" "$MSG_NO_PAYLOAD" "$MSG_ACCEPT"
press "$MSG_ERROR" Return
if wait_gone "$MSG_ERROR" 3; then
    pass "no payload: Return presses the focused Accept button"
else
    fail "no payload: Return did not press the focused Accept button; closed with the space bar"
    press "$MSG_ERROR" space
fi
expect_exit "no payload" 0

# --- A damaged payload: the error report (titled by the program's name), then
# the end with exit code 1 ---
cp "$RUNTIME_EXE" "$T/damaged.exe"
head -c 5000 /dev/urandom >>"$T/damaged.exe"
start damaged "$T/damaged.exe"
expect_dialog "damaged payload" damaged "not a ZIP archive" OK
press damaged Return
expect_exit "damaged payload" 1

# --- A foreign payload: another program's ZIP (Info-ZIP zip, no password, no
# settings file) behind the runtime ends silently with 0; a window shown would
# keep the program running past the wait ---
mkdir -p "$T/foreign"
echo "not an application" >"$T/foreign/readme.txt"
(cd "$T/foreign" && zip -q -r "$T/foreign.zip" .)
cat "$RUNTIME_EXE" "$T/foreign.zip" >"$T/foreign.exe"
start foreign "$T/foreign.exe"
expect_exit "foreign payload: a silent end" 0 15

# --- An unusable engine library: the installation offer (the package with
# the rewritten resources starts, its payload found behind the new image
# end); refused, the data folder goes (the shell's delete) and the refusal
# message ends with 0 ---
start engine "$T/app.exe"
expect_dialog "engine missing" "$MSG_CONFIRM" "$MSG_INSTALL_OFFER" "$MSG_ACCEPT" "$MSG_CANCEL"
data=$(data_folder "$ID")
check "engine missing: the data folder holds the extracted engine library" \
    test -n "$data" -a -f "$data/Win32/WebView2LoaderWin32.dll"
press "$MSG_CONFIRM" Escape
expect_dialog "offer refused" "$MSG_ERROR" "$MSG_INSTALL_REFUSED" "$MSG_ACCEPT"
check "offer refused: the data folder is removed" [ -z "$(data_folder "$ID")" ]
press "$MSG_ERROR" space
expect_exit "offer refused" 0

# --- The access password: a wrong one is refused, the right one lets the
# start go on to the main window (the engine library is the stand-in that
# reports a version) ---
pack_exe "Locked App" "$T/locked.exe" "$ENGINE_FIXTURE" ||
    fail "packing the locked application: $(tr -d '\r' <"$T/pack-Locked App.log")"
start locked "$T/locked.exe"
if grep -qx "Edit " <<<"$(window_texts "Locked App")"; then
    pass "password: the password window with its edit is shown"
    type_text "Locked App" "secret1"
    press "Locked App" Return Escape
    sleep 1
    check "password: a wrong password is refused (the prompt stays, nothing else shown)" \
        test "$(window_texts "Locked App" 1 | grep -cx "Edit ")$(x_window "$MSG_ERROR")" = 1
    press "Locked App" End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
    type_text "Locked App" "Secret1"
    main=""
    for _ in $(seq 1 20); do
        texts=$(window_texts "Locked App" 1)
        if [ -n "$texts" ] && ! grep -qx "Edit " <<<"$texts"; then main=$texts; break; fi
        sleep 0.5
    done
    check "password: the right password is accepted and the main window follows" test -n "$main"
    kill -0 "$PID" 2>/dev/null
    check "password: the application runs on" test $? -eq 0
    kill "$PID" 2>/dev/null
    wait "$PID" 2>/dev/null
else
    fail "password: no password window \"Locked App\" with an edit"
fi

# --- A user folder outside ASCII: the local application data moved for one
# start to a folder "Jösé"; the engine library is written there and found
# again (the password window follows the engine step) ---
SHELL_FOLDERS='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
LOCAL_APPDATA=$(wine reg query "$SHELL_FOLDERS" /v "Local AppData" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Local AppData *REG_EXPAND_SZ *//p')
if [ -n "$LOCAL_APPDATA" ]; then
    RESTORE_LOCAL_APPDATA=$LOCAL_APPDATA
    mkdir -p "$T/Jösé"
    wine reg add "$SHELL_FOLDERS" /v "Local AppData" /t REG_EXPAND_SZ /d "$(winpath "$T/Jösé")" /f >/dev/null 2>&1
    start accented "$T/locked.exe"
    check "a user folder outside ASCII: the engine library is found there and the password window follows" \
        bash -c 'grep -qx "Edit " <<<"$1"' _ "$(window_texts "Locked App")"
    check "a user folder outside ASCII: the engine library is written into it" \
        test -s "$T/Jösé/$ID-locked/Win32/WebView2LoaderWin32.dll"
    kill "$PID" 2>/dev/null
    wait "$PID" 2>/dev/null
    restore_local_appdata
else
    fail "the local application data folder could not be read from the registry"
fi

echo "e2e: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
