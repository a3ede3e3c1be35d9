#!/usr/bin/env bash
# norvane-pack end to end: packages checked with Info-ZIP unzip and Python's
# zipfile as independent readers, archives made by Info-ZIP read back by the
# packer, and every refusal leaving existing files as they were.
# Usage: bash packer.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
PACK="$BUILD/packer/norvane-pack"
RUNTIME="$BUILD/runtime/norvane-runtime"
PW=$(sed -n 's/.*PayloadPassword = "\([^"]*\)".*/\1/p' "$SOURCE/shared/PayloadFormat.h")
[ -n "$PW" ] || { echo "cannot find the payload password"; exit 1; }
[ -x "$PACK" ] && [ -x "$RUNTIME" ] || { echo "norvane-pack and norvane-runtime must be built"; exit 1; }

T=$(mktemp -d)
trap 'chmod -R u+w "$T" 2>/dev/null; rm -rf "$T"' EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
check() { local what=$1; shift; if "$@"; then :; else fail "$what"; fi; }
# expect_refusal WHAT TEXT CMD...: CMD exits non-zero and says TEXT on stderr.
expect_refusal() {
    local what=$1 text=$2; shift 2
    local out rc=0
    out=$("$@" 2>&1 >/dev/null) || rc=$?
    if [ "$rc" -eq 0 ]; then fail "$what: succeeded"; return; fi
    if ! grep -qiF -- "$text" <<<"$out"; then fail "$what: message lacks \"$text\": $out"; fi
}
size() { stat -c %s "$1"; }

# --- An application folder with nested, empty, spaced and non-ASCII names ---
mkdir -p src/site/css src/site/empty "src/site/sub dir"
printf '<!doctype html><title>t</title>\n' > src/site/index.html
printf 'body { margin: 0 }\n%.0s' $(seq 1 200) > src/site/css/site.css
head -c 70000 /dev/urandom > "src/site/sub dir/data file.bin"
printf 'accent\n' > "src/site/$(printf 'caf\xc3\xa9').txt"
printf '[App]\nID=test-app\nName=Test App\nDirName=site\n' > src/qvx.ini
printf 'console.log("extra");\n' > src/extra.js
head -c 5000 /dev/urandom > src/loader.so
head -c 3000 /dev/urandom > src/installer.exe
ARGS=(--app src/site --ini src/qvx.ini --script src/extra.js --loader src/loader.so --installer src/installer.exe)

"$PACK" build "${ARGS[@]}" -o out/app 2>build.err && fail "build into a missing folder succeeded"
mkdir out
"$PACK" build "${ARGS[@]}" -o out/app >build.out 2>build.err || { cat build.err; fail "build"; exit 1; }
check "packaged file is executable" test -x out/app
RT=$(size "$RUNTIME")
check "packaged file starts with the runtime" cmp -s -n "$RT" "$RUNTIME" out/app
tail -c +$((RT + 1)) out/app > payload.zip

# extract gives exactly the payload
"$PACK" extract out/app extracted.zip || fail "extract"
check "extract equals the payload" cmp -s payload.zip extracted.zip

# Info-ZIP opens it, with and without the runtime in front
unzip -P "$PW" -tq extracted.zip >unzip.out 2>&1 || { cat unzip.out; fail "unzip -t of the payload"; }
rc=0; unzip -P "$PW" -tq out/app >/dev/null 2>&1 || rc=$?
[ "$rc" -le 1 ] || fail "unzip -t of the packaged file (exit $rc)"
unzip -Z1 extracted.zip > names.txt
cat > expected-names.txt <<EOF
qvx.ini
qvx-webviewjs
WebView2LoaderWin32.dll
WebView2Installer.exe
site/
site/$(printf 'caf\xc3\xa9').txt
site/css/
site/css/site.css
site/empty/
site/index.html
site/sub dir/
site/sub dir/data file.bin
EOF
check "entry names and order" diff expected-names.txt names.txt
for pair in "qvx.ini:src/qvx.ini" "qvx-webviewjs:src/extra.js" "WebView2LoaderWin32.dll:src/loader.so" \
    "WebView2Installer.exe:src/installer.exe" "site/sub dir/data file.bin:src/site/sub dir/data file.bin"; do
    unzip -P "$PW" -p extracted.zip "${pair%%:*}" > entry.out
    check "unzip content of ${pair%%:*}" cmp -s entry.out "${pair#*:}"
done
unzip -P wrongpassword -p extracted.zip qvx.ini >/dev/null 2>&1 && fail "unzip accepted a wrong password"

# Header flags, methods, folder entries and comment, read by Python's zipfile
# from the central directory and by hand from each local header.
cat > inspect.py <<'EOF'
import struct, sys, zipfile
path, want_method = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
z = zipfile.ZipFile(path)
problems = []
if z.comment:
    problems.append("archive comment %r" % z.comment)
methods = set()
for i in z.infolist():
    local_flags, local_method = struct.unpack_from("<HH", data, i.header_offset + 6)
    if i.flag_bits != 0x0009 or local_flags != 0x0009:
        problems.append("%s: flags 0x%04x/0x%04x" % (i.filename, i.flag_bits, local_flags))
    if local_method != i.compress_type:
        problems.append("%s: local method %d" % (i.filename, local_method))
    methods.add(i.compress_type)
    if i.filename.endswith("/") and (i.file_size != 0 or i.compress_size != 12):
        problems.append("%s: folder entry holds %d/%d bytes" % (i.filename, i.file_size, i.compress_size))
if want_method == "stored" and methods != {0}:
    problems.append("methods %s" % methods)
    if i.filename.endswith("/") and i.compress_type != 0:
        problems.append("%s: folder entry not stored" % i.filename)
if want_method == "deflated" and 8 not in methods:
    problems.append("nothing deflated: %s" % methods)
if problems:
    print("\n".join(problems))
    sys.exit(1)
EOF
python3 inspect.py extracted.zip stored || fail "stored archive headers"

# list and cat read it with the runtime's reader
"$PACK" list out/app > list.out || fail "list"
grep -qE '^ +70000 +stored +site/sub dir/data file\.bin$' list.out || fail "list line of a file: $(cat list.out)"
grep -qE '^ +0 +stored +site/empty/$' list.out || fail "list line of a folder"
[ "$(grep -c 'stored' list.out)" -eq 12 ] || fail "list shows every entry"
"$PACK" cat out/app "site/sub dir/data file.bin" > cat.out || fail "cat"
check "cat bytes" cmp -s cat.out "src/site/sub dir/data file.bin"
"$PACK" cat out/app SITE/INDEX.HTML > cat.out || fail "cat with other letter case"
check "cat letter case" cmp -s cat.out src/site/index.html
expect_refusal "cat of a missing entry" "no entry" "$PACK" cat out/app site/missing.html
expect_refusal "cat with backslashes" "no entry" "$PACK" cat out/app 'site\index.html'

# Deflated build
"$PACK" build "${ARGS[@]}" --deflate -o out/deflated >/dev/null 2>&1 || fail "deflated build"
"$PACK" extract out/deflated deflated.zip || fail "extract deflated"
unzip -P "$PW" -tq deflated.zip >/dev/null 2>&1 || fail "unzip -t of the deflated payload"
python3 inspect.py deflated.zip deflated || fail "deflated archive headers"
"$PACK" cat out/deflated site/css/site.css | cmp -s - src/site/css/site.css || fail "cat deflated entry"
[ "$(size deflated.zip)" -lt "$(size payload.zip)" ] || fail "deflating made nothing smaller"

# Without --loader: the engine library built beside the packer, or an empty entry with a warning
"$PACK" build --app src/site --ini src/qvx.ini -o out/default >/dev/null 2>default.err || fail "build with defaults"
check "default runtime" cmp -s -n "$RT" "$RUNTIME" out/default
"$PACK" cat out/default WebView2LoaderWin32.dll > loader.out
if [ -f "$BUILD/engine/libnorvane-engine.so" ]; then
    check "default loader is the engine library" cmp -s loader.out "$BUILD/engine/libnorvane-engine.so"
else
    [ ! -s loader.out ] || fail "missing engine library gives an empty loader entry"
    grep -q "warning" default.err || fail "missing engine library is warned about"
fi
"$PACK" list out/default | grep -q 'qvx-webviewjs' && fail "no script given, yet a script entry"

# --- Symbolic links: judged by their final target; nothing from outside the folder ---
# The folder is given through a link; "site2" begins like "site" but is outside.
mkdir -p lk/site/pages lk/site2 lk/outside/dir
printf '<!doctype html>\n' > lk/site/index.html
printf 'page\n' > lk/site/pages/a.html
printf 'secret\n' > lk/outside/secret.txt
printf 'secret too\n' > lk/outside/dir/inner.txt
printf 'neighbour\n' > lk/site2/n.txt
ln -s ../outside/secret.txt lk/site/leak.txt
ln -s "$T/lk/outside/dir" lk/site/pages/outdir
ln -s ../site2/n.txt lk/site/prefix.txt
ln -s pages/a.html lk/site/alias.html
ln -s ../site/pages/a.html lk/outside/hop
ln -s ../outside/hop lk/site/back.html
ln -s pages lk/site/pagelink
ln -s missing.txt lk/site/dangling.txt
ln -s loop lk/site/loop
ln -s lk/site applink
"$PACK" build --app applink --ini src/qvx.ini --loader src/loader.so -o out/links >/dev/null 2>links.err ||
    fail "build with links: $(cat links.err)"
"$PACK" list out/links | grep -oE ' site/.*$' > links.txt || fail "list with links"
printf ' %s\n' site/ site/alias.html site/back.html site/index.html site/pages/ site/pages/a.html > expected-links.txt
check "only links that stay inside are packed" diff expected-links.txt links.txt
for name in alias.html back.html; do
    "$PACK" cat out/links "site/$name" | cmp -s - lk/site/pages/a.html || fail "link $name packs its target's content"
done
for pair in "leak.txt:is outside the application folder" "pages/outdir:is outside the application folder" \
    "prefix.txt:is outside the application folder" "dangling.txt:does not exist" \
    "pagelink:folders are not followed" "loop:cannot be resolved"; do
    awk -v n="\"${pair%%:*}\"" -v t="${pair#*:}" 'index($0, n) && index($0, t) { f = 1 } END { exit !f }' links.err ||
        fail "no warning naming ${pair%%:*}: $(cat links.err)"
done
[ "$(grep -c 'warning' links.err)" -eq 6 ] || fail "not one warning per skipped link: $(cat links.err)"

# --- Archives made by Info-ZIP, appended to a copy of the runtime ---
mkdir -p iz/app/img
printf 'hello from zip\n%.0s' $(seq 1 100) > iz/app/index.html
head -c 40000 /dev/urandom > iz/app/img/pic.bin
printf '[App]\nID=z\n' > iz/qvx.ini
for level in 0 9; do
    (cd iz && zip -q -r -$level -P "$PW" ../iz$level.zip qvx.ini app)
    cat "$RUNTIME" iz$level.zip > iz$level.exe
    "$PACK" list iz$level.exe > izlist.out || fail "list Info-ZIP -$level"
    grep -q ' app/img/pic.bin$' izlist.out || fail "list Info-ZIP -$level names"
    want=$([ $level = 0 ] && echo stored || echo deflated)
    grep -qE "^ +1500 +$want +app/index.html$" izlist.out || fail "list Info-ZIP -$level method: $(cat izlist.out)"
    "$PACK" cat iz$level.exe app/img/pic.bin | cmp -s - iz/app/img/pic.bin || fail "cat Info-ZIP -$level"
    "$PACK" extract iz$level.exe iz$level.out.zip && cmp -s iz$level.out.zip iz$level.zip || fail "extract Info-ZIP -$level"
done
# Made with another password: the entry cannot be read
(cd iz && zip -q -r -0 -P other ../other.zip app)
cat "$RUNTIME" other.zip > other.exe
expect_refusal "cat with another password" "password" "$PACK" cat other.exe app/index.html

# --- Files without a payload or with a damaged one ---
expect_refusal "list of a bare runtime" "no payload" "$PACK" list "$RUNTIME"
expect_refusal "extract of a bare runtime" "no payload" "$PACK" extract "$RUNTIME" none.zip
[ ! -e none.zip ] || fail "extract without payload wrote a file"
{ cat "$RUNTIME"; head -c 4000 /dev/urandom; } > garbage.exe
expect_refusal "list of a garbage payload" "damaged" "$PACK" list garbage.exe
expect_refusal "extract of a garbage payload" "damaged" "$PACK" extract garbage.exe garbage.zip
[ ! -e garbage.zip ] || fail "extract of a damaged payload wrote a file"
head -c $((RT + $(size payload.zip) / 2)) out/app > truncated.exe
expect_refusal "list of a truncated payload" "damaged" "$PACK" list truncated.exe
# Data of one entry damaged: found when that entry is read
cp out/app damaged.exe
offset=$(python3 - payload.zip <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
i = z.getinfo("site/sub dir/data file.bin")
print(i.header_offset + 30 + len(i.orig_filename.encode()) + len(i.extra) + 12 + 30000)
EOF
)
printf '\x55' | dd of=damaged.exe bs=1 seek=$((RT + offset)) conv=notrunc status=none
expect_refusal "cat of a damaged entry" "CRC" "$PACK" cat damaged.exe "site/sub dir/data file.bin"
"$PACK" cat damaged.exe site/index.html | cmp -s - src/site/index.html || fail "undamaged entry of a damaged payload"
printf 'not a program\n' > text.exe
expect_refusal "list of a text file" "neither an ELF" "$PACK" list text.exe
expect_refusal "list of a missing file" "does not exist" "$PACK" list missing.exe
{ cat "$RUNTIME"; printf 'PK\x05\x06'; head -c 18 /dev/zero; } > empty.exe
"$PACK" list empty.exe > empty.out 2> empty.err || fail "list of an empty archive"
grep -q "no entries" empty.err || fail "empty archive is noted"

# --- Refusals before anything is written ---
cp out/app good.bak
printf '[App]\nName=N\nDirName=site\n' > noid.ini
expect_refusal "settings without ID" "ID" "$PACK" build --app src/site --ini noid.ini -o out/app
printf '[App]\nID=x\nName=N\nDirName=site\nIndexHtml=start.html\n' > nostart.ini
expect_refusal "missing start page" "start page" "$PACK" build --app src/site --ini nostart.ini -o out/app
printf '[App]\nID=x\nName=N\nDirName=site\nIndexHtml=INDEX.HTML\n' > case.ini
"$PACK" build --app src/site --ini case.ini -o out/case >/dev/null 2>&1 || fail "start page found regardless of letter case"
# Settings in UTF-16 with a byte-order mark are read; the entry keeps the file's bytes.
printf '[App]\nID=wide\nName=Wide\nDirName=site\n' | iconv -f UTF-8 -t UTF-16 > utf16.ini
"$PACK" build --app src/site --ini utf16.ini -o out/utf16 >/dev/null 2>&1 || fail "UTF-16 settings"
"$PACK" cat out/utf16 qvx.ini | cmp -s - utf16.ini || fail "settings entry holds the file's bytes"
head -c 300 /dev/urandom > binary.ini
expect_refusal "settings that are not text" "lacks ID" "$PACK" build --app src/site --ini binary.ini -o out/app
expect_refusal "runtime with an earlier payload" "already carries" \
    "$PACK" build "${ARGS[@]}" --runtime out/deflated -o out/app
expect_refusal "runtime that is not a program" "runtime" "$PACK" build "${ARGS[@]}" --runtime text.exe -o out/app
expect_refusal "missing application folder" "application folder" \
    "$PACK" build --app src/nothing --ini src/qvx.ini -o out/app
cp "$RUNTIME" out/copy-of-runtime
expect_refusal "output onto the runtime" "runtime itself" \
    "$PACK" build "${ARGS[@]}" --runtime out/copy-of-runtime -o out/copy-of-runtime
check "the runtime given as output is unchanged" cmp -s out/copy-of-runtime "$RUNTIME"
rm out/copy-of-runtime
expect_refusal "unknown option" "unknown option" "$PACK" build "${ARGS[@]}" --bogus -o out/app
check "refusals left the earlier output unchanged" cmp -s good.bak out/app

# --- Failing writes never replace a good output ---
# A file size limit makes writing fail part-way (works for root as well).
for limit in 64 $((RT / 1024 + 8)); do
    rc=0
    (ulimit -f "$limit"; trap '' XFSZ; exec "$PACK" build "${ARGS[@]}" -o out/app) >/dev/null 2>limit.err || rc=$?
    [ "$rc" -ne 0 ] || fail "build under a ${limit}k file size limit succeeded"
    grep -q "error" limit.err || fail "no clear message under a size limit: $(cat limit.err)"
    check "size limit $limit left the output unchanged" cmp -s good.bak out/app
done
if [ "$(id -u)" -ne 0 ]; then
    chmod a-w out
    expect_refusal "read-only output folder" "error" "$PACK" build "${ARGS[@]}" -o out/app
    chmod u+w out
    check "read-only folder left the output unchanged" cmp -s good.bak out/app
fi
leftovers=$(find out -name '.*norvane-pack*')
[ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"

# --- Progress bar only on a terminal ---
head -c 3000000 /dev/urandom > src/site/large.bin
"$PACK" build "${ARGS[@]}" -o out/large 2>piped.err >/dev/null || fail "large build"
grep -q '\[#' piped.err && fail "progress bar drawn into a pipe"
if command -v script >/dev/null; then
    script -qec "$(printf '%q ' "$PACK" build "${ARGS[@]}" -o out/large)" /dev/null > tty.out 2>&1 || fail "build on a terminal"
    grep -q 'Appending archive \[#*' tty.out || fail "no progress bar on a terminal"
    grep -q '100%' tty.out || fail "progress bar does not reach 100%"
fi
"$PACK" cat out/large site/large.bin | cmp -s - src/site/large.bin || fail "large entry"

# --- The style gallery: 40 names sorted, a picture of each built-in style ---
"$PACK" themes > themes.txt || fail "themes"
[ "$(wc -l < themes.txt)" -eq 40 ] || fail "themes lists $(wc -l < themes.txt) names"
sort -f -c themes.txt || fail "themes are not sorted without regard to case"
"$PACK" themes --preview previews 2>/dev/null || fail "themes --preview"
[ "$(find previews -name '*.png' | wc -l)" -eq 39 ] || fail "$(find previews -name '*.png' | wc -l) previews, not 39"
[ -f "previews/Windows10 SlateGray.png" ] && [ ! -f previews/Windows.png ] || fail "preview names"
dims=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(d[:8]==b"\x89PNG\r\n\x1a\n", *struct.unpack(">II", d[16:24]))' previews/Carbon.png)
[ "$dims" = "True 320 200" ] || fail "Carbon preview is not a 320 x 200 PNG: $dims"
expect_refusal "themes with a stray argument" "usage" "$PACK" themes --preview

if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "packer: all checks passed"
