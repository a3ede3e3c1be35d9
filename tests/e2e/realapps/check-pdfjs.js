// pdf.js's viewer (Debian's build) on a two-page document the test wrote: the
// whole document comes in (pdf.js asks for byte ranges only over http), a
// worker thread parses it, page 1 is drawn on a canvas with its text laid
// over it, the text of page 2 comes out of the worker, and the viewer moves
// to page 2.
RealApp.run("pdfjs", async () => {
    if (!location.pathname.endsWith("/viewer.html")) return;
    const app = await RealApp.until("viewer", () => window.PDFViewerApplication);
    await app.initializedPromise;
    const doc = await RealApp.until("document", () => app.pdfDocument, 60);
    const text = await RealApp.until("text layer of page 1", () => {
        const layer = document.querySelector('.page[data-page-number="1"] .textLayer');
        return layer && layer.textContent.includes("Norvane") && layer.textContent.replace(/\s+/g, " ").trim();
    }, 60);
    const canvas = await RealApp.until("canvas of page 1", () => document.querySelector('.page[data-page-number="1"] canvas'));
    const pixels = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let blue = 0;
    let dark = 0;
    for (let i = 0; i < pixels.length; i += 4) {
        if (pixels[i] < 60 && pixels[i + 1] < 60 && pixels[i + 2] > 180) blue++;
        else if (pixels[i] < 100 && pixels[i + 1] < 100 && pixels[i + 2] < 100) dark++;
    }
    const second = await (await doc.getPage(2)).getTextContent();
    app.page = 2;
    await RealApp.until("page 2 shown", () => app.pdfViewer.currentPageNumber === 2 && document.getElementById("pageNumber").value === "2");
    RealApp.report("pdfjs", {
        at: "read",
        pages: doc.numPages,
        length: (await doc.getDownloadInfo()).length,
        worker: app.pdfLoadingTask && app.pdfLoadingTask._worker && app.pdfLoadingTask._worker._webWorker ? "thread" : "none",
        text1: text,
        box: blue > 1000 ? "blue" : "missing",
        letters: dark > 100 ? "drawn" : "missing",
        text2: second.items.map((item) => item.str).join(" ").trim(),
        page: app.page,
    }, true);
});
