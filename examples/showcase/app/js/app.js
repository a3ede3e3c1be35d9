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
})();
