#!/usr/bin/env bash
# Start-up of the runtime up to the main window, end to end: no payload, the
# dialog in the user's language, the silent ends of an incomplete payload, a
# damaged payload reaching the error report, and the theme step.
# Usage: bash startup_payload.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../startup/startup_common.sh"
PW=$(sed -n 's/.*PayloadPassword = "\([^"]*\)".*/\1/p' "$SOURCE/shared/PayloadFormat.h")

# --- Nothing attached: the error dialog, then exit code 0 ---
start bare "$RUNTIME"
expect_dialog "no payload" bare "$MSG_ERROR" "$MSG_NO_PAYLOAD" "$MSG_ACCEPT"
press "$PID" "$MSG_ERROR" Return
expect_exit "no payload" "$PID" 0

# The same in the user's language (the locale of formats), closed with the close box or Escape.
LANG=es_ES.UTF-8 start bare-es "$RUNTIME"
expect_dialog "no payload, es" bare-es "Error" "Esta no es una aplicación de Windows válida." "Aceptar"
close_box "$PID" "Error"
expect_exit "no payload, es, close box" "$PID" 0
LC_NUMERIC=fr_FR.UTF-8 start bare-fr "$RUNTIME"
expect_dialog "no payload, fr" bare-fr "Erreur" "Ce n'est pas une application Windows valide." "J'accepte"
press "$PID" "Erreur" Escape
expect_exit "no payload, fr, Escape" "$PID" 0
# A language without a row: English.
LANG=pt_BR.UTF-8 start bare-pt "$RUNTIME"
expect_dialog "no payload, pt" bare-pt "$MSG_ERROR" "$MSG_NO_PAYLOAD" "$MSG_ACCEPT"
press "$PID" "$MSG_ERROR" Return
expect_exit "no payload, pt" "$PID" 0

# --- Incomplete payloads (written by Info-ZIP zip): silent ends ---
zip_app() { # NAME INI_TEXT (empty: no qvx.ini)
    local dir="$T/zip-$1"
    mkdir -p "$dir/site"
    echo '<!doctype html>' >"$dir/site/index.html"
    cp "$ENGINE_FIXTURE" "$dir/WebView2LoaderWin32.dll"
    [ -n "$2" ] && printf '%s' "$2" >"$dir/qvx.ini"
    (cd "$dir" && zip -q -r -P "$PW" "$T/zip-$1.zip" .)
    cat "$RUNTIME" "$T/zip-$1.zip" >"$T/app-$1"
    chmod +x "$T/app-$1"
    echo "$T/app-$1"
}
for c in "no-id|[App]
Name=N
DirName=site
" "no-name|[App]
ID=silent
DirName=site
" "no-dirname|[App]
ID=silent
Name=N
" "no-ini|"; do
    name=${c%%|*}
    app=$(zip_app "$name" "${c#*|}")
    start "$name" "$app"
    expect_exit "$name" "$PID" 0 15
    sleep 0.2
    if grep -q '^window' "$T/dump-$name" 2>/dev/null; then fail "$name showed a window"; fi
    [ -z "$(ls -A "$XDG_DATA_HOME")" ] || fail "$name made folders: $(ls "$XDG_DATA_HOME")"
done

# --- A damaged payload: the error report, then the end (not a success) ---
cp "$RUNTIME" "$T/damaged"
head -c 5000 /dev/urandom >>"$T/damaged"
start damaged "$T/damaged"
for _ in $(seq 1 100); do grep -q '^window' "$T/dump-damaged" 2>/dev/null && break; sleep 0.1; done
if grep -q '^window.*modal=1' "$T/dump-damaged" 2>/dev/null; then
    grep -q '^button ' "$T/dump-damaged" || fail "damaged payload: the report has no button"
    for _ in $(seq 1 30); do
        w=$(xdotool search --pid "$PID" 2>/dev/null | head -n1) && [ -n "$w" ] && break
        sleep 0.1
    done
    activate_window "$w" || true
    xdotool key Return
    expect_exit "damaged payload" "$PID" 1
else
    fail "damaged payload: no error report shown"
    kill "$PID" 2>/dev/null
fi

# --- Theme: an unknown style shows the box once and start-up goes on ---
app=$(pack carbon $'[App]\nID=theme-test\nName=Theme Test\nDirName=site\nTheme=Carbonite\n')
start carbon "$app"
expect_dialog "unknown theme" carbon "Error" "Style 'Carbonite' not found" "OK"
press "$PID" "Error" Return
wait_window carbon "Theme Test" || fail "unknown theme: the main window did not follow the box"
kill -0 "$PID" 2>/dev/null || fail "unknown theme: the process ended"
grep -q "Style 'Carbonite'" "$T/dump-carbon" && fail "unknown theme: the box came again"
kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null

# "Windows" in any case is the system look: no box.
for theme in windows WINDOWS Windows; do
    app=$(pack "theme-$theme" "[App]
ID=theme-$theme
Name=Look $theme
DirName=site
Theme=$theme
")
    start "theme-$theme" "$app"
    wait_window "theme-$theme" "Look $theme" || fail "theme $theme: no main window"
    grep -q 'not found' "$T/dump-theme-$theme" && fail "theme $theme: a style box was shown"
    kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null
done

finish
