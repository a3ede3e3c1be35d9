#!/usr/bin/env bash
# norvane-pack types: the TypeScript compiler (from npm) accepts a page's
# script written against qvx.d.ts and refuses calls with wrong arguments or
# results; every function of the page-side script library is declared, with
# an argument object exactly where the library passes one.
# Usage: bash packer_types.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
PACK="$BUILD/packer/norvane-pack"
command -v node >/dev/null && command -v npm >/dev/null || { echo "node and npm are needed (scripts/deps.sh)"; exit 1; }
# TypeScript is installed once into the build folder.
TS="$BUILD/tests-typescript"
if [ ! -x "$TS/node_modules/.bin/tsc" ]; then
    npm install --prefix "$TS" --no-audit --no-fund --silent typescript@5 >/dev/null ||
        { echo "cannot install TypeScript from npm"; exit 1; }
fi
TSC="$TS/node_modules/.bin/tsc"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
tsc() { "$TSC" --noEmit --strict --target es2017 --lib es2017,dom "$@"; }

"$PACK" types > qvx.d.ts || fail "types"
cp "$SOURCE/tests/fixtures/Types/page.ts" .
tsc qvx.d.ts page.ts > tsc.out 2>&1 || fail "tsc refuses the sample page: $(cat tsc.out)"

# Mistakes the declarations must catch, one file each.
mistake() { # NAME CODE
    printf '%s\n' "$2" > "bad-$1.ts"
    if tsc qvx.d.ts "bad-$1.ts" > /dev/null 2>&1; then fail "tsc accepted $1: $2"; fi
}
mistake missing-argument 'qvx.files.fileExists({});'
mistake wrong-key 'qvx.files.deleteFile({ path: "a" });'
mistake no-arguments-taken 'qvx.folders.getTempDir({ dirPath: "x" });'
mistake wrong-result 'qvx.files.fileExists({ filePath: "a" }).then((s: string) => s);'
mistake unknown-function 'qvx.files.copyFile({ filePath: "a" });'
mistake text-as-bytes 'qvx.files.writeBinaryFile({ filePath: "a", data: "text" });'
mistake wrong-member 'qvx.files.stat({ path: "a" }).then((s) => s.isFolder);'

# Every function of the script library, found by running it, is declared with
# an argument object exactly when the library's function takes one.
node -e '
const window = {};
new Function("window", require("fs").readFileSync(process.argv[1], "utf8"))(window);
const lines = [];
(function walk(o, path) {
  for (const [k, v] of Object.entries(o)) {
    if (typeof v === "function") lines.push(`const f${lines.length}: Parameters<typeof ${path}${k}>["length"] = ${v.length};`);
    else if (v && typeof v === "object") walk(v, `${path}${k}.`);
  }
})(window.qvx, "qvx.");
console.log(lines.join("\n"));
console.error(lines.length);' "$BUILD/generated/bridge/QVX_EXTERNAL_JAVASCRIPT.js" > library.ts 2> count.txt
[ "$(cat count.txt)" -ge 40 ] || fail "the script library yielded only $(cat count.txt) functions"
tsc qvx.d.ts library.ts > library.out 2>&1 || fail "library functions missing or of another arity: $(head -20 library.out)"

# The runtime-only mark follows the registration table.
grep -B1 'setItems(args' qvx.d.ts | grep -q '@runtimeOnly' || fail "mainMenu.setItems is not marked runtime only"
grep -B1 'fileExists(args' qvx.d.ts | grep -q '@runtimeOnly' && fail "files.fileExists is marked runtime only"

if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "packer_types: all checks passed"
