#!/usr/bin/env bash
# Icons and version texts of a Portable Executable runtime, edited by
# norvane-pack build on a small Windows program made here with mingw-w64 and
# windres, and read back by independent readers: wrestool (icoutils), Python's
# pefile, and the program itself under wine (the system's own resource and
# version functions, and its image end for the payload). Bad icon files are
# refused before anything is written.
# Usage: bash pe_resources.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
PACK="$BUILD/packer/norvane-pack"
PY=/usr/bin/python3
missing=""
for tool in x86_64-w64-mingw32-gcc x86_64-w64-mingw32-windres i686-w64-mingw32-ld wrestool wine convert; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
"$PY" -c 'import pefile' 2>/dev/null || missing="$missing python3-pefile"
[ -z "$missing" ] || { echo "missing tools:$missing (scripts/deps.sh installs them)"; exit 1; }

T=$(mktemp -d)
cleanup() {
    # The wine server of the test's prefix is ended and waited for before its folder goes.
    WINEPREFIX="$T/wine" wineserver -k 2>/dev/null || true
    WINEPREFIX="$T/wine" wineserver -w 2>/dev/null || true
    rm -rf "$T" || true
}
trap cleanup EXIT
cd "$T"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
export WINEPREFIX="$T/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

# --- The program: icon groups in German (1031), MAINICON's images numbered 2 and 3
# after OTHER's 1, and a version block with two translations ---
convert -size 16x16 xc:red -size 32x32 xc:blue old.ico
convert -size 16x16 xc:white other.ico
convert -size 16x16 xc:green small.ico
convert -size 16x16 xc:yellow \( -size 32x32 xc:navy \) \( -size 256x256 xc:orange \) new.ico
cp "$SOURCE/tests/fixtures/PeProbe/probe.c" "$SOURCE/tests/fixtures/PeProbe/probe.rc" .
x86_64-w64-mingw32-windres probe.rc -O coff -o probe.res.o
x86_64-w64-mingw32-gcc -s -O2 probe.c probe.res.o -o probe.exe -lversion
# Without relocations the resource section is the last one and can grow in place.
x86_64-w64-mingw32-gcc -s -O2 probe.c probe.res.o -o probe-last.exe -lversion -Wl,--disable-reloc-section
cp probe.exe probe.orig
# A 32-bit program (PE32 headers) without a C library, its resource section last.
printf '.globl _start\n_start:\n  ret\n' > start.s
i686-w64-mingw32-as start.s -o start.o
x86_64-w64-mingw32-windres -F pe-i386 probe.rc -O coff -o probe32.res.o
i686-w64-mingw32-ld -s -e _start --subsystem console start.o probe32.res.o -o probe32.exe
mkdir -p app/site out
printf '<p>probe\n' > app/site/index.html
printf '[App]\nID=probe\nName=Probe\nDirName=site\n' > app/qvx.ini

cat > check.py <<'EOF_PY'
# check.py EXE ICO ORIGINAL LAYOUT: the icon group, its images, the version texts and the layout.
import struct, sys, pefile
exe, ico, original, layout = sys.argv[1:5]
problems = []
pe = pefile.PE(exe)
before = pefile.PE(original)
icon = open(ico, "rb").read()
count = struct.unpack_from("<H", icon, 4)[0]
found = {}
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for n in t.directory.entries:
        for l in n.directory.entries:
            key = (t.id, str(n.name) if n.name else n.id, l.id)
            found[key] = pe.get_data(l.data.struct.OffsetToData, l.data.struct.Size)
groups = sorted(k for k in found if k[0] == 14)
if groups != [(14, "MAINICON", 1033), (14, "OTHER", 1031)]:
    problems.append("icon groups %s" % groups)
group = found.get((14, "MAINICON", 1033), b"\0" * 6)
reserved, kind, n = struct.unpack_from("<HHH", group, 0)
if (reserved, kind, n) != (0, 1, count):
    problems.append("group header %s for %d images" % ((reserved, kind, n), count))
for i in range(n):
    entry = group[6 + 14 * i: 20 + 14 * i]
    number = struct.unpack_from("<H", entry, 12)[0]
    size, offset = struct.unpack_from("<II", icon, 6 + 16 * i + 8)
    if number != i + 1:
        problems.append("image %d numbered %d" % (i, number))
    if entry[:12] != icon[6 + 16 * i: 18 + 16 * i]:
        problems.append("group entry %d differs from the icon file" % i)
    if found.get((3, i + 1, 1033)) != icon[offset: offset + size]:
        problems.append("image %d bytes differ" % (i + 1))
images = sorted(k for k in found if k[0] == 3)
if images != sorted([(3, 1, 1031)] + [(3, i + 1, 1033) for i in range(count)]):
    problems.append("icon images %s" % images)
# The version block the system reads (the neutral language) with both translations.
want = {
    "040904B0": {"CompanyName": r"New Company \n with a much longer name than before",
                 "FileVersion": "9.8", "ProductName": "Old Product", "Comments": "Größe ✓"},
    "040704B0": {"CompanyName": r"New Company \n with a much longer name than before",
                 "FileVersion": "9.8", "ProductName": "Altes Produkt"},
}
versions = sorted(k for k in found if k[0] == 16)
if versions != [(16, 1, 0), (16, 1, 1033)]:
    problems.append("version resources %s" % versions)
tables = {}
for info in pe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        tables[table.LangID.decode().upper()] = {k.decode(): v.decode() for k, v in table.entries.items()}
if tables != want:
    problems.append("version texts %s" % tables)
# The layout chosen: rewritten in place, grown as the last section, or a new section.
sections = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
grew = len(pe.sections) - len(before.sections)
expect = {"in-place": 0, "grown": 0, "new-section": 1}[layout]
if grew != expect or (layout == "new-section" and ".rsrcold" not in sections):
    problems.append("layout %s: sections %s" % (layout, sections))
rsrc = [s for s in pe.sections if s.VirtualAddress == pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress]
if layout != "new-section" and rsrc[0].PointerToRawData != [s for s in before.sections if s.Name.startswith(b".rsrc")][0].PointerToRawData:
    problems.append("resource section moved in the file")
if pe.OPTIONAL_HEADER.SizeOfImage < max(s.VirtualAddress + s.Misc_VirtualSize for s in pe.sections):
    problems.append("SizeOfImage too small")
if problems:
    print("\n".join(problems))
    sys.exit(1)
EOF_PY

VERSION=(--version-info "CompanyName=New Company \\n with a much longer name than before"
         --version-info fileversion=9.8 --version-info "Comments=Größe ✓" --version-info LegalTrademarks=TM)
for variant in "probe.exe new.ico new-section" "probe.exe small.ico in-place" "probe-last.exe new.ico grown" \
    "probe32.exe new.ico grown"; do
    set -- $variant
    exe=$1 ico=$2 layout=$3 out="out/${exe%.exe}-$layout.exe"
    "$PACK" build --app app/site --ini app/qvx.ini --runtime "$exe" --icon "$ico" "${VERSION[@]}" -o "$out" \
        >build.out 2>build.err || { cat build.err; fail "$layout: build"; continue; }
    wrestool -l "$out" > listing.txt || fail "$layout: wrestool cannot read the resources"
    images=$(grep -c -- '--type=3 .*language=1033' listing.txt || true)
    [ "$images" = "$(/usr/bin/python3 -c 'import struct,sys;print(struct.unpack_from("<H",open(sys.argv[1],"rb").read(),4)[0])' "$ico")" ] ||
        fail "$layout: wrestool lists $images images: $(cat listing.txt)"
    grep -q -- "--type=14 --name='MAINICON' --language=1033" listing.txt || fail "$layout: no new group: $(cat listing.txt)"
    [ "$(grep 'language=1031' listing.txt | cut -d' ' -f1-3 | tr '\n' ' ')" = \
        "--type=3 --name=1 --language=1031 --type=14 --name='OTHER' --language=1031 " ] ||
        fail "$layout: MAINICON's old German group or images remain, or OTHER's went: $(cat listing.txt)"
    wrestool -x --type=14 --name=MAINICON "$out" > extracted.ico || fail "$layout: wrestool -x"
    cmp -s <(icotool -l extracted.ico) <(icotool -l "$ico") || fail "$layout: the extracted icon differs"
    # The packaged file: the edited program with the payload found behind its image.
    "$PACK" list "$out" | grep -q 'site/index.html' || fail "$layout: payload not found"
    "$PACK" extract "$out" payload.zip || fail "$layout: extract"
    "$PY" check.py "$out" "$ico" "$exe" "$layout" || fail "$layout: pefile checks"
    [ "$exe" != probe32.exe ] || continue # no 32-bit wine here
    rc=0
    wine "$out" > wine.out 2>wine.err || rc=$?
    [ "$rc" -eq 7 ] || { cat wine.err; fail "$layout: the program did not run under wine (exit $rc)"; }
    tr -d '\r' < wine.out > run.txt
    grep -qx "payload $(stat -c %s payload.zip)" run.txt || fail "$layout: the program's image end: $(cat run.txt)"
    grep -qx "icons $images of $images" run.txt ||
        fail "$layout: the system cannot make the icons: $(cat run.txt)"
    for table in 040904B0 040704B0; do
        grep -qxF "$table/CompanyName=New Company \\n with a much longer name than before" run.txt ||
            fail "$layout: $table CompanyName under wine: $(cat run.txt)"
        grep -qxF "$table/FileVersion=9.8" run.txt || fail "$layout: $table FileVersion under wine"
    done
    grep -q 'LegalTrademarks' run.txt && fail "$layout: a value the block lacked was added"
done
cmp -s probe.exe probe.orig || fail "the runtime given to build was changed"

# --- Damaged programs: refused or edited, never a crash ---
"$PY" - probe.exe <<'EOF_PY'
import random, struct, sys
data = open(sys.argv[1], "rb").read()
nt = struct.unpack_from("<I", data, 0x3C)[0]
rsrc = data.find(b".rsrc\0")
pointer, = struct.unpack_from("<I", data, rsrc + 20)
rng = random.Random(14)
for i in range(60):
    b = bytearray(data)
    for _ in range(rng.randint(1, 6)):
        at = rng.choice([rng.randrange(nt, nt + 400), rng.randrange(pointer, pointer + 512)])
        b[at] = rng.randrange(256)
    open("mutant%02d.exe" % i, "wb").write(b)
EOF_PY
for m in mutant*.exe; do
    rc=0
    "$PACK" build --app app/site --ini app/qvx.ini --runtime "$m" --icon new.ico "${VERSION[@]}" -o out/m.exe \
        >/dev/null 2>m.err || rc=$?
    [ "$rc" -le 1 ] || fail "$m: the packer ended with $rc: $(tail -1 m.err)"
    [ "$rc" -eq 0 ] || grep -q "error" m.err || fail "$m: refused without a message"
done

# --- The Linux runtime: the icon and the texts become payload entries, with a warning for the texts ---
"$PACK" build --app app/site --ini app/qvx.ini --icon new.ico --version-info ProductName=Probe -o out/linux \
    >/dev/null 2>linux.err || fail "build for the Linux runtime with an icon"
"$PACK" cat out/linux qvx-icon.ico | cmp -s - new.ico || fail "the icon entry differs from the icon file"
[ "$("$PACK" cat out/linux qvx-version.txt)" = "ProductName=Probe" ] || fail "the version entry"
grep -q "warning: the Linux runtime has no version block" linux.err || fail "no warning about the version texts"
"$PACK" build --app app/site --ini app/qvx.ini --version-info Bogus=1 -o out/linux 2>bogus.err && fail "unknown name accepted"
grep -q "unknown version text" bogus.err || fail "unknown version name: $(cat bogus.err)"

# --- Bad icon files: refused with a message, nothing written ---
ico() { "$PY" - "$@" <<'EOF_PY'
import struct, sys
name, count, size, offset, cut = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
data = struct.pack("<HHH", 0, 1, count)
for i in range(count):
    data += struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, size, offset)
data += b"\x28" + b"\0" * 39 + b"\0" * 1024
open(name, "wb").write(data[:cut] if cut else data)
EOF_PY
}
ico truncated.ico 2 1064 38 30
ico past-end.ico 1 1064 5000 0
ico zero.ico 0 0 0 0
ico huge.ico 1 2147483648 22 0
printf 'not an icon at all' > text.ico
for bad in "truncated.ico:truncated" "past-end.ico:past the end" "zero.ico:no images" \
    "huge.ico:past the end" "text.ico:not that of an icon" "missing.ico:does not exist"; do
    file=${bad%%:*} text=${bad#*:}
    for runtime in probe.exe "$BUILD/runtime/norvane-runtime"; do
        rc=0
        "$PACK" build --app app/site --ini app/qvx.ini --runtime "$runtime" --icon "$file" -o out/bad.exe \
            >/dev/null 2>bad.err || rc=$?
        [ "$rc" -ne 0 ] || fail "$file accepted"
        grep -qF "$text" bad.err || fail "$file: message lacks \"$text\": $(cat bad.err)"
        [ ! -e out/bad.exe ] || fail "$file: an output was left"
    done
done
leftovers=$(find out . -maxdepth 1 -name '*norvane-*' | head -3)
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"

if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "pe_resources: all checks passed"
exit 0
