// Rewrites the addresses of audio and video that lead into the application
// (__APP_PREFIX__) to the view's media endpoint (__MEDIA_BASE__).
(function () {
  "use strict";
  if (!__HOST_DOCUMENT__) return;
  var prefix = __APP_PREFIX__, base = __MEDIA_BASE__;
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
})();
