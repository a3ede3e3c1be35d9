// A function of one argument: focuses the document's first (true) or last
// (false) element in tab order.
function (first) {
  var candidates = document.querySelectorAll("a[href], area[href], button, input, select, textarea, iframe, " +
    "summary, [tabindex], [contenteditable]:not([contenteditable='false'])");
  var shown = Array.prototype.filter.call(candidates, function (e) {
    return e.tabIndex >= 0 && !e.disabled && e.type !== "hidden" && e.getClientRects().length > 0;
  });
  var ordered = shown.filter(function (e) { return e.tabIndex > 0; })
    .sort(function (a, b) { return a.tabIndex - b.tabIndex; })
    .concat(shown.filter(function (e) { return e.tabIndex === 0; }));
  var target = first ? ordered[0] : ordered[ordered.length - 1];
  if (target)
    target.focus();
}
