// Showcase page logic. Works in a plain browser too, where window.qvx is absent.
(function () {
  const $ = (id) => document.getElementById(id);
  $("address").textContent = location.href;
  const opened = Date.now();
  setInterval(() => { $("elapsed").textContent = Math.round((Date.now() - opened) / 1000); }, 1000);

  if (!window.qvx) {
    $("hello").textContent = "not packaged";
    $("is-runtime").textContent = "no";
    return;
  }
  qvx.hello().then((v) => { $("hello").textContent = v; }, (e) => { $("hello").textContent = "error: " + e; });
  qvx.isRuntime().then((v) => { $("is-runtime").textContent = v ? "yes" : "no"; });
  $("close").addEventListener("click", () => qvx.app.close());

  // The window style: the styles the runtime knows, the active one selected.
  const picker = $("theme");
  const themeStatus = (text) => { $("theme-status").textContent = text; };
  Promise.all([qvx.themes.getThemes(), qvx.themes.getTheme()]).then(([names, active]) => {
    picker.replaceChildren(...names.map((name) => new Option(name, name, false, name === active)));
    picker.disabled = false;
    themeStatus("Now: " + active);
  }, (e) => themeStatus("Error: " + e));
  picker.addEventListener("change", () => qvx.themes.setTheme({name: picker.value})
    .then((ok) => themeStatus(ok ? "Now: " + picker.value : "Cannot use " + picker.value),
          (e) => themeStatus("Error: " + e)));

  // A folder listing: the user's documents, folders first.
  $("list").addEventListener("click", () => {
    const listing = $("listing");
    const line = (text) => { const item = document.createElement("li"); item.textContent = text; listing.append(item); };
    listing.replaceChildren();
    qvx.folders.getUserDocumentsDir()
      .then((dir) => qvx.files.listDir({dirPath: dir}).then((entries) => {
        const sorted = [...entries].sort((a, b) => (b.isDirectory - a.isDirectory) || a.name.localeCompare(b.name));
        if (sorted.length === 0) line(dir + " is empty.");
        for (const entry of sorted.slice(0, 50))
          line(entry.isDirectory ? entry.name + "/" : entry.name + " (" + entry.size + " bytes)");
        if (sorted.length > 50) line("\u2026 and " + (sorted.length - 50) + " more");
      }))
      .catch((e) => line("Error: " + e));
  });

  // Files dropped on the window: their paths and sizes, in the same list.
  qvx.events.onFilesDropped = (paths) => {
    const listing = $("listing");
    listing.replaceChildren();
    for (const path of paths.slice(0, 50)) {
      const item = document.createElement("li");
      item.textContent = path;
      listing.append(item);
      qvx.files.stat({path}).then((info) => {
        item.textContent = path + (info.isDirectory ? " (folder)" : " (" + info.size + " bytes)");
      }, () => {});
    }
  };

  // A command with its output streamed: a few pings, each line as it comes.
  const output = $("output");
  let running = null;
  const print = (text, className) => {
    const span = document.createElement("span");
    span.textContent = text;
    if (className) span.className = className;
    output.append(span);
    output.scrollTop = output.scrollHeight;
  };
  qvx.events.onProcessOutput = (id, stream, text) => {
    if (id === running) print(text, stream === "stderr" ? "stderr" : "");
  };
  qvx.events.onProcessExit = (id, code) => {
    if (id !== running) return;
    print("\n(ended with code " + code + ")\n", "note");
    running = null;
    $("run").disabled = false;
    $("stop").disabled = true;
  };
  $("run").addEventListener("click", () => {
    output.textContent = "";
    $("run").disabled = true;
    const count = /^Win/.test(navigator.platform) ? "-n" : "-c";
    qvx.process.spawn({command: "ping", args: [count, "5", "127.0.0.1"]}).then((id) => {
      running = id;
      $("stop").disabled = false;
    }, (e) => {
      print("Cannot start ping: " + e + "\n", "stderr");
      $("run").disabled = false;
    });
  });
  $("stop").addEventListener("click", () => { if (running !== null) qvx.process.kill({id: running}); });

  // The menu bar: built once with setItems, changed in place with updateItem.
  const status = (text) => { $("menu-status").textContent = text; };
  const fail = (e) => status("Error: " + e);
  const menu = [
    {id: 100, caption: "&File", items: [
      {id: 101, caption: "&Open a file\u2026", image: "app/img/open.png"},
      {id: 102, caption: "&Save a note", image: "app/img/save.png"},
      {id: 103, caption: "-"},
      {id: 104, caption: "&Quit"}]},
    {id: 200, caption: "&View", items: [
      {id: 201, caption: "Zoom &in", image: "app/img/zoom.png"},
      {id: 202, caption: "Zoom &out"},
      {id: 203, caption: "&Reset zoom", enabled: false}]},
    {id: 300, caption: "&Help", items: [
      {id: 301, caption: "&About", image: "app/img/about.png"}]},
  ];
  qvx.mainMenu.setItems({items: JSON.stringify(menu)}).catch(fail);

  // The zoom factor comes with the user's decimal separator.
  const zoomBy = (step) => qvx.window.getZoom()
    .then((z) => {
      const next = Math.round((parseFloat(String(z).replace(",", ".")) + step) * 10) / 10;
      return qvx.window.setZoom({factor: String(next)}).then(() => next);
    })
    .then((next) => {
      status("Zoom: " + Math.round(next * 100) + "%");
      return qvx.mainMenu.updateItem({id: 203, enabled: next !== 1});
    });

  const actions = {
    101: () => qvx.dialogs.openFile({title: "Open a file", fileTypes: "All files|*"})
      .then((path) => status(path ? "You chose " + path : "No file chosen.")),
    102: () => qvx.folders.getUserDocumentsDir()
      .then((dir) => {
        const path = dir + "norvane-showcase-note.txt";
        return qvx.files.writeTextFile({filePath: path, contents: "Written by the showcase at " + new Date()})
          .then(() => status("Saved " + path));
      })
      .then(() => qvx.mainMenu.updateItem({id: 102, caption: "&Save the note again"})),
    104: () => qvx.app.close(),
    201: () => zoomBy(0.1),
    202: () => zoomBy(-0.1),
    203: () => qvx.window.setZoom({factor: "1"})
      .then(() => { status("Zoom: 100%"); return qvx.mainMenu.updateItem({id: 203, enabled: false}); }),
    301: () => qvx.hello().then((v) => status("Norvane Showcase, bridge " + v + ".")),
  };
  qvx.events.onMainMenuItemClick = (id) => {
    const action = actions[id];
    if (action)
      Promise.resolve().then(action).catch(fail);
  };
})();
