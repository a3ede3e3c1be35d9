#!/usr/bin/env bash
# The files functions that read, list, copy and move, folders made and moved,
# and binary files through the host's one-time transfer addresses, from a page
# of a packaged application: their results and refusals as the page reports
# them, and the files they leave, the binary one compared byte for byte.
# Usage: bash app_fileio_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"

app=$(pack_app fileio "[App]\nID=norvane-fileio\nName=Files E2E\nDirName=webapp\nIndexHtml=fileio.html\nDynamicAppTitle=1\n") ||
    exit 1
dir=$(dirname "$app")
start fileio "$app"
if wait_title "$PID" "E2E fileio .*;done" 60; then
    expect_field "readTextFile after appendTextFile and writeTextFile" "$TITLE" text '["a\né€","x\r\n"]'
    expect_field "stat of a file, a folder and nothing" "$TITLE" stat "true,true,false,7,true,true,false,false,0,0"
    expect_field "listDir" "$TITLE" list 'a "q".txt:false:1|b:true:0|c.txt:false:3|true'
    expect_field "createDir and folders moved" "$TITLE" dirs \
        "true,true,Not a folder,A folder cannot be moved into itself,The target exists,true,false,x"
    expect_field "copy" "$TITLE" copy "The target exists,old,true,true,newnew"
    expect_field "move" "$TITLE" move "The target exists,true,false,true,1"
    expect_field "move to another file system" "$TITLE" far \
        "true,false,far,A folder cannot be moved to another file system,true"
    expect_field "binary round trip" "$TITLE" binary "true,3145735,true"
    expect_field "binary from a view" "$TITLE" view "256,true"
    expect_field "binary from a blob" "$TITLE" blob "98 108 111 98 0 255"
    expect_field "transfer addresses" "$TITLE" once "200,404,404,200"
    expect_field "refusals" "$TITLE" bad "File not found|Not a file|File not found|Not a file|data is no ArrayBuffer, typed array or Blob|Not a folder|Folder not found|Invalid path|File not found|The target is a folder|The source and the target are the same file"
    python3 -c '
import sys
n = 3 * 1024 * 1024 + 7
sys.stdout.buffer.write(bytes(((i * 7 + (i >> 11)) & 255) for i in range(n)))' >"$T/expected.bin"
    cmp "$T/expected.bin" "$dir/io/b/data.bin" || fail "writeBinaryFile wrote other bytes"
    [ "$(od -An -tx1 "$dir/io/t/append.txt" | tr -s ' \n' ' ')" = " 61 0a c3 a9 e2 82 ac " ] ||
        fail "appendTextFile wrote $(od -An -tx1 "$dir/io/t/append.txt")"
    leftover=$(find "$dir/io" -name '*.part')
    [ -z "$leftover" ] || fail "temporary files left: $leftover"
else
    fail "the fileio page did not report: $TITLE; output: $(head -c 2000 "$T/out-fileio")"
fi
stop "$PID"
finish
