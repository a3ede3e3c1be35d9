// The loader entries of the engine library, looked up by name.
//
// The library is linked with "-z nodelete": WebKitGTK, which it pulls in, runs
// threads, registers types and exit handlers that point into its code (and
// ours: the view host's type), so unloading it in a process that goes on, or
// at the end of one, would leave those pointing at unmapped memory. dlclose()
// of this library therefore leaves it (and WebKit) loaded.

#include "engine/webkitgtk/Environment.h"

#include <gtk/gtk.h>

using namespace Norvane::WebView2;
using Norvane::Engine::DupText;

NV_EXPORT HRESULT NV_STDCALL
CreateCoreWebView2Environment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler) {
    if (!Handler)
        return E_POINTER;
    // Read now, on the caller's thread: the host sets it before the call.
    const char* Folder = std::getenv("WEBVIEW2_USER_DATA_FOLDER");
    const std::string DataFolder = Folder ? Folder : "";
    const TComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> Completion(Handler);
    Norvane::Engine::RunOnUiThread([Completion, DataFolder] {
        if (!gdk_display_get_default()) {
            Completion->Invoke(E_FAIL, nullptr); // the toolkit has no display
            return;
        }
        auto Environment =
            MakeComObject<Norvane::Engine::TEnvironment>(Norvane::Engine::GetEngineContext(DataFolder));
        Completion->Invoke(S_OK, Environment.Get());
    });
    return S_OK;
}

NV_EXPORT HRESULT NV_STDCALL GetCoreWebView2BrowserVersionString(const char*, char** VersionInfo) {
    if (!VersionInfo)
        return E_POINTER;
    *VersionInfo = DupText(Norvane::Engine::WebKitVersionText());
    return *VersionInfo ? S_OK : E_OUTOFMEMORY;
}

NV_EXPORT HRESULT NV_STDCALL GetAvailableCoreWebView2BrowserVersionString(const char* Folder,
                                                                          char** VersionInfo) {
    return GetCoreWebView2BrowserVersionString(Folder, VersionInfo);
}

NV_EXPORT void NV_STDCALL CoTaskMemFree(void* Block) {
    std::free(Block);
}
