#include "engine/webkitgtk/PageScripts.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"

namespace Norvane::Engine {

namespace {

// A script expression that is true in a document that may carry the host:
// one whose address starts with the application's prefix, an object address
// made by such a document, or a top document "about:blank" (the engine's
// error page for an address of the application reads so; the engine takes
// such a document's messages only while the view's own address is one of
// the application's).
std::string HostDocumentTest() {
    const std::string Prefix = ToJsonString(AppPrefix());
    return "(function (h) { return h.indexOf(" + Prefix +
           ") === 0 || (h.indexOf(\"blob:\") === 0 && h.indexOf(" + Prefix +
           ", 5) === 5) || (h === \"about:blank\" && window.top === window); })(String(location.href))";
}

} // namespace

// The page may replace globals later; the shim keeps its own references.
const std::string& WebViewShimScript() {
    static const std::string Script = R"JS((function () {
  "use strict";
  if (!)JS" + HostDocumentTest() + R"JS() return;
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
})();)JS";
    return Script;
}

const std::string& MessageForwarderScript() {
    static const std::string Script = R"JS((function () {
  "use strict";
  if (window.top !== window || !)JS" + HostDocumentTest() +
                                      R"JS() return;
  var handler = window.webkit.messageHandlers.norvaneWebview;
  document.addEventListener("norvane-webview-post", function (event) {
    event.stopImmediatePropagation();
    handler.postMessage(String(location.href) + "\n" + String(event.detail));
  }, true);
})();)JS";
    return Script;
}

std::string MediaAddressScript(const std::string& Base) {
    return R"JS((function () {
  "use strict";
  if (!)JS" +
           HostDocumentTest() + R"JS() return;
  var prefix = )JS" +
           ToJsonString(AppPrefix()) + R"JS(, base = )JS" + ToJsonString(Base) + R"JS(;
  var NewURL = URL, MediaElement = HTMLMediaElement, SourceElement = HTMLSourceElement;
  var setAttribute = Element.prototype.setAttribute, getAttribute = Element.prototype.getAttribute;
  var forEach = Array.prototype.forEach, lower = String.prototype.toLowerCase;
  function served(value) {
    var text = String(value), address;
    try { address = new NewURL(text, document.baseURI).href; } catch (e) { return text; }
    return address.indexOf(prefix) === 0 ? base + address.slice(prefix.length) : text;
  }
  function isMedia(element) { return element instanceof MediaElement || element instanceof SourceElement; }
  function fix(element) {
    var value = getAttribute.call(element, "src");
    if (value !== null) {
      var address = served(value);
      if (address !== value)
        setAttribute.call(element, "src", address);
    }
  }
  [MediaElement.prototype, SourceElement.prototype].forEach(function (proto) {
    var property = Object.getOwnPropertyDescriptor(proto, "src");
    if (!property || !property.set) return;
    Object.defineProperty(proto, "src", { configurable: true, enumerable: property.enumerable, get: property.get,
      set: function (value) { property.set.call(this, served(value)); } });
  });
  Element.prototype.setAttribute = function (name, value) {
    if (isMedia(this) && lower.call(String(name)) === "src")
      value = served(value);
    return setAttribute.call(this, name, value);
  };
  var AudioElement = window.Audio;
  if (typeof AudioElement === "function") {
    var NewAudio = function Audio(src) {
      return src === undefined ? new AudioElement() : new AudioElement(served(src));
    };
    NewAudio.prototype = AudioElement.prototype;
    Object.defineProperty(window, "Audio", { value: NewAudio, writable: true, configurable: true });
  }
  // Elements the parser or markup made: rewritten before their load starts.
  function visit(node) {
    if (node.nodeType !== 1) return;
    if (isMedia(node)) fix(node);
    if (node.firstElementChild) forEach.call(node.querySelectorAll("audio, video, source"), fix);
  }
  new MutationObserver(function (records) {
    records.forEach(function (record) {
      if (record.type === "attributes") { if (isMedia(record.target)) fix(record.target); }
      else forEach.call(record.addedNodes, visit);
    });
  }).observe(document, { subtree: true, childList: true, attributes: true, attributeFilter: ["src"] });
})();)JS";
}

bool SplitForwardedMessage(std::string_view Message, std::string& SenderAddress, std::string& Json) {
    const std::size_t Break = Message.find('\n');
    if (Break == std::string_view::npos)
        return false;
    SenderAddress.assign(Message.substr(0, Break));
    Json.assign(Message.substr(Break + 1));
    return true;
}

std::string UnpatternedHostDocumentScript(std::string_view Script) {
    return "if (" + HostDocumentTest() + " && String(location.href).indexOf(" + ToJsonString(AppPrefix()) +
           ") !== 0) (0, eval)(" + ToJsonString(std::string(Script)) + ");";
}

const char* FocusEdgeScript() {
    // Tab order: positive tab indexes first, ascending, then the others in
    // document order; only elements shown and not disabled.
    return R"JS(function (first) {
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
})JS";
}

const char* WaitingFrameScript() {
    return R"JS(function (address) {
  function waits(doc) {
    var frames = doc.querySelectorAll("iframe, frame");
    for (var i = 0; i < frames.length; ++i) {
      var shown = null, inner = null;
      try { shown = frames[i].contentWindow.location.href; } catch (e) {}
      if (frames[i].src === address && shown !== address)
        return true;
      try { inner = frames[i].contentDocument; } catch (e) {}
      if (inner && waits(inner))
        return true;
    }
    return false;
  }
  return waits(document);
})JS";
}

const char* DispatchFunctionName() {
    return "__norvaneDispatch";
}

} // namespace Norvane::Engine
