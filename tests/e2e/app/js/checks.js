// The start page's findings, reported through its title once the page and
// everything it references has loaded.
window.addEventListener("load", () => {
    const report = E2E.start("index", ["hello", "runtime", "extra", "extraScripts", "extraQvx", "css", "img",
                                       "space", "beside", "missing", "modules"]);
    const extra = window.e2eExtra;
    report.set("extra", window.e2eFirstScript.extra);
    report.set("extraScripts", extra ? extra.scripts : "none");
    report.set("extraQvx", extra ? extra.qvx : "none");
    report.set("css", getComputedStyle(document.getElementById("probe")).color);
    const size = (img) => img.naturalWidth + "x" + img.naturalHeight;
    report.set("img", size(document.getElementById("box")));
    report.set("space", size(document.getElementById("spaced")));
    report.watch("hello", qvx.hello());
    report.watch("runtime", qvx.isRuntime());
    report.watch("modules", import("./modules.mjs").then((m) => m.check()));
    // A file beside the program, not in the archive.
    report.watch("beside", fetch("beside/note.txt").then((r) => (r.ok ? r.text() : "status" + r.status))
                               .then((t) => t.trim()));
    // In neither place.
    report.watch("missing", fetch("beside/missing.txt").then((r) => (r.ok ? "ok" : "notok:" + r.status),
                                                              () => "notok:failed"));
});
