#!/usr/bin/env bash
# norvane-pack desktop: the application entry passes desktop-file-validate,
# takes its name and comment from the packed version texts (or options), its
# icon images come out as PNGs of every hicolor size scaled from the nearest
# image, and --install puts both into the user's XDG data folder.
# Usage: bash packer_desktop.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PACK="$BUILD/packer/norvane-pack"
for tool in desktop-file-validate identify convert; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh installs it)"; exit 1; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }

mkdir -p app/site
printf '<p>x\n' > app/site/index.html
printf '[App]\nID=org.example/Probe App\nName=Probe\nDirName=site\n' > app/qvx.ini
convert -size 16x16 xc:red \( -size 32x32 xc:blue \) \( -size 256x256 xc:orange \) app.ico
EXE="$T/my app \$1"
"$PACK" build --app app/site --ini app/qvx.ini --loader app/qvx.ini --icon app.ico \
    --version-info "ProductName=Probe Ünïcode" --version-info 'FileDescription=Tries things; \ too' \
    -o "$EXE" >/dev/null 2>&1 || fail "build"

# pixel FILE: the colour of one inner pixel (the test images are plain).
pixel() { convert "$1" -format '%[hex:p{4,4}]' info: | cut -c1-6; }
check_tree() { # BASE
    local entry="$1/applications/org.example-Probe-App.desktop"
    desktop-file-validate "$entry" > validate.out 2>&1 || fail "desktop-file-validate: $(cat validate.out)"
    grep -qx 'Name=Probe Ünïcode' "$entry" || fail "name from ProductName: $(cat "$entry")"
    grep -qxF 'Comment=Tries things; \\ too' "$entry" || fail "comment from FileDescription"
    grep -qx 'Icon=org.example-Probe-App' "$entry" || fail "icon name"
    for size in 16:ff0000 22:0000ff 24:0000ff 32:0000ff 48:ffa500 64:ffa500 128:ffa500 256:ffa500; do
        local png="$1/icons/hicolor/${size%:*}x${size%:*}/apps/org.example-Probe-App.png"
        [ "$(identify -format '%m %wx%h' "$png" 2>/dev/null)" = "PNG ${size%:*}x${size%:*}" ] ||
            { fail "icon $png"; continue; }
        [ "$(pixel "$png" | tr A-F a-f)" = "${size#*:}" ] || fail "icon ${size%:*} scaled from the wrong image"
    done
}
"$PACK" desktop "$EXE" -o out >/dev/null || fail "desktop -o"
check_tree out
XDG_DATA_HOME="$T/data" "$PACK" desktop "$EXE" --install >/dev/null || fail "desktop --install"
check_tree data
HOME="$T/home" XDG_DATA_HOME= "$PACK" desktop "$EXE" --install --name Other >/dev/null || fail "install into HOME"
grep -qx 'Name=Other' home/.local/share/applications/org.example-Probe-App.desktop || fail "--name or ~/.local/share"

# Refusals leave nothing behind.
printf '\0\0\1\0\0\0' > zero.ico
"$PACK" desktop "$EXE" -o refused --icon zero.ico 2>refused.err && fail "an icon without images accepted"
grep -q "no images" refused.err || fail "message for an empty icon: $(cat refused.err)"
"$PACK" desktop "$BUILD/runtime/norvane-runtime" -o refused 2>refused.err && fail "a runtime without payload accepted"
[ ! -e refused ] || fail "a refused entry left files"

if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "packer_desktop: all checks passed"
