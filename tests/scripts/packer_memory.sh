#!/usr/bin/env bash
# norvane-pack on a large application: building, checking, listing and
# reading an entry stream through the files, so the peak memory stays a
# small constant whatever the size; a termination request during a build
# removes its temporary files and leaves no output.
# Usage: bash packer_memory.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PACK="$BUILD/packer/norvane-pack"
[ -x "$PACK" ] || { echo "norvane-pack must be built"; exit 1; }
[ -x /usr/bin/time ] || { echo "SKIP: /usr/bin/time is missing"; exit 0; }

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
LARGE_MB=400
LIMIT_KB=$((64 * 1024)) # far below the file's size

mkdir -p app out
printf '<!doctype html>\n' > app/index.html
truncate -s ${LARGE_MB}M app/large.bin # sparse: costs no disk until packed
printf '[App]\nID=mem\nName=Mem\nDirName=app\n' > qvx.ini

# peak COMMAND...: runs COMMAND, stdout to /dev/null; prints its peak resident size in KiB.
peak() {
    /usr/bin/time -f '%M' -o peak.txt "$@" >/dev/null 2>cmd.err || { cat cmd.err; return 1; }
    cat peak.txt
}
for deflate in "" --deflate; do
    kb=$(peak "$PACK" build --app app --ini qvx.ini $deflate -o out/app) || { fail "build $deflate"; continue; }
    [ "$kb" -lt "$LIMIT_KB" ] || fail "build $deflate peaked at $kb KiB"
    kb=$(peak "$PACK" list out/app) || fail "list $deflate"
    [ "$kb" -lt "$LIMIT_KB" ] || fail "list $deflate peaked at $kb KiB"
    kb=$(peak "$PACK" cat out/app app/large.bin) || fail "cat $deflate"
    [ "$kb" -lt "$LIMIT_KB" ] || fail "cat $deflate peaked at $kb KiB"
    [ "$("$PACK" cat out/app app/large.bin | cmp - app/large.bin && echo same)" = same ] || fail "cat bytes $deflate"
    rm -f out/app
done

# A termination request while the archive is written or checked.
for signal in TERM INT; do
    "$PACK" build --app app --ini qvx.ini -o out/app >build.out 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
        [ -n "$(find out -name '.app.norvane-pack-*' -size +1M 2>/dev/null)" ] && break
        sleep 0.05
    done
    kill -s $signal $pid
    rc=0
    wait $pid || rc=$?
    [ "$rc" -ne 0 ] || fail "SIG$signal: the build still succeeded"
    left=$(ls -A out)
    [ -z "$left" ] || fail "SIG$signal left files behind: $left"
done

[ "$FAILS" -eq 0 ] || { echo "$FAILS failure(s)"; exit 1; }
echo "packer memory: all checks passed"
