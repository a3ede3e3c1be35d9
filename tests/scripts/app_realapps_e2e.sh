#!/usr/bin/env bash
# Real applications that nobody here wrote, packed and run with the real
# engine, each checked from inside by a script of tests/e2e/realapps packed as
# its extra script (the application's own files are copied unchanged):
#   - sphinx:   the Click documentation (Debian's python-click-doc, Sphinx)
#               searched by typing into it, a result page highlighting the word;
#   - pdfjs:    pdf.js's viewer (Debian's libjs-pdf) with its worker, reading
#               and drawing a two-page document written here;
#   - slides:   a deck of reveal.js (npm), moved by a script and by keys;
#   - terminal: xterm.js (npm), written to and typed into;
#   - editor:   CodeMirror 5 (npm), typed into;
#   - monaco:   the Monaco editor (npm), typed into, its JSON checks in a worker.
# The npm packages come at pinned versions from scripts/fetch-realapps.sh into
# BUILD_DIR/realapps; the Debian ones from scripts/deps.sh.
# Usage: bash app_realapps_e2e.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../e2e/e2e_common.sh"
command -v python3 >/dev/null || { echo "python3 is needed to write the PDF document"; exit 1; }

CHECKS="$SOURCE/tests/e2e/realapps"
CLICK_DOC=/usr/share/doc/python-click-doc/html
PDFJS=/usr/share/javascript/pdf
for d in "$CLICK_DOC/_static" "$PDFJS/web" "$PDFJS/build"; do
    [ -d "$d" ] || { echo "FAIL: missing $d: install python-click-doc and libjs-pdf (scripts/deps.sh)"; exit 1; }
done
# The fetch runs with the user's own npm settings (this script's home is a
# temporary one), its cache in the build folder.
user_home=$(getent passwd "$(id -u)" | cut -d: -f6)
if ! HOME=${user_home:-$HOME} bash "$SOURCE/scripts/fetch-realapps.sh" "$BUILD/realapps" >"$T/fetch.log" 2>&1; then
    cat "$T/fetch.log"
    echo "FAIL: the npm packages of the test could not be fetched (scripts/fetch-realapps.sh)"
    exit 1
fi
NPM="$BUILD/realapps/node_modules"

# pack_real NAME INDEX: packs the folder $T/app-NAME, whose start page is
# INDEX, with the check of tests/e2e/realapps/check-NAME.js; prints the packed
# file's path. The folder is removed: everything comes from the archive.
pack_real() {
    local name=$1
    local src="$T/app-$name"
    mkdir -p "$T/prog-$name"
    cat "$CHECKS/report.js" "$CHECKS/check-$name.js" >"$T/check-$name.js"
    printf '[App]\nID=norvane-realapps-%s\nName=%s\nDirName=webapp\nIndexHtml=%s\nDynamicAppTitle=1\n' \
        "$name" "$name" "$2" >"$T/$name.ini"
    "$PACK" build --app "$src" --ini "$T/$name.ini" --script "$T/check-$name.js" --loader "$ENGINE" \
        -o "$T/prog-$name/$name" >"$T/pack-$name.log" 2>&1 ||
        { cat "$T/pack-$name.log" >&2; echo "packing $name failed" >&2; return 1; }
    rm -rf "$src"
    echo "$T/prog-$name/$name"
}

# run_app NAME INDEX: packs and starts it; false when packing failed.
run_app() {
    local app
    app=$(pack_real "$1" "$2") || { fail "$1: could not be packed"; return 1; }
    start "$1" "$app"
}

# step NAME AT [SECONDS]: waits until the application reports the step AT
# (or gives up); false, with the failure told, otherwise.
step() {
    if wait_title "$PID" "E2E $1 (at=$2;|failed=)" "${3:-40}" && [ "$(field "$TITLE" failed)" = "" ]; then
        echo "$1: $TITLE"
        return 0
    fi
    fail "$1: no step \"$2\": $TITLE; output: $(tail -c 1500 "$T/out-$1")"
    return 1
}

# keys NAME ARGS...: real input (xdotool ARGS) into the application's window.
keys() {
    local w
    w=$(page_window "$PID") || { fail "$1: no window for the keys: $(titles "$PID" | paste -sd'|')"; return 1; }
    shift
    # Keys only once the window is the active one: keys sent before go elsewhere.
    activate_window "$w" || true
    sleep 0.2
    xdotool "$@"
}

# expect_more WHAT KEY MIN: the reported KEY is a number of at least MIN.
expect_more() {
    local got
    got=$(field "$TITLE" "$2")
    if ! [[ "$got" =~ ^[0-9]+$ ]] || [ "$got" -lt "$3" ]; then
        fail "$1: $2 is \"$got\", expected at least $3 (title: $TITLE)"
    fi
}

# The documentation: "/" to the search field, a word and Return.
cp -rL "$CLICK_DOC" "$T/app-sphinx"
if run_app sphinx index.html; then
    if step sphinx start 60; then
        expect_more "the documentation's start page" toc 20
        keys sphinx key slash && sleep 0.3 && xdotool type --delay 50 "prompt" && xdotool key Return
        if step sphinx page 60; then
            expect_field "the search" "$TITLE" query prompt
            expect_more "the search" results 2
            expect_field "the search" "$TITLE" listed yes
            expect_field "the search" "$TITLE" summary yes
            expect_field "the result" "$TITLE" page prompts.html
            expect_field "the result" "$TITLE" heading "User Input Prompts"
            expect_more "the result" highlighted 3
            expect_field "the result" "$TITLE" word prompt
        fi
    fi
    stop "$PID"
fi

# The PDF viewer on a document of two pages, with a blue box on the first.
mkdir -p "$T/app-pdfjs"
# (Debian's web/compatibility.js links to nothing: the copy leaves it out.)
cp -rL "$PDFJS/build" "$PDFJS/web" "$T/app-pdfjs/" 2>/dev/null
for f in build/pdf.js build/pdf.worker.js web/viewer.html web/viewer.js web/locale/locale.properties; do
    [ -f "$T/app-pdfjs/$f" ] || fail "the copy of pdf.js has no $f"
done
cp "$CHECKS/pdfjs.html" "$T/app-pdfjs/index.html"
python3 - "$T/app-pdfjs/sample.pdf" <<'PY'
import sys
pages = [b"0 0 1 rg 72 600 200 100 re f BT /F1 24 Tf 0 g 72 720 Td (Norvane reads this PDF) Tj ET",
         b"BT /F1 24 Tf 72 720 Td (The second page) Tj ET"]
objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
           2: b"<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>",
           3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
for i, content in enumerate(pages):
    objects[4 + 2 * i] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]"
                          b" /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (5 + 2 * i))
    objects[5 + 2 * i] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)
out = bytearray(b"%PDF-1.4\n")
offsets = {}
for n in sorted(objects):
    offsets[n] = len(out)
    out += b"%d 0 obj\n%s\nendobj\n" % (n, objects[n])
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += b"".join(b"%010d 00000 n \n" % offsets[n] for n in sorted(offsets))
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(sys.argv[1], "wb").write(out)
PY
PDF_SIZE=$(stat -c %s "$T/app-pdfjs/sample.pdf")
if run_app pdfjs index.html; then
    if step pdfjs read 90; then
        expect_field "the PDF viewer" "$TITLE" pages 2
        expect_field "the PDF viewer" "$TITLE" worker thread
        expect_field "the PDF viewer" "$TITLE" length "$PDF_SIZE"
        expect_field "the PDF viewer" "$TITLE" text1 "Norvane reads this PDF"
        expect_field "the PDF viewer" "$TITLE" box blue
        expect_field "the PDF viewer" "$TITLE" letters drawn
        expect_field "the PDF viewer" "$TITLE" text2 "The second page"
        expect_field "the PDF viewer" "$TITLE" page 2
    fi
    stop "$PID"
fi

# The slides: a script's move, then Right and Down.
mkdir -p "$T/app-slides/reveal.js"
cp -r "$NPM/reveal.js/dist" "$T/app-slides/reveal.js/"
cp "$CHECKS/slides.html" "$CHECKS/slides.md" "$T/app-slides/"
if run_app slides slides.html; then
    if step slides ready 60; then
        expect_field "the deck" "$TITLE" slides 5
        expect_field "the deck" "$TITLE" shown Norvane
        expect_field "the deck" "$TITLE" markdown "From Markdown"
        expect_field "the deck" "$TITLE" items 2
        expect_field "the deck" "$TITLE" code highlighted
        expect_field "the deck" "$TITLE" next "#/1"
        keys slides key Right
        if step slides "moved;hash=#/2" 20; then
            expect_field "the Right key" "$TITLE" heading "Down one"
            keys slides key Down
            if step slides "moved;hash=#/2/1" 20; then
                expect_field "the Down key" "$TITLE" heading "Down two"
            fi
        fi
    fi
    stop "$PID"
fi

# The terminal: written to, then a command line typed.
mkdir -p "$T/app-terminal/xterm"
cp -r "$NPM/@xterm/xterm/css" "$NPM/@xterm/xterm/lib" "$T/app-terminal/xterm/"
cp "$CHECKS/terminal.html" "$T/app-terminal/"
if run_app terminal terminal.html; then
    if step terminal ready 60; then
        expect_field "the terminal" "$TITLE" line0 "Hello from Norvane"
        expect_field "the terminal" "$TITLE" line1 "second line"
        expect_field "the terminal" "$TITLE" colour palette-1
        expect_field "the terminal" "$TITLE" bold yes
        expect_field "the terminal" "$TITLE" shown yes
        keys terminal type --delay 50 "echo hi" && xdotool key Return
        if step terminal typed 30; then
            expect_field "the typed line" "$TITLE" input '"echo hi\r"'
            expect_field "the typed line" "$TITLE" line2 '$ echo hi'
            expect_field "the typed line" "$TITLE" line3 '$ '
            expect_field "the typed line" "$TITLE" cursor 2,3
        fi
    fi
    stop "$PID"
fi

# The editor: a line typed at its end.
mkdir -p "$T/app-editor/codemirror"
cp -r "$NPM/codemirror/lib" "$T/app-editor/codemirror/"
mkdir -p "$T/app-editor/codemirror/mode"
cp -r "$NPM/codemirror/mode/javascript" "$T/app-editor/codemirror/mode/"
cp "$CHECKS/editor.html" "$T/app-editor/"
if run_app editor editor.html; then
    if step editor ready 60; then
        expect_field "the editor" "$TITLE" lines 4
        expect_field "the editor" "$TITLE" keyword function
        expect_field "the editor" "$TITLE" string '"Hello "'
        expect_field "the editor" "$TITLE" numbers 4
        keys editor type --delay 50 "const answer = 42" && xdotool key Return
        if step editor typed 30; then
            expect_field "the typed line" "$TITLE" line "const answer = 42"
            expect_field "the typed line" "$TITLE" lines 5
            expect_field "the typed line" "$TITLE" keyword keyword
            expect_field "the typed line" "$TITLE" name def
            expect_field "the typed line" "$TITLE" number number
            expect_field "the typed line" "$TITLE" shown 42
            expect_field "the typed line" "$TITLE" textarea same
        fi
    fi
    stop "$PID"
fi

# The Monaco editor: its worker finds the missing value, which is then typed.
mkdir -p "$T/app-monaco/monaco"
cp -r "$NPM/monaco-editor/min" "$T/app-monaco/monaco/"
cp "$CHECKS/monaco.html" "$T/app-monaco/"
if run_app monaco monaco.html; then
    if step monaco ready 90; then
        expect_more "the Monaco editor" workers 1
        expect_field "the Monaco editor" "$TITLE" marker "Value expected@4"
        expect_field "the Monaco editor" "$TITLE" shown yes
        keys monaco type --delay 50 "42"
        # Keys of which none reached the editor (a loaded machine) are typed once more.
        if ! wait_title "$PID" "E2E monaco (at=typed;|failed=|.*;line=\"size\": ?4)" 20; then
            echo "monaco: no key arrived ($TITLE); typing again"
            keys monaco type --delay 50 "42"
        fi
        if step monaco typed 40; then
            expect_field "the typed value" "$TITLE" line '"size": 42'
            expect_field "the typed value" "$TITLE" markers 0
        fi
    fi
    stop "$PID"
fi

finish
