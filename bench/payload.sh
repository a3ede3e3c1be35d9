#!/usr/bin/env bash
# Payload figures side by side, paired runs on a generated 200 MB payload:
#   open + list of the package  against reading the whole file (cat),
#   one stored and one deflated entry written out (norvane-pack cat) against
#   Info-ZIP's `unzip -p -P` on the same entry of the stand-alone payload.
# Prints the median of each and the ratio (for extraction: unzip / ours, so
# 1.0 or more means at least as fast).
# Usage: bash bench/payload.sh [BUILD_DIR] [RUNS]
set -euo pipefail
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$SOURCE/build}" && pwd)
RUNS=${2:-5}
PACK="$BUILD/packer/norvane-pack"
PW=$(sed -n 's/.*PayloadPassword = "\([^"]*\)".*/\1/p' "$SOURCE/shared/PayloadFormat.h")
[ -x "$PACK" ] || { echo "build norvane-pack first"; exit 1; }
command -v unzip >/dev/null || { echo "unzip is needed"; exit 1; }

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
mkdir -p app
printf '<!doctype html>\n' > app/index.html
# 200 MB: half random bytes (stored as they are), half text (deflates well).
head -c 100M /dev/urandom > app/random.bin
head -c 75M app/random.bin | base64 -w 76 > app/text.txt
for i in $(seq 1 200); do printf 'page %d\n' "$i" > "app/page$i.html"; done
printf '[App]\nID=bench\nName=Bench\nDirName=app\n' > qvx.ini
"$PACK" build --app app --ini qvx.ini -o stored >/dev/null
"$PACK" build --app app --ini qvx.ini --deflate -o deflated >/dev/null
"$PACK" extract stored stored.zip
"$PACK" extract deflated deflated.zip

# seconds COMMAND...: wall time of one run, output discarded.
seconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "scale=4; ($end - $start) / 1000000000" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
# pair NAME "OURS..." "THEIRS..." INVERT: paired runs, alternating which goes first.
pair() {
    local name=$1 ours=$2 theirs=$3 invert=$4 i a b
    : > ours.txt; : > theirs.txt
    for i in $(seq 1 "$RUNS"); do
        if [ $((i % 2)) -eq 1 ]; then
            a=$(seconds bash -c "$ours"); b=$(seconds bash -c "$theirs")
        else
            b=$(seconds bash -c "$theirs"); a=$(seconds bash -c "$ours")
        fi
        echo "$a" >> ours.txt; echo "$b" >> theirs.txt
    done
    a=$(median < ours.txt); b=$(median < theirs.txt)
    if [ "$invert" = 1 ]; then
        printf '%-44s %8.3f s  %8.3f s  ratio %6.2f (theirs/ours)\n' "$name" "$a" "$b" "$(echo "scale=4; $b / $a" | bc)"
    else
        printf '%-44s %8.3f s  %8.3f s  ratio %6.2f (ours/theirs)\n' "$name" "$a" "$b" "$(echo "scale=4; $a / $b" | bc)"
    fi
}

cat stored deflated >/dev/null # both in the page cache
printf '%-44s %10s  %10s\n' "payload of $(stat -c %s stored) bytes" "norvane" "reference"
pair "open + list (vs cat of the file)" "'$PACK' list stored" "cat stored" 0
pair "first byte of the stored entry (vs unzip)" "'$PACK' cat stored app/random.bin | head -c 1" \
    "unzip -p -P '$PW' stored.zip app/random.bin | head -c 1" 1
pair "stored 100 MB entry (vs unzip -p -P)" "'$PACK' cat stored app/random.bin" \
    "unzip -p -P '$PW' stored.zip app/random.bin" 1
pair "deflated 100 MB entry (vs unzip -p -P)" "'$PACK' cat deflated app/text.txt" \
    "unzip -p -P '$PW' deflated.zip app/text.txt" 1
