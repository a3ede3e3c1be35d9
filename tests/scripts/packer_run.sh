#!/usr/bin/env bash
# norvane-pack run: packs into a temporary folder, starts the result with the
# arguments after "--", ends with its exit code (also when Ctrl-C ends it) and
# leaves no temporary files. The "runtime" here is env, so the packed program
# runs the shell command given as its arguments.
# Usage: bash packer_run.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PACK="$BUILD/packer/norvane-pack"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
mkdir -p app/site tmp
printf '<p>x\n' > app/site/index.html
printf '[App]\nID=run\nName=Run\nDirName=site\n' > app/qvx.ini
ENV=$(command -v env)
export TMPDIR="$T/tmp"
ARGS=(--app app/site --ini app/qvx.ini --loader app/qvx.ini --runtime "$ENV")

rc=0
"$PACK" run "${ARGS[@]}" -- sh -c 'ls "$TMPDIR"/*/; echo "args:$1:$2"; exit 7' sh "a b" c > out.txt 2>err.txt || rc=$?
[ "$rc" -eq 7 ] || fail "exit code $rc instead of 7: $(cat err.txt)"
grep -qx 'application' out.txt || fail "the packed program was not in a temporary folder: $(cat out.txt)"
grep -qx 'args:a b:c' out.txt || fail "arguments: $(cat out.txt)"
[ -z "$(ls tmp)" ] || fail "temporary files left: $(ls tmp)"

# Ctrl-C at the terminal reaches the whole process group: the program ends,
# the packer removes its folder and reports the program's end (128 + 2).
setsid "$PACK" run "${ARGS[@]}" -- sh -c 'touch "$TMPDIR/started"; exec sleep 20' > /dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do [ -e tmp/started ] && break; sleep 0.05; done
[ -e tmp/started ] || fail "the program did not start"
kill -INT -- -"$pid"
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 130 ] || fail "after Ctrl-C the exit code is $rc instead of 130"
[ "$(ls tmp)" = started ] || fail "temporary files left after Ctrl-C: $(ls tmp)"

# Refusals: -o, and a build that fails, start nothing.
rm -f tmp/started
"$PACK" run "${ARGS[@]}" -o x -- true 2>/dev/null && fail "run accepted -o"
"$PACK" run --app missing --ini app/qvx.ini --runtime "$ENV" -- touch "$T/ran" 2>/dev/null && fail "run of a missing folder"
[ ! -e ran ] || fail "a failed build still started the program"
[ -z "$(ls tmp)" ] || fail "temporary files left after a refusal: $(ls tmp)"

if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "packer_run: all checks passed"
