// The message world's half of window.chrome.webview: forwards the page's posts
// to the host, each as the document's own address, a line feed and the JSON.
(function () {
  "use strict";
  if (window.top !== window || !__HOST_DOCUMENT__) return;
  var handler = window.webkit.messageHandlers.norvaneWebview;
  document.addEventListener("norvane-webview-post", function (event) {
    event.stopImmediatePropagation();
    handler.postMessage(String(location.href) + "\n" + String(event.detail));
  }, true);
})();
