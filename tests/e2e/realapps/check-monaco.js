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
    RealApp.report("monaco", {
        at: "ready",
        workers: workers.length,
        scheme: [...new Set(workers)].join(","),
        marker: found[0].message + "@" + found[0].startLineNumber,
        shown: [...document.querySelectorAll(".view-line")].some((e) => e.textContent.includes('"norvane"')) ? "yes" : "no",
    });
    await RealApp.until("typed value", () => model.getLineContent(3).endsWith("42"), 60);
    await RealApp.until("no markers", () => markers().length === 0, 30);
    RealApp.report("monaco", { at: "typed", line: model.getLineContent(3).trim(), markers: markers().length }, true);
});
