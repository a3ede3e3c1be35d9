// Shared part of the checks of the real-application test
// (tests/scripts/app_realapps_e2e.sh), joined in front of each application's
// check-NAME.js and packed as that application's extra script, which runs at
// the start of every document before the page's own scripts. A check reports
// through the document's title, which the main window shows as its caption:
//   "E2E <application> at=<step>;key=value;...[;done]"
// A check that gives up reports "failed=<what>" with the page's first error.
window.RealApp = (() => {
    const errors = [];
    addEventListener("error", (e) => errors.push(e.message || String(e)));
    addEventListener("unhandledrejection", (e) =>
        errors.push("rejected: " + ((e.reason && e.reason.message) || e.reason)));
    const clean = (value) => String(value).replace(/[;\r\n]+/g, ",").slice(0, 160);
    const report = (app, values, done) => {
        const parts = Object.entries(values).map(([k, v]) => k + "=" + clean(v));
        document.title = "E2E " + app + " " + parts.join(";") + (done ? ";done" : "");
    };
    return {
        report,
        // Resolves once the document and everything it loads are in.
        loaded: new Promise((resolve) => addEventListener("load", () => resolve())),
        // until(what, test, seconds): polls test() until it gives a true
        // value, which it resolves with; rejects naming what it waited for.
        until(what, test, seconds = 30) {
            return new Promise((resolve, reject) => {
                const end = Date.now() + seconds * 1000;
                const poll = () => {
                    let value;
                    try {
                        value = test();
                    } catch (e) {
                        value = undefined;
                    }
                    if (value) resolve(value);
                    else if (Date.now() > end) reject(new Error("no " + what));
                    else setTimeout(poll, 50);
                };
                poll();
            });
        },
        // run(app, check): runs the asynchronous check; a failure is reported.
        run(app, check) {
            RealApp.loaded.then(check).catch((e) =>
                report(app, { failed: (e && e.message) || e, error: errors[0] || "none" }, true));
        },
    };
})();
