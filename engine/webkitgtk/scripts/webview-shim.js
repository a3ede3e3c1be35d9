// window.chrome.webview in the page's own world (top documents of the
// application only); the page may replace globals later, so the shim keeps its
// own references. __HOST_DOCUMENT__ is the test of a document that may carry
// the host.
(function () {
  "use strict";
  if (!__HOST_DOCUMENT__) return;
  if (window.chrome && window.chrome.webview) return;
  var doc = document;
  var dispatch = EventTarget.prototype.dispatchEvent;
  var NewCustomEvent = CustomEvent;
  var NewMessageEvent = MessageEvent;
  var stringify = JSON.stringify;
  var parse = JSON.parse;
  class WebView extends EventTarget {
    postMessage(message) {
      if (arguments.length === 0)
        throw new TypeError("chrome.webview.postMessage needs a message");
      var json = stringify(message);
      dispatch.call(doc, new NewCustomEvent("norvane-webview-post", { detail: json === undefined ? "null" : json }));
    }
  }
  var webview = new WebView();
  Object.defineProperty(webview, "__norvaneDispatch", {
    value: function (json) { dispatch.call(webview, new NewMessageEvent("message", { data: parse(json) })); }
  });
  var chrome = window.chrome;
  if (!chrome || typeof chrome !== "object") {
    chrome = {};
    Object.defineProperty(window, "chrome", { value: chrome, enumerable: true, configurable: true, writable: true });
  }
  Object.defineProperty(chrome, "webview", { value: webview, enumerable: true });
  // The application's pages hold the notification permission from the start;
  // WebKit still answers a request made without a user's gesture "denied".
  if (typeof Notification === "function" && typeof Notification.requestPermission === "function") {
    var request = Notification.requestPermission;
    Notification.requestPermission = function (callback) {
      if (Notification.permission !== "granted")
        return request.apply(Notification, arguments);
      if (typeof callback === "function")
        callback("granted");
      return Promise.resolve("granted");
    };
  }
})();
