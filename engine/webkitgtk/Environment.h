// The browser environment: one WebKit context per profile folder, with the
// application's scheme and the web-process extension set up.
#pragma once

#include "engine/webkitgtk/EngineCommon.h"

#include <webkit2/webkit2.h>

#include <functional>

namespace Norvane::Engine {

struct TEngineContext {
    std::string DataFolder; // empty: WebKit's default folders
    WebKitWebContext* Context = nullptr;
    bool HasExtension = false; // the web-process extension is set up
};

// The context for a profile folder, made on first use and kept for the life
// of the process (WebKit contexts are not made to be destroyed and re-made).
// User-interface thread only.
TEngineContext* GetEngineContext(const std::string& DataFolder);

// "2.50.6": the version of the WebKitGTK library in use.
std::string WebKitVersionText();

class TEnvironment final : public TComObject<ICoreWebView2Environment> {
public:
    explicit TEnvironment(TEngineContext* Context) : FContext(Context) {}
    TEngineContext* Context() const { return FContext; }

    HRESULT NV_STDCALL CreateCoreWebView2Controller(
        void* ParentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler) override;
    HRESULT NV_STDCALL CreateWebResourceResponse(IStream* Content, std::int32_t StatusCode,
                                                 const char* ReasonPhrase, const char* Headers,
                                                 ICoreWebView2WebResourceResponse** Response) override;
    HRESULT NV_STDCALL get_BrowserVersionString(char** VersionInfo) override;

private:
    TEngineContext* FContext;
};

// Runs Work once on the user-interface thread (the GTK main context), later,
// also when called on that thread.
void RunOnUiThread(std::function<void()> Work);

} // namespace Norvane::Engine
