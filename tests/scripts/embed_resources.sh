#!/bin/bash
# Builds a small program with embedded resources through the project's
# norvane_embed_resources rule and checks the bytes, the lookup of unknown
# names and that editing a resource file rebuilds the program.
# Usage: embed_resources.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
SOURCE_DIR=$(cd "$2" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$WORK/src/data"
cd "$WORK/src"
# Every byte value 0..255, twice, and a length that is no multiple of 16.
for round in 1 2; do
    for i in $(seq 0 255); do printf "\\$(printf '%03o' "$i")"; done
done >data/all.bin
printf 'xyz' >>data/all.bin
: >data/empty.txt
printf 'first version\n' >text.txt

cat >CMakeLists.txt <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(EmbedCheck CXX)
set(CMAKE_CXX_STANDARD 20)
include("$SOURCE_DIR/cmake/EmbedResources.cmake")
add_executable(show show.cpp)
target_include_directories(show PRIVATE "$SOURCE_DIR")
target_compile_options(show PRIVATE -Wall -Wextra -Wold-style-cast -Werror)
norvane_embed_resources(show all=data/all.bin empty=data/empty.txt dir/text.txt=text.txt)
CMAKE

cat >show.cpp <<'CPP'
// show NAME: writes the resource's bytes; exit code 3 when it is not embedded.
#include "shared/Resources.h"
#include <cstdio>
int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    std::string_view bytes = Norvane::Shared::FindResource(argv[1]);
    if (bytes.data() == nullptr)
        return 3;
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return 0;
}
CPP

cmake -S "$WORK/src" -B "$WORK/build" >"$WORK/configure.log" 2>&1 || { cat "$WORK/configure.log"; fail "configure"; }
cmake --build "$WORK/build" >"$WORK/build1.log" 2>&1 || { cat "$WORK/build1.log"; fail "first build"; }
SHOW="$WORK/build/show"

"$SHOW" all >"$WORK/out.bin"
cmp "$WORK/out.bin" data/all.bin || fail "all bytes differ"
"$SHOW" empty >"$WORK/out.bin"
[ -s "$WORK/out.bin" ] && fail "empty resource is not empty"
"$SHOW" dir/text.txt >"$WORK/out.bin"
cmp "$WORK/out.bin" text.txt || fail "text resource differs"
status=0; "$SHOW" missing >/dev/null || status=$?
[ "$status" = 3 ] || fail "unknown name gave exit code $status, not 3"
status=0; "$SHOW" ALL >/dev/null || status=$?
[ "$status" = 3 ] || fail "names are compared exactly, ALL gave $status"

# Nothing changed: the build does not embed again.
cmake --build "$WORK/build" >"$WORK/build2.log" 2>&1 || { cat "$WORK/build2.log"; fail "second build"; }
grep -q "Embedding resources" "$WORK/build2.log" && fail "an unchanged build embedded the resources again"

# An edited resource is picked up by the next build without reconfiguring.
printf 'second version, longer than the first\n' >text.txt
cmake --build "$WORK/build" >"$WORK/build3.log" 2>&1 || { cat "$WORK/build3.log"; fail "third build"; }
"$SHOW" dir/text.txt >"$WORK/out.bin"
cmp "$WORK/out.bin" text.txt || fail "the edited resource was not rebuilt"

# A call that names a missing file or a bad:name fails at configure time.
sed -i 's|dir/text.txt=text.txt|bad:name=text.txt|' CMakeLists.txt
cmake -S "$WORK/src" -B "$WORK/build" >"$WORK/configure2.log" 2>&1 && fail "a name with a colon was accepted"
grep -q "resource name 'bad:name'" "$WORK/configure2.log" || { cat "$WORK/configure2.log"; fail "no message for the bad:name"; }
sed -i 's|bad:name=text.txt|other=nothing-here.txt|' CMakeLists.txt
cmake -S "$WORK/src" -B "$WORK/build" >"$WORK/configure3.log" 2>&1 && fail "a missing file was accepted"
grep -q "nothing-here.txt does not" "$WORK/configure3.log" || { cat "$WORK/configure3.log"; fail "no message for the missing file"; }

echo "embed_resources: ok"
