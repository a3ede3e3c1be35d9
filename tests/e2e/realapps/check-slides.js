// A deck of reveal.js: the Markdown slide is fetched from its own file and
// rendered, the code is highlighted, a script moves on, and then the test's
// keys (Right, then Down) move through the deck; each move shows in the
// address's fragment.
RealApp.run("slides", async () => {
    const deck = await RealApp.until("ready deck", () => window.Reveal && Reveal.isReady() && Reveal);
    const fragment = () => {
        const { h, v } = deck.getIndices();
        return "#/" + h + (v ? "/" + v : "");
    };
    const values = {
        at: "ready",
        slides: deck.getTotalSlides(),
        shown: deck.getCurrentSlide().querySelector("h1").textContent,
        markdown: await RealApp.until("Markdown slide", () => document.querySelector(".slides > section:nth-child(2) h2")?.textContent),
        items: document.querySelectorAll(".slides > section:nth-child(2) li").length,
        code: await RealApp.until("highlighted code", () => document.querySelectorAll("pre code.hljs span").length && "highlighted"),
    };
    deck.next();
    values.next = await RealApp.until("fragment after next()", () => location.hash === "#/1" && location.hash);
    RealApp.report("slides", values);
    deck.on("slidechanged", async () => {
        const want = fragment();
        await RealApp.until("fragment " + want, () => location.hash === want);
        RealApp.report("slides", {
            at: "moved",
            hash: location.hash,
            heading: deck.getCurrentSlide().querySelector("h2")?.textContent,
        }, want === "#/2/1");
    });
});
