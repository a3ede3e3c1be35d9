// Scripts the engine puts into the pages, kept as script files in
// engine/webkitgtk/scripts and embedded into the library at build time. The host's scripts and channel
// exist only in the application's own documents (IsAppDocumentAddress) and in
// a top "about:blank" document (the engine's error page): its scripts check
// the document's address before they do anything, and the host checks every
// message again on arrival.
#pragma once

#include <string>
#include <string_view>

namespace Norvane::Engine {

// The isolated script world that carries page messages to the host.
inline constexpr const char* MessageWorld = "norvane";
// The script message handler in that world.
inline constexpr const char* MessageHandlerName = "norvaneWebview";

// window.chrome.webview in the page's own world: postMessage(any) and the
// "message" listeners, kept in a real EventTarget. Host messages arrive
// through webview.__norvaneDispatch(jsonText). Top documents of the
// application only.
const std::string& WebViewShimScript();
// The message world's half: forwards the page's posts to the host, each as
// the document's own address, a line feed and the message's JSON text. The
// address is read in the message world, where the page's scripts cannot
// replace what it reads.
const std::string& MessageForwarderScript();

// Rewrites, in the application's documents, the addresses of audio and video
// (the src of media and source elements, however set, and new Audio(src))
// that lead into the application to Base (the media endpoint of the view)
// followed by the path and query. Other addresses are left alone.
std::string MediaAddressScript(const std::string& Base);

// A message of the forwarder split into the sender's address and the JSON
// text; false when it has no address part.
bool SplitForwardedMessage(std::string_view Message, std::string& SenderAddress, std::string& Json);

// A host document script for the documents that may carry the host but that
// no address pattern can name (object addresses, the top "about:blank"): it
// runs Script in the global scope when the document is one of those.
std::string UnpatternedHostDocumentScript(std::string_view Script);

// A function of one argument that gives the focus to the document's first
// (true) or last (false) element in tab order.
const std::string& FocusEdgeScript();

// A function of one address that tells whether a frame of the document (or
// of its frames of the same origin) is waiting to show that address: its
// element names it and does not show it yet. WebKit asks about the frames'
// navigations as it asks about the page's, without saying which is which.
const std::string& WaitingFrameScript();

// Name of the function on window.chrome.webview that turns a JSON text into
// a "message" event for the page's listeners.
const char* DispatchFunctionName();

} // namespace Norvane::Engine
