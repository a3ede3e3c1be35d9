#include "engine/webkitgtk/PageScripts.h"

namespace Norvane::Engine {

// The page may replace globals later; the shim keeps its own references.
const char* const WebViewShimScript = R"JS((function () {
  "use strict";
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
})();)JS";

const char* const MessageForwarderScript = R"JS((function () {
  "use strict";
  var handler = window.webkit.messageHandlers.norvaneWebview;
  document.addEventListener("norvane-webview-post", function (event) {
    event.stopImmediatePropagation();
    handler.postMessage(String(event.detail));
  }, true);
})();)JS";

const char* DispatchFunctionName() {
    return "__norvaneDispatch";
}

} // namespace Norvane::Engine
