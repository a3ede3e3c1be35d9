#!/usr/bin/env bash
# Sequential requests side by side, paired runs: a page fetch()es 300 files of
# 10 KB one after the other (each read whole) and measures the time in the page
# (performance.now()), once in a packaged application (served from its
# archive) and once in a bare WebKitGTK program serving the same files over a
# scheme of its own (bench/BareWebKit.c --serve).
# Prints the medians and the ratio packaged / bare (1.00 = as fast).
# What the packaged side does and the bare one does not: each file is
# decrypted from the payload (about 11 ns a byte on the two-core test machine,
# so some 0.1 ms a 10 KB file; mostly done ahead by the archive reader's
# worker while an earlier file is served), and each answer carries the
# headers the host gives every resource (Content-Type with its character set,
# Accept-Ranges, Content-Length).
# Usage: bash bench/requests.sh [BUILD_DIR] [RUNS]   (needs a display, or runs
# itself under scripts/with-display.sh)
set -euo pipefail
source "$(dirname "$0")/common.sh"
RUNS=${2:-10}
COUNT=300
mkdir -p app page
cc -O2 -o bare "$SOURCE/bench/BareWebKit.c" $(pkg-config --cflags --libs webkit2gtk-4.1)

head -c 7680 /dev/urandom | base64 -w 0 > one.txt # 10240 bytes of text
for i in $(seq 0 $((COUNT - 1))); do
    cp one.txt "app/file$i.txt"
    cp one.txt "page/file$i.txt"
done
# The loop, shared by both pages; REPORT(ms) is each program's own way out.
LOOP='
async function run() {
  var total = 0;
  var start = performance.now();
  for (var i = 0; i < '$COUNT'; i++) {
    var response = await fetch("file" + i + ".txt");
    total += (await response.text()).length;
  }
  var ms = performance.now() - start;
  if (total !== '$COUNT' * 10240) throw new Error("short read: " + total);
  REPORT(ms.toFixed(1));
}
window.addEventListener("load", function () { run().catch(function (e) { REPORT("error " + e); }); });'
cat > page/index.html <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>bench</title><script>
function REPORT(text) { fetch("done/" + encodeURIComponent(text)).catch(function () {}); }
$LOOP
</script></head><body>requests</body></html>
HTML
cat > app/index.html <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>bench</title><script>
function REPORT(text) {
  qvx.files.writeTextFile({ filePath: "$T/done.txt", contents: text }).then(function () { qvx.app.close(); });
}
$LOOP
</script></head><body>requests</body></html>
HTML
printf '[App]\nID=norvane-bench\nName=Bench\nDirName=app\n' > qvx.ini
"$PACK" build --app app --ini qvx.ini -o packed >/dev/null

number() { [[ "$1" =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "a run reported: $1" >&2; exit 1; }; echo "$1"; }
run_packed() {
    rm -f done.txt
    ./packed >/dev/null 2>&1 || true
    [ -s done.txt ] || { echo "the packaged page did not report" >&2; exit 1; }
    number "$(sed '1s/^\xEF\xBB\xBF//; s/\r$//' done.txt)" # written with a byte order mark and CR LF
}
run_bare() {
    number "$(./bare --serve "$T/page" 2>/dev/null | tail -n 1)"
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
p=$(median < packed.txt)
b=$(median < bare.txt)
printf '%d sequential fetch()es of 10 KB   packaged %7.1f ms  bare %7.1f ms  ratio %.3f\n' \
    "$COUNT" "$p" "$b" "$(echo "scale=4; $p / $b" | bc)"
