#!/usr/bin/env bash
# The engine check and the installer end to end: installing not allowed, the
# offer refused (Cancel, Escape, close box) with the data folder removed, a
# failing installer, no installer in the payload, and an installer that makes
# the check succeed, after which the application starts anew without
# arguments. The installers are small scripts run without elevation
# (NORVANE_ELEVATION=none).
# Usage: bash startup_engine.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../startup/startup_common.sh"
export NORVANE_ELEVATION=none
export INSTALL_LOG="$T/install-log"
export ENGINE_FIXTURE
: >"$T/empty-loader"

# Installers: each records its arguments (one per line) and what the progress
# window showed while it ran.
cat >"$T/failing-installer" <<'SH'
#!/bin/sh
for a in "$@"; do echo "arg $a"; done >>"$INSTALL_LOG"
sleep 1
cp "$NORVANE_WIDGET_DUMP" "$INSTALL_LOG.windows" 2>/dev/null
exit 1
SH
cat >"$T/good-installer" <<'SH'
#!/bin/sh
for a in "$@"; do echo "arg $a"; done >>"$INSTALL_LOG"
sleep 1
cp "$NORVANE_WIDGET_DUMP" "$INSTALL_LOG.windows" 2>/dev/null
target="$XDG_DATA_HOME/engine-app/Win32/WebView2LoaderWin32.dll"
cp "$ENGINE_FIXTURE" "$target.new" && mv "$target.new" "$target"
SH

DATA="$XDG_DATA_HOME/engine-app"

# --- Installing not allowed: message 6, exit 0 ---
app=$(pack no-install $'[App]\nID=engine-app\nName=Engine App\nDirName=site\nEdgeInstaller=0\n' \
    --loader "$ENGINE_WITHOUT_ENTRY")
start no-install "$app"
expect_dialog "installing not allowed" no-install "$MSG_ERROR" "$MSG_RUNTIME_REQUIRED" "$MSG_ACCEPT"
press "$PID" "$MSG_ERROR" Return
expect_exit "installing not allowed" "$PID" 0
cmp -s "$DATA/Win32/WebView2LoaderWin32.dll" "$ENGINE_WITHOUT_ENTRY" || fail "the engine library was not placed"
rm -rf "$DATA"

# --- The offer refused: the folder goes, message 8 ---
INI=$'[App]\nID=engine-app\nName=Engine App\nDirName=site\n'
offer=$(pack offer "$INI" --loader "$T/empty-loader" --installer "$T/failing-installer")
for how in Cancel Escape close-box; do
    start "refuse-$how" "$offer"
    expect_dialog "offer ($how)" "refuse-$how" "$MSG_CONFIRM" "$MSG_INSTALL_OFFER" "$MSG_ACCEPT" "$MSG_CANCEL"
    [ -f "$DATA/Win32/WebView2LoaderWin32.dll" ] && [ ! -s "$DATA/Win32/WebView2LoaderWin32.dll" ] ||
        fail "offer ($how): the empty engine library is not in place"
    case $how in
    Cancel) activate "$PID" "$MSG_CONFIRM" && click_button "refuse-$how" "$MSG_CONFIRM" "$MSG_CANCEL" ;;
    Escape) press "$PID" "$MSG_CONFIRM" Escape ;;
    close-box) close_box "$PID" "$MSG_CONFIRM" ;;
    esac
    expect_dialog "refused ($how)" "refuse-$how" "$MSG_ERROR" "$MSG_INSTALL_REFUSED" "$MSG_ACCEPT"
    [ -e "$DATA" ] && fail "refused ($how): the data folder is still there"
    press "$PID" "$MSG_ERROR" Return
    expect_exit "refused ($how)" "$PID" 0
done
[ -e "$INSTALL_LOG" ] && fail "an installer ran after a refusal"

# --- Accepted, the installer fails: message 9, the folder goes ---
start failing "$offer"
expect_dialog "offer (accepted)" failing "$MSG_CONFIRM" "$MSG_INSTALL_OFFER" "$MSG_ACCEPT" "$MSG_CANCEL"
press "$PID" "$MSG_CONFIRM" Return
expect_dialog "installation failed" failing "$MSG_ERROR" "$MSG_INSTALL_FAILED" "$MSG_ACCEPT"
[ -e "$DATA" ] && fail "installation failed: the data folder is still there"
[ "$(cat "$INSTALL_LOG" 2>/dev/null)" = $'arg /silent\narg /install' ] ||
    fail "the installer's arguments: $(cat "$INSTALL_LOG" 2>/dev/null)"
grep -q '^window title=EdgeInstallerForm decorated=0 modal=0 width=80 height=80 ' "$INSTALL_LOG.windows" 2>/dev/null ||
    fail "no 80 x 80 borderless progress window while the installer ran: $(cat "$INSTALL_LOG.windows" 2>/dev/null)"
press "$PID" "$MSG_ERROR" Return
expect_exit "installation failed" "$PID" 0
rm -f "$INSTALL_LOG" "$INSTALL_LOG.windows"

# --- No installer in the payload: an empty file cannot be run; message 9 ---
none=$(pack no-installer "$INI" --loader "$T/empty-loader")
start no-installer "$none"
expect_dialog "offer (no installer)" no-installer "$MSG_CONFIRM" "$MSG_INSTALL_OFFER" "$MSG_ACCEPT" "$MSG_CANCEL"
press "$PID" "$MSG_CONFIRM" Return
expect_dialog "no installer" no-installer "$MSG_ERROR" "$MSG_INSTALL_FAILED" "$MSG_ACCEPT"
[ -e "$DATA" ] && fail "no installer: the data folder is still there"
press "$PID" "$MSG_ERROR" Return
expect_exit "no installer" "$PID" 0

# --- The installer makes the check succeed: the installer file goes and the
# application starts anew, without the arguments of this start ---
good=$(pack good "$INI" --loader "$T/empty-loader" --installer "$T/good-installer")
start good "$good" engine-app "file:///index.html"
expect_dialog "offer (good installer)" good "$MSG_CONFIRM" "$MSG_INSTALL_OFFER" "$MSG_ACCEPT" "$MSG_CANCEL"
press "$PID" "$MSG_CONFIRM" Return
expect_exit "installation succeeded" "$PID" 0 30
[ "$(cat "$INSTALL_LOG" 2>/dev/null)" = $'arg /silent\narg /install' ] ||
    fail "the good installer's arguments: $(cat "$INSTALL_LOG" 2>/dev/null)"
[ -e "$DATA/WebView2Installer.exe" ] && fail "the installer file was not deleted"
cmp -s "$DATA/Win32/WebView2LoaderWin32.dll" "$ENGINE_FIXTURE" || fail "the installed engine library is not in place"
# The new process: same executable, no arguments, its main window shown.
restarted=""
for _ in $(seq 1 100); do
    for w in $(xdotool search --name '^Engine App$' 2>/dev/null); do
        restarted=$(xdotool getwindowpid "$w" 2>/dev/null) && break 2
    done
    sleep 0.1
done
if [ -z "$restarted" ]; then
    fail "the application was not started anew"
else
    STARTED_PIDS+=("$restarted")
    [ "$(readlink "/proc/$restarted/exe")" = "$good" ] || fail "restarted another program: $(readlink "/proc/$restarted/exe")"
    args=$(tr '\0' '\n' <"/proc/$restarted/cmdline" | tail -n +2)
    [ -z "$args" ] || fail "the restarted process got arguments: $args"
    [ -z "$(window_block good "Engine App" | grep '^entry')" ] || fail "the restarted process shows a prompt"
    kill "$restarted" 2>/dev/null
fi

finish
