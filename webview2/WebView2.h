// The browser-engine boundary: a binary interface in the shape of the WebView2
// COM interfaces. The engine is a shared library loaded at run time from the
// payload; it exports the loader entries below by name. Everything that crosses
// this boundary is a C type: integers, BOOL-like values and UTF-8 C strings.
// Texts returned by the engine are allocated by it and freed with its exported
// CoTaskMemFree.
//
//   WebView2Base.h        result codes, IID, IUnknown, IStream, enumerations
//   WebView2Interfaces.h  environment, controller, view, settings, event
//                         arguments, handlers, DevTools receiver
//   WebView2Com.h         header-only helpers for callers: TComPtr, TComObject,
//                         handlers from lambdas, memory and file streams
#pragma once

#include "webview2/WebView2Base.h"
#include "webview2/WebView2Interfaces.h"

// Loader entries, looked up by these names.
extern "C" {
// Starts creating the browser environment; calls Handler->Invoke once, on the
// user-interface thread, with a result code and the environment. May be called
// from any thread; the engine's work happens on the user-interface thread.
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_CreateCoreWebView2Environment)(
    Norvane::WebView2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler);
// Version text of the installed engine; BrowserExecutableFolder may be null.
// *VersionInfo receives a text to free with CoTaskMemFree, or null.
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_GetCoreWebView2BrowserVersionString)(
    const char* BrowserExecutableFolder, char** VersionInfo);
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_GetAvailableCoreWebView2BrowserVersionString)(
    const char* BrowserExecutableFolder, char** VersionInfo);
// Frees a text or block the engine returned.
typedef void(NV_STDCALL* PFN_CoTaskMemFree)(void* Block);
}

namespace Norvane::WebView2 {
inline constexpr const char* CreateEnvironmentEntry = "CreateCoreWebView2Environment";
inline constexpr const char* BrowserVersionEntry = "GetCoreWebView2BrowserVersionString";
inline constexpr const char* AvailableBrowserVersionEntry = "GetAvailableCoreWebView2BrowserVersionString";
inline constexpr const char* MemFreeEntry = "CoTaskMemFree";

// A header the host puts on the response to a resource whose bytes are the
// application's own (its payload). The engine shows a document of the
// application's addresses only when its response carries it: a document
// answered from anywhere else (a file on disk) is refused, so that only the
// payload's documents ever get the host's scripts and message channel.
inline constexpr const char* ApplicationContentHeader = "X-Norvane-Content";
inline constexpr const char* ApplicationContentValue = "application";

// The environment variable of an author's run: set to "1" (norvane-pack run
// sets it), the engine writes the pages' console messages and uncaught errors
// on standard error, the host writes its failed and unknown bridge calls there
// too, and the inspector opens whatever the settings say.
inline constexpr const char* DevelopmentVariable = "NORVANE_DEVELOPMENT";
inline bool DevelopmentRun(const char* Value) {
    return Value && Value[0] == '1' && Value[1] == '\0';
}
} // namespace Norvane::WebView2
