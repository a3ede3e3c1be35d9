// The view: windows pages ask for: new windows (and the engine's own pop-ups
// when the host handles none), the page's request to close its window, and
// full screen.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/WebViewInternal.h"

namespace Norvane::Engine {

using namespace ViewInternal;

namespace {

// ---- The engine's own pop-up windows (new windows nobody handled) ----
//
// A pop-up is a view of its own, never a view related to the one that asked
// for it: WebKit gives a related view its opener's page configuration, and
// with it the host's document scripts and message channel. So the page's
// window.open() gets null, and the address opens in a window with none of
// the host.

void OpenEnginePopup(WebKitWebView* Opener, WebKitSettings* Settings, const char* EngineUri);

void PopupClose(WebKitWebView*, GtkWidget* Window) {
    gtk_widget_destroy(Window);
}

void PopupTitle(GObject* Popup, GParamSpec*, GtkWidget* Window) {
    const char* Title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(Popup));
    gtk_window_set_title(GTK_WINDOW(Window), Title ? Title : "");
}

GtkWidget* PopupCreate(WebKitWebView* Popup, WebKitNavigationAction* Action, gpointer) {
    OpenEnginePopup(Popup, webkit_web_view_get_settings(Popup),
                    webkit_uri_request_get_uri(webkit_navigation_action_get_request(Action)));
    return nullptr;
}

void OpenEnginePopup(WebKitWebView* Opener, WebKitSettings* Settings, const char* EngineUri) {
    WebKitUserContentManager* Manager = webkit_user_content_manager_new();
    GtkWidget* Popup =
        GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", webkit_web_view_get_context(Opener),
                                "user-content-manager", Manager, "settings", Settings, nullptr));
    g_object_unref(Manager);
    GtkWidget* Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(Window), 800, 600);
    gtk_container_add(GTK_CONTAINER(Window), Popup);
    g_signal_connect(Popup, "close", G_CALLBACK(PopupClose), Window);
    g_signal_connect(Popup, "notify::title", G_CALLBACK(PopupTitle), Window);
    g_signal_connect(Popup, "create", G_CALLBACK(PopupCreate), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(Popup), EngineUri && *EngineUri ? EngineUri : "about:blank");
    gtk_widget_show_all(Window);
}

} // namespace

GtkWidget* TWebView::OnCreate(WebKitWebView* View, WebKitNavigationAction* Action, TWebView* Self) {
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
    OpenEnginePopup(View, Self->FWebKitSettings, ToEngineAddress(Uri).c_str());
    return nullptr;
}

void TWebView::FinishNewWindow(TNewWindowRequestedEventArgs* Args, const std::string& Uri) {
    if (!Alive() || Args->Handled())
        return;
    if (TWebView* Target = TWebView::FromInterface(Args->NewWindow())) {
        Target->Navigate(Uri.c_str());
        return;
    }
    OpenEnginePopup(FView, FWebKitSettings, ToEngineAddress(Uri).c_str());
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
