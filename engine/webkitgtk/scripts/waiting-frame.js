// A function of one address: whether a frame of the document waits to show it.
function (address) {
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
}
