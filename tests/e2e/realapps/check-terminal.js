// xterm.js: text with colour and bold escape sequences lands in the
// terminal's buffer and on screen; then the test types a command line, which
// reaches the terminal as its input and shows through the echo.
RealApp.run("terminal", async () => {
    const term = await RealApp.until("terminal", () => window.term);
    await new Promise((resolve) => term.write("Hello from \x1b[1;31mNorvane\x1b[0m\r\nsecond line\r\n$ ", resolve));
    const buffer = term.buffer.active;
    const line = (y) => buffer.getLine(y).translateToString(true);
    const cell = buffer.getLine(0).getCell(11);
    RealApp.report("terminal", {
        at: "ready",
        line0: line(0),
        line1: line(1),
        colour: cell.isFgPalette() ? "palette-" + cell.getFgColor() : "other",
        bold: cell.isBold() ? "yes" : "no",
        shown: await RealApp.until("rows on screen", () =>
            document.querySelector(".xterm-rows")?.textContent.includes("Hello from Norvane") && "yes"),
        focus: document.activeElement?.className,
    });
    await RealApp.until("typed line", () => window.typed.includes("\r"), 60);
    RealApp.report("terminal", {
        at: "typed",
        input: JSON.stringify(window.typed),
        line2: line(2),
        line3: line(3),
        cursor: buffer.cursorX + "," + buffer.cursorY,
    }, true);
});
