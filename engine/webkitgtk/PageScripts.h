// Scripts the engine puts into the top document of every page.
#pragma once

namespace Norvane::Engine {

// The isolated script world that carries page messages to the host.
inline constexpr const char* MessageWorld = "norvane";
// The script message handler in that world.
inline constexpr const char* MessageHandlerName = "norvaneWebview";

// window.chrome.webview in the page's own world: postMessage(any) and the
// "message" listeners, kept in a real EventTarget. Host messages arrive
// through webview.__norvaneDispatch(jsonText).
extern const char* const WebViewShimScript;
// The message world's half: forwards the page's posts to the host.
extern const char* const MessageForwarderScript;

// Name of the function on window.chrome.webview that turns a JSON text into
// a "message" event for the page's listeners.
const char* DispatchFunctionName();

} // namespace Norvane::Engine
