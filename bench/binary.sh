#!/usr/bin/env bash
# Binary files from a page of a packaged application, 50 MB: fetch() of the
# file from the application's archive (the yardstick), qvx.files.
# readBinaryFile of the same bytes from the disk, and qvx.files.
# writeBinaryFile of them to the disk (the time from the bytes being ready in
# the page to the promise). Each timing run starts the application for one of
# the three, which the page repeats ITER times (performance.now() around each,
# the bytes checked by their length); each memory run does it once, so no
# garbage of an earlier transfer counts. The runs of the three alternate
# (MODES="read write" limits them).
# Memory: the proportional set size (Pss, so pages shared between the
# processes count once) of the application's process and all its children
# (the engine's web and network processes), sampled every 20 ms; the peak
# over the run minus the level when the page starts (after loading and its
# first frames, at rest, before the first byte is made or read), and each
# process's share of the largest.
# Prints the medians, the ratios to fetch() and the peak memory above start
# (the median of the runs, and the largest).
# Usage: bash bench/binary.sh [BUILD_DIR] [RUNS] [ITER]   (needs a display, or
# runs itself under scripts/with-display.sh)
set -euo pipefail
source "$(dirname "$0")/common.sh"
RUNS=${2:-3}
ITER=${3:-5}
MB=50
# A run of one transfer measures memory only, so the timed runs need two or more.
[ "$ITER" -ge 2 ] || { echo "ITER must be 2 or more"; exit 2; }
mkdir -p app
head -c $((MB * 1024 * 1024)) /dev/urandom > app/data.bin
cp app/data.bin disk.bin
cat > app/index.html <<HTML
<!doctype html><html><head><meta charset="utf-8"><title>bench</title><script>
const SIZE = $MB * 1024 * 1024;
function report(text) {
  qvx.files.writeTextFile({ filePath: "$T/done.txt", contents: text }).then(() => qvx.app.close());
}
async function once(what) {
  const start = performance.now();
  let length = 0;
  if (what === "fetch") {
    length = (await (await fetch("data.bin")).arrayBuffer()).byteLength;
  } else if (what === "read") {
    length = (await qvx.files.readBinaryFile({ filePath: "$T/disk.bin" })).byteLength;
  } else {
    const bytes = new Uint8Array(SIZE);
    for (let i = 0; i < SIZE; i += 65536) crypto.getRandomValues(bytes.subarray(i, i + 65536));
    const made = performance.now();
    await qvx.files.writeBinaryFile({ filePath: "$T/out.bin", data: bytes });
    length = (await qvx.files.stat({ path: "$T/out.bin" })).size;
    return [performance.now() - made, length];
  }
  return [performance.now() - start, length];
}
async function run() {
  const [what, count] = (await qvx.files.readTextFile({ filePath: "$T/mode.txt" })).trim().split(" ");
  // The page's first frames (software GL compiles its shaders, code of the
  // engine is paged in) cost the same with or without a transfer: the level
  // of the start is taken once they are drawn and the page is at rest.
  await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
  await new Promise((resolve) => setTimeout(resolve, 1000));
  await qvx.files.writeTextFile({ filePath: "$T/started.txt", contents: "" });
  const times = [];
  for (let i = 0; i < Number(count); i++) {
    const [ms, length] = await once(what);
    if (length !== SIZE) throw new Error(what + " gave " + length + " bytes");
    times.push(ms.toFixed(1));
  }
  report(times.join(" "));
}
window.addEventListener("load", () => run().catch((e) => report("error " + e)));
</script></head><body>binary</body></html>
HTML
printf '[App]\nID=norvane-bench-binary\nName=Bench\nDirName=app\n' > qvx.ini
"$PACK" build --app app --ini qvx.ini -o packed >/dev/null
rm -rf app

# pss_tree PID: the summed Pss of the process and its descendants, in KiB;
# each process's own ("name KiB") in sample.txt.
pss_tree() {
    local pids=$1 next=$1 p
    while [ -n "$next" ]; do
        next=$(for p in $next; do cat /proc/"$p"/task/*/children 2>/dev/null || true; done | tr -s ' \n' ' ')
        pids="$pids $next"
    done
    for p in $pids; do
        kib=$(awk '/^Pss:/ { print $2 }' /proc/"$p"/smaps_rollup 2>/dev/null || true)
        [ -z "$kib" ] || echo "$(tr -c 'A-Za-z0-9\n' _ </proc/"$p"/comm 2>/dev/null || echo gone) $kib"
    done > sample.txt
    awk '{ s += $2 } END { print s + 0 }' sample.txt
}
# run MODE COUNT: starts the application for COUNT times MODE; appends its
# times to MODE.txt, or with COUNT 1 its peak memory above the start (MiB) to
# MODE.mem (one transfer, so no garbage of an earlier one counts).
run() {
    printf '%s %s' "$1" "$2" > mode.txt
    rm -f done.txt started.txt out.bin
    ./packed >/dev/null 2>&1 &
    local pid=$! base=0 peak=0 now
    while kill -0 "$pid" 2>/dev/null; do
        now=$(pss_tree "$pid")
        if [ ! -e started.txt ]; then
            base=$now
            cp sample.txt base.txt
        elif [ "$now" -gt "$peak" ]; then
            peak=$now
            cp sample.txt peak.txt
        fi
        sleep 0.02
    done
    wait "$pid" || true
    [ -s done.txt ] || { echo "the page did not report ($1)" >&2; exit 1; }
    local times
    times=$(sed '1s/^\xEF\xBB\xBF//; s/\r$//' done.txt)
    [[ "$times" =~ ^[0-9.\ ]+$ ]] || { echo "$1: $times" >&2; exit 1; }
    [ "$1" != write ] || [ "$(stat -c %s out.bin)" = $((MB * 1048576)) ] ||
        { echo "write: the file has $(stat -c %s out.bin) bytes" >&2; exit 1; }
    if [ "$2" = 1 ]; then
        local mib=$(((peak - base) / 1024))
        # Each process's share of the largest peak of MODE (above its start).
        local largest
        largest=$(sort -n "$1.mem" 2>/dev/null | tail -1 || true)
        if [ "$mib" -ge "${largest:-0}" ]; then
            awk 'NR == FNR { b[$1] += $2; next } { p[$1] += $2 } END { for (k in p) printf "%s %+d, ", k, (p[k] - b[k]) / 1024 }' \
                base.txt peak.txt | sed 's/, $/ MiB/' > "$1.procs"
        fi
        echo "$mib" >> "$1.mem"
    else
        tr ' ' '\n' <<<"$times" >> "$1.txt"
    fi
}
run fetch 1 # first start: the engine library is placed once
: > fetch.txt; : > read.txt; : > write.txt; : > fetch.mem; : > read.mem; : > write.mem; rm -f ./*.procs
for i in $(seq 1 "$RUNS"); do
    for mode in ${MODES:-fetch read write}; do run "$mode" "$ITER"; run "$mode" 1; done
done
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
f=$(median < fetch.txt) r=$(median < read.txt) w=$(median < write.txt)
printf '%d MB, median of %d    fetch() from the archive %8.1f ms\n' "$MB" $((RUNS * ITER)) "$f"
memory() { echo "$(median < "$1.mem") MiB, largest $(sort -n "$1.mem" | tail -1) MiB"; }
printf '    readBinaryFile  %8.1f ms  ratio %.2f    peak memory above start %s\n' \
    "$r" "$(echo "scale=4; $r / $f" | bc)" "$(memory read)"
printf '    writeBinaryFile %8.1f ms  ratio %.2f    peak memory above start %s\n' \
    "$w" "$(echo "scale=4; $w / $f" | bc)" "$(memory write)"
printf '    fetch()                               peak memory above start %s\n' "$(memory fetch)"
for mode in read write fetch; do
    [ ! -s "$mode.procs" ] || printf '    %-5s at its largest peak, by process: %s\n' "$mode" "$(cat "$mode.procs")"
done
