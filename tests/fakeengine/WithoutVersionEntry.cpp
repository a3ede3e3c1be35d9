// An engine library that loads but lacks the version entry
// (GetCoreWebView2BrowserVersionString). Its environment entry answers a code
// of its own, so a test sees whether anything called it.
#include "webview2/WebView2.h"

#include <cstdlib>

using namespace Norvane::WebView2;

// The code the environment entry answers.
inline constexpr HRESULT WithoutVersionEntryCode = static_cast<HRESULT>(0x8004BEEFu);

NV_EXPORT HRESULT NV_STDCALL
CreateCoreWebView2Environment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    return WithoutVersionEntryCode;
}

NV_EXPORT void NV_STDCALL CoTaskMemFree(void* Block) {
    std::free(Block);
}
