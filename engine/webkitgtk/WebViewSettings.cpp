// The view: the settings object (ICoreWebView2Settings).
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "engine/webkitgtk/Keys.h"
#include "engine/webkitgtk/PageScripts.h"
#include "engine/webkitgtk/ViewHost.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <gdk/gdkkeysyms.h>

#include <cmath>
#include <memory>

#include <unistd.h>

namespace Norvane::Engine {

using namespace ViewInternal;

// ---------------------------------------------------------------------------
// ICoreWebView2Settings (usable after Close too; they then change nothing visible)
// ---------------------------------------------------------------------------

HRESULT TWebView::get_IsScriptEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FScriptEnabled), Value);
}
HRESULT TWebView::put_IsScriptEnabled(BOOL Value) {
    FScriptEnabled = Value != 0;
    // The page's own scripts only; ExecuteScript and document scripts still run.
    g_object_set(FWebKitSettings, "enable-javascript-markup", FScriptEnabled ? TRUE : FALSE, nullptr);
    return S_OK;
}
HRESULT TWebView::get_IsWebMessageEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FWebMessageEnabled), Value);
}
HRESULT TWebView::put_IsWebMessageEnabled(BOOL Value) {
    FWebMessageEnabled = Value != 0;
    return S_OK;
}
HRESULT TWebView::get_AreDefaultScriptDialogsEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FDefaultScriptDialogs), Value);
}
HRESULT TWebView::put_AreDefaultScriptDialogsEnabled(BOOL Value) {
    FDefaultScriptDialogs = Value != 0;
    return S_OK;
}
HRESULT TWebView::get_IsStatusBarEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FStatusBar), Value);
}
HRESULT TWebView::put_IsStatusBarEnabled(BOOL Value) {
    // WebKitGTK draws no status bar of its own; the switch is only kept.
    FStatusBar = Value != 0;
    return S_OK;
}
HRESULT TWebView::get_AreDevToolsEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FDevTools), Value);
}
HRESULT TWebView::put_AreDevToolsEnabled(BOOL Value) {
    FDevTools = Value != 0;
    g_object_set(FWebKitSettings, "enable-developer-extras", FDevTools ? TRUE : FALSE, nullptr);
    if (!FDevTools && FView)
        webkit_web_inspector_close(webkit_web_view_get_inspector(FView));
    return S_OK;
}
HRESULT TWebView::get_AreDefaultContextMenusEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FContextMenus), Value);
}
HRESULT TWebView::put_AreDefaultContextMenusEnabled(BOOL Value) {
    FContextMenus = Value != 0;
    return S_OK;
}
HRESULT TWebView::get_IsZoomControlEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FZoomControl), Value);
}
HRESULT TWebView::put_IsZoomControlEnabled(BOOL Value) {
    FZoomControl = Value != 0;
    return S_OK;
}
HRESULT TWebView::get_IsBuiltInErrorPageEnabled(BOOL* Value) {
    return ReturnValue(ToBOOL(FBuiltInErrorPage), Value);
}
HRESULT TWebView::put_IsBuiltInErrorPageEnabled(BOOL Value) {
    FBuiltInErrorPage = Value != 0;
    return S_OK;
}

} // namespace Norvane::Engine
