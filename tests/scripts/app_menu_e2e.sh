#!/usr/bin/env bash
# The page's menu bar end to end with the real engine: a page of the test
# application builds a File and an Edit menu; picks made from the keyboard as
# a GTK user makes them (F10 and the arrow keys, Alt with an access key, the
# access key of an item) reach the page's onMainMenuItemClick with the item's
# number; updateItem renames and disables an item in place; with the dialog
# border (WindowBorder=3) the calls succeed and no menu bar shows. What the
# windows show is read through the widget-dump module.
# Usage: bash app_menu_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

# menu_items LABEL: the "menuitem" lines of every shown window of the run.
menu_items() { grep '^menuitem ' "$T/dump-$1" 2>/dev/null; }

# wait_menu_item LABEL LINE: true once a shown window has that menu item line.
wait_menu_item() {
    for _ in $(seq 1 50); do
        menu_items "$1" | grep -qxF "$2" && return 0
        sleep 0.1
    done
    return 1
}

# keys PID KEY...: real key presses, with the page window of the process active.
keys() {
    local pid=$1 w
    shift
    w=$(page_window "$pid") || { fail "no page window to type into"; return 1; }
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    for k in "$@"; do
        xdotool key --clearmodifiers "$k"
        sleep 0.3
    done
}

app=$(pack_app menu "[App]\nID=norvane-menu\nName=Menu E2E\nDirName=webapp\nIndexHtml=menu.html\nDynamicAppTitle=1\n") || exit 1
start menu "$app"
MENU=$PID
if wait_title "$MENU" "E2E menu set=true" 30; then
    wait_menu_item menu "menuitem sensitive=1 File" && wait_menu_item menu "menuitem sensitive=1 Edit" ||
        fail "no menu bar with File and Edit: $(menu_items menu | paste -sd'|')"
    # F10 opens the first menu; Down and Return pick its first item.
    keys "$MENU" F10 Down Return
    wait_title "$MENU" "E2E menu set=true;picks=11;updated=true" 10 || fail "F10, Down, Return: $TITLE"
    # The renamed item shows disabled; its access key picks nothing.
    keys "$MENU" alt+f
    wait_menu_item menu "menuitem sensitive=0 Exit" ||
        fail "updateItem did not rename and disable Quit: $(menu_items menu | paste -sd'|')"
    # Open has a picture, Exit none: their texts start in one column.
    open_x=$(sed -n 's/^menulabel x=\([0-9-]*\) Open$/\1/p' "$T/dump-menu" | head -n1)
    exit_x=$(sed -n 's/^menulabel x=\([0-9-]*\) Exit$/\1/p' "$T/dump-menu" | head -n1)
    [ -n "$open_x" ] && [ "$open_x" = "$exit_x" ] ||
        fail "the texts of the File menu are not aligned: Open at ${open_x:-?}, Exit at ${exit_x:-?}"
    # The "-" item between them draws a line with room around it.
    sep=$(grep -m1 '^separator ' "$T/dump-menu")
    # (Inside its ends, clear of the menu's border.)
    if [[ $sep =~ at=(-?[0-9]+),(-?[0-9]+)\ size=([0-9]+),([0-9]+) ]] && [ "${BASH_REMATCH[3]}" -gt 20 ]; then
        import -window root \
            -crop "$((BASH_REMATCH[3] - 16))x${BASH_REMATCH[4]}+$((BASH_REMATCH[1] + 8))+${BASH_REMATCH[2]}" \
            "$T/separator.png"
        contrast=$(convert "$T/separator.png" -colorspace Gray -format '%[fx:round(255*(maxima-minima))]' info:)
        [ "${BASH_REMATCH[4]}" -ge 3 ] && [ "${contrast:-0}" -ge 30 ] ||
            fail "the separator shows no line: $sep, contrast ${contrast:-?}"
    else
        fail "no separator in the open File menu: $(grep -c . "$T/dump-menu") dump lines"
    fi
    keys "$MENU" x Escape Escape
    # Alt with the access key of Edit, then the access key of Copy.
    keys "$MENU" alt+e c
    wait_title "$MENU" "E2E menu set=true;picks=11,21;" 10 || fail "Alt+E, C: $TITLE"
else
    fail "the menu page did not report: $TITLE; output: $(head -c 2000 "$T/out-menu")"
fi
stop "$MENU"

# With the dialog border the calls succeed, and no menu bar shows.
dialog=$(pack_app dialog "[App]\nID=norvane-menu-dialog\nName=Dialog E2E\nDirName=webapp\nIndexHtml=menu.html\nDynamicAppTitle=1\nWindowBorder=3\n") ||
    exit 1
start dialog "$dialog"
if wait_title "$PID" "E2E menu set=true" 30; then
    sleep 0.5
    [ -z "$(menu_items dialog)" ] || fail "a menu bar shows with WindowBorder=3: $(menu_items dialog | paste -sd'|')"
else
    fail "the menu page with the dialog border did not report: $TITLE"
fi
stop "$PID"

finish
