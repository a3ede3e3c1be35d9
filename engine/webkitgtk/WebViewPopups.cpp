// The view: windows pages ask for: new windows (and the engine's own pop-ups
// when the host handles none), the page's request to close its window, and
// full screen. A pop-up is never a view related to the one that asked for it
// (WebKit would give it its opener's page configuration, with the host's
// scripts and channel): the page's window.open() gets null, and the address
// opens in a window of the foreign context, with nothing of the host.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Foreign.h"
#include "engine/webkitgtk/WebViewInternal.h"

namespace Norvane::Engine {

using namespace ViewInternal;

GtkWidget* TWebView::OnCreate(WebKitWebView*, WebKitNavigationAction* Action, TWebView* Self) {
    if (!Self->Alive())
        return nullptr;
    const TComPtr<TWebView> Keep(Self);
    const char* Raw = webkit_uri_request_get_uri(webkit_navigation_action_get_request(Action));
    const std::string Uri = ToPageAddress(Raw ? Raw : "");
    if (!Self->ShowsAppDocument() && IsAppDocumentAddress(ToEngineAddress(Uri))) {
        // A document that is not the application's may not open its pages
        // (in a new process of the application, they would have the host).
        g_printerr("norvane-engine: refused a new window for %s from %s\n", Uri.c_str(),
                   ToPageAddress(Self->FCommittedUri).c_str());
        return nullptr;
    }
    auto Args =
        MakeComObject<TNewWindowRequestedEventArgs>(Uri, webkit_navigation_action_is_user_gesture(Action));
    Self->FNewWindowRequested.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
    if (Args->IsDeferred()) {
        // The answer comes later; the page's window.open gets null now.
        TNewWindowRequestedEventArgs* Pending = Args.Get();
        Args->SetFinish([Keep, Pending, Uri] { Keep->FinishNewWindow(Pending, Uri); });
        Args->DispatchDone();
        return nullptr;
    }
    if (Args->Handled() || !Self->Alive())
        return nullptr;
    if (TWebView* Target = TWebView::FromInterface(Args->NewWindow())) {
        Target->Navigate(Uri.c_str());
        return nullptr;
    }
    OpenForeignWindow(Uri.c_str());
    return nullptr;
}

void TWebView::FinishNewWindow(TNewWindowRequestedEventArgs* Args, const std::string& Uri) {
    if (!Alive() || Args->Handled())
        return;
    if (TWebView* Target = TWebView::FromInterface(Args->NewWindow())) {
        Target->Navigate(Uri.c_str());
        return;
    }
    OpenForeignWindow(Uri.c_str());
}

void TWebView::OnClose(WebKitWebView*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FWindowCloseRequested.Fire([&](auto* H) { H->Invoke(Self->AsView(), nullptr); });
}

// The element fills the view; whether the window goes full screen is the
// host's choice (it hears ContainsFullScreenElementChanged), so WebKit is kept
// from changing the toplevel window itself.
gboolean TWebView::OnEnterFullscreen(WebKitWebView*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FFullScreen = true;
    Self->FContainsFullScreenElementChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), nullptr); });
    return TRUE;
}

gboolean TWebView::OnLeaveFullscreen(WebKitWebView*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FFullScreen = false;
    Self->FContainsFullScreenElementChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), nullptr); });
    return TRUE;
}

} // namespace Norvane::Engine
