#!/usr/bin/env bash
# Start-up side by side, paired runs: a packaged application against a bare
# WebKitGTK program (bench/BareWebKit.c) showing the same page.
#   launch -> page load: until the page's load (the packaged page writes
#     Date.now() through the bridge; the bare program prints the time of
#     WebKit's load-finished);
#   launch -> close: the whole process, which ends right after the load.
# Prints the medians and the ratios packaged / bare (1.00 = as fast).
# Usage: bash bench/startup.sh [BUILD_DIR] [RUNS]   (needs a display, or runs
# itself under scripts/with-display.sh)
set -euo pipefail
source "$(dirname "$0")/common.sh"
RUNS=${2:-10}
mkdir -p app page
cc -O2 -o bare "$SOURCE/bench/BareWebKit.c" $(pkg-config --cflags --libs webkit2gtk-4.1)

BODY='<h1>Start-up</h1><p>The same page in both programs.</p>'
cat > page/index.html <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>bench</title></head><body>$BODY</body></html>
HTML
cat > app/index.html <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>bench</title>
<script>
window.addEventListener("load", function () {
  qvx.files.writeTextFile({ filePath: "$T/loaded.txt", contents: String(Date.now()) })
    .then(function () { qvx.app.close(); });
});
</script></head><body>$BODY</body></html>
HTML
printf '[App]\nID=norvane-bench\nName=Bench\nDirName=app\n' > qvx.ini
"$PACK" build --app app --ini qvx.ini -o packed >/dev/null

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# run_packed / run_bare: "LOAD_MS TOTAL_MS" of one launch.
run_packed() {
    rm -f loaded.txt
    local start end
    start=$(now_ms)
    ./packed >/dev/null 2>&1 || true
    end=$(now_ms)
    [ -s loaded.txt ] || { echo "the packaged page did not report its load" >&2; exit 1; }
    echo "$(($(tr -dc 0-9 < loaded.txt) - start)) $((end - start))"
}
run_bare() {
    local start end loaded
    start=$(now_ms)
    loaded=$(./bare "file://$T/page/index.html" 2>/dev/null)
    end=$(now_ms)
    echo "$((loaded - start)) $((end - start))"
}
run_packed >/dev/null # first start: the engine library is placed once
run_bare >/dev/null
: > packed.txt; : > bare.txt
for i in $(seq 1 "$RUNS"); do
    if [ $((i % 2)) -eq 1 ]; then
        run_packed >> packed.txt; run_bare >> bare.txt
    else
        run_bare >> bare.txt; run_packed >> packed.txt
    fi
done
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
for column in 1 2; do
    name=$([ $column = 1 ] && echo "launch -> page load" || echo "launch -> close (whole process)")
    p=$(cut -d' ' -f$column packed.txt | median)
    b=$(cut -d' ' -f$column bare.txt | median)
    printf '%-34s packaged %5d ms  bare %5d ms  ratio %.3f\n' "$name" "$p" "$b" "$(echo "scale=4; $p / $b" | bc)"
done
