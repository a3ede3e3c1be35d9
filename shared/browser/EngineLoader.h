// The engine's loader library, found at WebView2LoaderPath: loaded on first
// use and unloaded when the program ends. Loading it also puts the thread's
// floating-point unit into the non-stop mode the engine expects.
#pragma once

#include "webview2/WebView2.h"

#include <string>

namespace Norvane::Shared {

// Where the loader library is; set before the first browser control is made.
extern std::string WebView2LoaderPath;

namespace EngineLoader {

// Loads the library now unless it is loaded; false when it cannot be used (a
// library without one of its entries counts as one that cannot be loaded, and
// the next call tries again).
bool Load();
// The library's environment creation. With MayLoad false a library not loaded
// yet is not loaded here: the caller is a worker thread and the load was tried
// on the user-interface thread.
WebView2::HRESULT
CreateEnvironment(WebView2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler,
                  bool MayLoad);
// The installed engine's version text (freed with Free).
WebView2::HRESULT BrowserVersion(char** Text);
// Frees a text the engine returned.
void Free(char* Text);

} // namespace EngineLoader

} // namespace Norvane::Shared
