// The Monaco editor with its JSON language, whose checking runs in a web
// worker of the application: the worker finds the missing value; the test
// types it, the editor takes the keys, and the worker finds nothing more.
const workers = [];
window.Worker = class extends Worker {
    constructor(url, options) {
        super(url, options);
        workers.push(String(url).split(":")[0]);
    }
};
RealApp.run("monaco", async () => {
    const editor = await RealApp.until("editor", () => window.editor, 60);
    const model = editor.getModel();
    const markers = () => monaco.editor.getModelMarkers({ resource: model.uri });
    const found = await RealApp.until("worker's markers", () => markers().length && markers(), 60);
    editor.setPosition({ lineNumber: 3, column: model.getLineMaxColumn(3) });
    editor.focus();
    const ready = {
        at: "ready",
        workers: workers.length,
        scheme: [...new Set(workers)].join(","),
        marker: found[0].message + "@" + found[0].startLineNumber,
        shown: [...document.querySelectorAll(".view-line")].some((e) => e.textContent.includes('"norvane"')) ? "yes" : "no",
    };
    // Until the value is typed, the title also says whether the editor has the
    // keyboard and what the line holds, so that the test can tell lost keys.
    const live = () =>
        RealApp.report("monaco", {
            ...ready,
            focus: document.hasFocus() && editor.hasTextFocus() ? "yes" : "no",
            line: model.getLineContent(3).trim(),
        });
    live();
    const watching = setInterval(live, 200);
    try {
        await RealApp.until("typed value", () => model.getLineContent(3).endsWith("42"), 60);
    } finally {
        clearInterval(watching); // a failure's report is not overwritten
    }
    await RealApp.until("no markers", () => markers().length === 0, 30);
    RealApp.report("monaco", { at: "typed", line: model.getLineContent(3).trim(), markers: markers().length }, true);
});
