// CodeMirror 5 with its JavaScript mode: the text is highlighted and
// numbered; the test types a line at the end and Return, which the editor
// takes as real input, highlights and writes back to its text area.
RealApp.run("editor", async () => {
    const cm = await RealApp.until("editor", () => window.editor);
    const last = cm.lastLine();
    cm.focus();
    cm.setCursor({ line: last, ch: 0 });
    RealApp.report("editor", {
        at: "ready",
        lines: cm.lineCount(),
        keyword: document.querySelector(".CodeMirror-code .cm-keyword")?.textContent,
        string: document.querySelector(".CodeMirror-code .cm-string")?.textContent,
        numbers: document.querySelectorAll(".CodeMirror-linenumber").length,
    });
    await RealApp.until("typed line", () => cm.lineCount() > last + 1, 60);
    cm.save();
    RealApp.report("editor", {
        at: "typed",
        line: cm.getLine(last),
        lines: cm.lineCount(),
        keyword: cm.getTokenTypeAt({ line: last, ch: 1 }),
        name: cm.getTokenTypeAt({ line: last, ch: 8 }),
        number: cm.getTokenTypeAt({ line: last, ch: 16 }),
        shown: await RealApp.until("highlighted number", () => [...document.querySelectorAll(".CodeMirror-code .cm-number")].map((e) => e.textContent).join(",")),
        textarea: document.getElementById("code").value === cm.getValue() ? "same" : "differs",
    }, true);
});
