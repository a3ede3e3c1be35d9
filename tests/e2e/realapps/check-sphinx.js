// The Click documentation as Debian builds it with Sphinx, searched as a
// reader does: on the start page "/" focuses the search field and the test
// types a word and Return; the search page lists the matching pages, each
// with a summary it fetches from the page itself, and the check follows the
// one about prompts, which highlights the word (carried in local storage).
RealApp.run("sphinx", async () => {
    const page = location.pathname.split("/").pop();
    if (page === "index.html") {
        await RealApp.until("search field", () => document.querySelector("#searchbox input[name=q]")?.offsetParent);
        RealApp.report("sphinx", { at: "start", toc: document.querySelectorAll(".toctree-wrapper a").length });
    } else if (page === "search.html") {
        const found = await RealApp.until("search result list", () => {
            const summary = document.querySelector("#search-results > p")?.innerText || "";
            return /^Search finished|did not match/.test(summary) && document.querySelectorAll("#search-results ul.search li");
        });
        const link = [...found].map((li) => li.querySelector("a")).find((a) => a?.getAttribute("href").startsWith("prompts.html"));
        const state = {
            query: new URLSearchParams(location.search).get("q"),
            results: found.length,
            listed: link ? "yes" : "no",
        };
        if (link) {
            await RealApp.until("summary of the prompts page", () => link.parentElement.querySelector("p.context"));
            state.summary = "yes";
        }
        sessionStorage.setItem("realapps", JSON.stringify(state));
        if (!link) throw new Error("prompts.html in the results: " + JSON.stringify(state));
        link.click();
    } else if (page === "prompts.html") {
        const state = JSON.parse(sessionStorage.getItem("realapps") || "{}");
        const marks = await RealApp.until("highlighted words", () => {
            const all = document.querySelectorAll("div.body span.highlighted");
            return all.length && all;
        });
        RealApp.report("sphinx", Object.assign({ at: "page" }, state, {
            page,
            heading: document.querySelector("div.body h1")?.textContent.replace(/\W+$/, ""),
            highlighted: marks.length,
            word: marks[0].textContent.toLowerCase(),
        }), true);
    }
});
