#!/usr/bin/env bash
# Start-up as work done rather than time: the instructions that the
# application's own process executes from launch until it ends right after
# its page's load, counted by callgrind (valgrind), for a packaged
# application and for a bare WebKitGTK program (bench/BareWebKit.c) showing
# the same page. WebKit's content processes are not counted: they do the same
# work for both. The counts barely vary from run to run, unlike the times of
# bench/startup.sh, so a few million instructions more or less can be seen.
# Prints both counts in millions, the share spent in the dynamic loader, and
# the ratio packaged / bare.
# Usage: bash bench/startup-instructions.sh [BUILD_DIR]   (needs valgrind and
# a display, or runs itself under scripts/with-display.sh)
set -euo pipefail
command -v valgrind >/dev/null || { echo "needs valgrind (apt-get install valgrind)"; exit 1; }
source "$(dirname "$0")/common.sh"
mkdir -p app page
cc -O2 -o bare "$SOURCE/bench/BareWebKit.c" $(pkg-config --cflags --libs webkit2gtk-4.1)
BODY='<h1>Start-up</h1><p>The same page in both programs.</p>'
printf '<!doctype html><html><head><meta charset="utf-8"><title>bench</title></head><body>%s</body></html>\n' \
    "$BODY" > page/index.html
printf '<!doctype html><html><head><meta charset="utf-8"><title>bench</title><script>
window.addEventListener("load", function () { qvx.app.close(); });
</script></head><body>%s</body></html>\n' "$BODY" > app/index.html
printf '[App]\nID=norvane-bench\nName=Bench\nDirName=app\n' > qvx.ini
"$PACK" build --app app --ini qvx.ini -o packed >/dev/null
./packed >/dev/null 2>&1 # first start: the engine library is placed once

# count NAME COMMAND...: "TOTAL LOADER" in millions of instructions.
count() {
    local name=$1
    shift
    valgrind --tool=callgrind --trace-children=no --callgrind-out-file="$name.out" "$@" >/dev/null 2>"$name.log" ||
        { echo "$name failed under valgrind:"; tail -5 "$name.log"; exit 1; }
    callgrind_annotate --inclusive=no "$name.out" 2>/dev/null | awk '
        /PROGRAM TOTALS/ { gsub(",", "", $1); total = $1 }
        /ld-linux/ { n = $1; gsub(",", "", n); loader += n }
        END { printf "%.1f %.1f\n", total / 1e6, loader / 1e6 }'
}
read -r p pl < <(count packed ./packed)
read -r b bl < <(count bare ./bare "file://$T/page/index.html")
printf 'instructions of the main process   packaged %7.1f M (loader %6.1f M)  bare %7.1f M (loader %6.1f M)  ratio %.3f\n' \
    "$p" "$pl" "$b" "$bl" "$(echo "scale=4; $p / $b" | bc)"
