// Modules of the archive: a static import, a dynamic one with a query, and a
// worker that is itself a module.
import { factor } from "./factor.mjs";

export async function check() {
    const again = await import("./factor.mjs?again=1");
    const worker = new Worker(new URL("factor-worker.mjs", import.meta.url), { type: "module" });
    const product = await new Promise((resolve, reject) => {
        worker.onmessage = (event) => resolve(event.data);
        worker.onerror = (event) => reject(new Error(event.message || "worker error"));
        worker.postMessage(2);
    });
    return `${factor}/${again.factor}/${product}`;
}
