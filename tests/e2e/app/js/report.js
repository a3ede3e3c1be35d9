// Reports what a page found through its title, which the main window shows as
// its caption when DynamicAppTitle is on:
//   "E2E <page> key=value;key=value;...;done"
// A value not yet known shows as "?", and ";done" is added once every value is in.
window.E2E = {
    start(page, keys) {
        const values = {};
        const show = () => {
            const parts = keys.map((k) => k + "=" + (k in values ? values[k] : "?"));
            const done = keys.every((k) => k in values);
            document.title = "E2E " + page + " " + parts.join(";") + (done ? ";done" : "");
        };
        show();
        return {
            set(key, value) {
                values[key] = String(value);
                show();
            },
            // Sets the key to what the promise resolves with, or to "error:<why>".
            watch(key, promise) {
                Promise.resolve(promise).then(
                    (value) => this.set(key, value),
                    (error) => this.set(key, "error:" + ((error && error.message) || error)));
            },
        };
    },
};
