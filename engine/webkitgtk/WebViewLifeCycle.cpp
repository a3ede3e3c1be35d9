// The view: its life cycle and its place in the parent window: the widgets
// it builds there, the signals it connects, its close (the widgets are
// destroyed from the main loop) and the controller's bounds and visibility.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/MediaEndpoint.h"
#include "engine/webkitgtk/PageScripts.h"
#include "engine/webkitgtk/ViewHost.h"
#include "engine/webkitgtk/WebViewInternal.h"

namespace Norvane::Engine {

using namespace ViewInternal;

bool TWebView::Initialize() {
    if (GTK_IS_BIN(FParent) && gtk_bin_get_child(GTK_BIN(FParent)))
        return false; // a bin that already holds a child cannot take ours
    TEngineContext* Context = FEnvironment->Context();

    FContentManager = webkit_user_content_manager_new();
    g_signal_connect(FContentManager, "script-message-received::norvaneWebview", G_CALLBACK(OnScriptMessage),
                     this);
    webkit_user_content_manager_register_script_message_handler_in_world(FContentManager, MessageHandlerName,
                                                                         MessageWorld);
    WebKitUserScript* Forwarder = webkit_user_script_new_for_world(
        MessageForwarderScript().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, MessageWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(FContentManager, Forwarder);
    webkit_user_script_unref(Forwarder);
    WebKitUserScript* Shim =
        webkit_user_script_new(WebViewShimScript().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(FContentManager, Shim);
    webkit_user_script_unref(Shim);
    FMediaBase = OpenMediaEndpoint(this);
    if (!FMediaBase.empty()) {
        WebKitUserScript* Media = webkit_user_script_new(
            MediaAddressScript(FMediaBase).c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
            WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(FContentManager, Media);
        webkit_user_script_unref(Media);
    }

    FWebKitSettings = webkit_settings_new();
    // Local pages may read other local addresses (absolute file:/// addresses
    // inside pages are sent to the application's scheme by the extension).
    g_object_set(FWebKitSettings, "enable-javascript", TRUE, "enable-javascript-markup", TRUE,
                 "enable-developer-extras", TRUE, "allow-file-access-from-file-urls", TRUE,
                 "allow-universal-access-from-file-urls", TRUE, "enable-media-stream", TRUE,
                 "javascript-can-open-windows-automatically", TRUE, nullptr);

    FView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", Context->Context,
                                         "user-content-manager", FContentManager, "settings", FWebKitSettings,
                                         nullptr));
    g_object_ref_sink(FView);
    g_object_set_data(G_OBJECT(FView), ViewKey, this);
    FHost = ViewHostNew();
    g_object_ref_sink(FHost);
    gtk_container_add(GTK_CONTAINER(FHost), GTK_WIDGET(FView));
    gtk_container_add(FParent, FHost);
    if (gtk_widget_get_parent(FHost) != GTK_WIDGET(FParent)) {
        g_object_set_data(G_OBJECT(FView), ViewKey, nullptr);
        gtk_widget_destroy(FHost);
        g_object_unref(FHost);
        g_object_unref(FView);
        FHost = nullptr;
        FView = nullptr;
        FClosed = true;
        return false;
    }
    gtk_widget_show(GTK_WIDGET(FView));
    gtk_widget_show(FHost);
    FCancellable = g_cancellable_new();
    ConnectSignals();
    Toplevel(gtk_widget_get_toplevel(FHost));
    GrantLocalFileNavigation();
    return true;
}

void TWebView::ConnectSignals() {
    GObject* View = G_OBJECT(FView);
    g_signal_connect(View, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(View, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(View, "load-failed-with-tls-errors", G_CALLBACK(OnLoadFailedWithTlsErrors), this);
    g_signal_connect(View, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(View, "notify::uri", G_CALLBACK(OnUriChanged), this);
    g_signal_connect(View, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(View, "notify::zoom-level", G_CALLBACK(OnZoomChanged), this);
    g_signal_connect(View, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(View, "close", G_CALLBACK(OnClose), this);
    g_signal_connect(View, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(View, "permission-request", G_CALLBACK(OnPermissionRequest), this);
    g_signal_connect(View, "query-permission-state", G_CALLBACK(OnQueryPermissionState), this);
    g_signal_connect(View, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
    g_signal_connect(View, "notify::is-web-process-responsive", G_CALLBACK(OnResponsivenessChanged), this);
    g_signal_connect(View, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(View, "enter-fullscreen", G_CALLBACK(OnEnterFullscreen), this);
    g_signal_connect(View, "leave-fullscreen", G_CALLBACK(OnLeaveFullscreen), this);
    g_signal_connect(View, "user-message-received", G_CALLBACK(OnUserMessage), this);
    g_signal_connect(View, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(View, "key-release-event", G_CALLBACK(OnKey), this);
    g_signal_connect(View, "scroll-event", G_CALLBACK(OnScroll), this);
    g_signal_connect(View, "focus-in-event", G_CALLBACK(OnFocusIn), this);
    g_signal_connect(View, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    g_signal_connect(View, "drag-data-received", G_CALLBACK(OnDragDataReceived), this);
    g_signal_connect(View, "drag-drop", G_CALLBACK(OnDragDrop), this);
    g_signal_connect(webkit_web_view_get_back_forward_list(FView), "changed", G_CALLBACK(OnHistoryChanged),
                     this);
    g_signal_connect(FHost, "hierarchy-changed", G_CALLBACK(OnHierarchyChanged), this);
    g_signal_connect(FHost, "destroy", G_CALLBACK(OnHostDestroyed), this);
}

void TWebView::DisconnectAll() {
    if (FView) {
        g_signal_handlers_disconnect_by_data(FView, this);
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(FView), this);
        g_object_set_data(G_OBJECT(FView), ViewKey, nullptr);
    }
    if (FHost)
        g_signal_handlers_disconnect_by_data(FHost, this);
    if (FContentManager)
        g_signal_handlers_disconnect_by_data(FContentManager, this);
    Toplevel(nullptr);
}

// WebKit lets a page navigate to a file: address only after its view loaded
// one through the API. A load of an empty document at file:/// that is stopped
// at once gives that leave without leaving any page or history entry; the
// navigation itself is then sent to the application's scheme.
void TWebView::GrantLocalFileNavigation() {
    webkit_web_view_load_html(FView, "", "file:///");
    webkit_web_view_stop_loading(FView);
}

HRESULT TWebView::Close() {
    if (FClosed)
        return S_OK;
    // Keep this object alive until the end, whatever the released handlers do.
    const TComPtr<TWebView> Keep(this);
    CloseInternal();
    return S_OK;
}

namespace {

struct TRetiredWidgets {
    GtkWidget* Host;
    WebKitWebView* View;
};

gboolean DestroyRetiredWidgets(gpointer Data) {
    std::unique_ptr<TRetiredWidgets> Retired(static_cast<TRetiredWidgets*>(Data));
    if (Retired->View) {
        // The content process of a view ends with it (each view has its own).
        // One that showed an element full screen and outlives its view would
        // also make WebKitGTK (2.50) crash later in this process.
        webkit_web_view_terminate_web_process(Retired->View);
    }
    gtk_widget_destroy(Retired->Host); // takes the web view with it
    g_object_unref(Retired->Host);
    if (Retired->View)
        g_object_unref(Retired->View);
    return G_SOURCE_REMOVE;
}

} // namespace

void TWebView::RetireWidgets(GtkWidget* Host, WebKitWebView* View) {
    g_idle_add_full(G_PRIORITY_HIGH_IDLE, DestroyRetiredWidgets, new TRetiredWidgets{Host, View}, nullptr);
}

void TWebView::CloseInternal() {
    FClosed = true;
    CloseMediaEndpoint(this);
    if (FCancellable)
        g_cancellable_cancel(FCancellable);
    DisconnectAll();
    if (FContentManager)
        webkit_user_content_manager_unregister_script_message_handler_in_world(
            FContentManager, MessageHandlerName, MessageWorld);
    if (FView)
        g_object_set_data(G_OBJECT(FView), ViewKey, nullptr);
    if (FHost) {
        // A close may come from a handler of one of WebKit's own signals
        // (a script dialog, full screen, a resource request), which must not
        // see its view destroyed under it: the widgets leave their parent now
        // (which may go away with its owner at once) and are destroyed from
        // the main loop.
        if (GtkWidget* Parent = gtk_widget_get_parent(FHost))
            gtk_container_remove(GTK_CONTAINER(Parent), FHost);
        RetireWidgets(FHost, FView);
        FHost = nullptr;
        FView = nullptr;
    } else if (FView) {
        g_object_unref(FView);
        FView = nullptr;
    }
    FNavigationStarting.Clear();
    FContentLoading.Clear();
    FSourceChanged.Clear();
    FHistoryChanged.Clear();
    FNavigationCompleted.Clear();
    FFrameNavigationStarting.Clear();
    FFrameNavigationCompleted.Clear();
    FScriptDialogOpening.Clear();
    FPermissionRequested.Clear();
    FProcessFailed.Clear();
    FNewWindowRequested.Clear();
    FDocumentTitleChanged.Clear();
    FContainsFullScreenElementChanged.Clear();
    FWebResourceRequested.Clear();
    FWebMessageReceived.Clear();
    FWindowCloseRequested.Clear();
    FFilesDropped.Clear();
    FZoomFactorChanged.Clear();
    FMoveFocusRequested.Clear();
    FGotFocus.Clear();
    FLostFocus.Clear();
    FAcceleratorKeyPressed.Clear();
}

void TWebView::OnHostDestroyed(GtkWidget*, TWebView* Self) {
    // The parent window went away with our widgets: the view is over.
    if (!Self->FClosed)
        Self->Close();
}

void TWebView::Toplevel(GtkWidget* NewToplevel) {
    if (NewToplevel && !gtk_widget_is_toplevel(NewToplevel))
        NewToplevel = nullptr;
    if (NewToplevel == FToplevel)
        return;
    if (FToplevel) {
        g_signal_handlers_disconnect_by_data(FToplevel, this);
        g_object_remove_weak_pointer(G_OBJECT(FToplevel), reinterpret_cast<gpointer*>(&FToplevel));
    }
    FToplevel = NewToplevel;
    if (FToplevel) {
        g_object_add_weak_pointer(G_OBJECT(FToplevel), reinterpret_cast<gpointer*>(&FToplevel));
        g_signal_connect(FToplevel, "focus", G_CALLBACK(OnToplevelFocus), this);
        g_signal_connect(FToplevel, "key-press-event", G_CALLBACK(OnToplevelKey), this);
    }
}

void TWebView::OnHierarchyChanged(GtkWidget* Host, GtkWidget*, TWebView* Self) {
    Self->Toplevel(gtk_widget_get_toplevel(Host));
}

// ---------------------------------------------------------------------------
// The controller's place in the parent window
// ---------------------------------------------------------------------------

HRESULT TWebView::get_IsVisible(BOOL* IsVisible) {
    return ReturnValue(ToBOOL(FVisible), IsVisible);
}

HRESULT TWebView::put_IsVisible(BOOL IsVisible) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    const bool Visible = IsVisible != 0;
    // Hiding the view takes the keyboard from the page; showing it again
    // gives it back when the page had it.
    if (!Visible && FVisible)
        FFocusedWhenHidden = gtk_widget_has_focus(GTK_WIDGET(FView));
    FVisible = Visible;
    gtk_widget_set_visible(FHost, FVisible);
    if (Visible && FFocusedWhenHidden) {
        FFocusedWhenHidden = false;
        gtk_widget_grab_focus(GTK_WIDGET(FView));
    }
    return S_OK;
}

HRESULT TWebView::get_Bounds(RECT* Bounds) {
    return ReturnValue(FBounds, Bounds);
}

HRESULT TWebView::put_Bounds(RECT Bounds) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    FBounds = Bounds;
    ViewHostSetBounds(FHost, Bounds.left, Bounds.top, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top);
    return S_OK;
}

HRESULT TWebView::get_ParentWindow(void** ParentWindow) {
    return ReturnValue(static_cast<void*>(FParent), ParentWindow);
}

HRESULT TWebView::NotifyParentWindowPositionChanged() {
    return Alive() ? S_OK : HRESULT_ERROR_INVALID_STATE;
}

HRESULT TWebView::get_CoreWebView2(ICoreWebView2** CoreWebView2) {
    if (!CoreWebView2)
        return E_POINTER;
    *CoreWebView2 = nullptr;
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    *CoreWebView2 = AsView();
    AddRef();
    return S_OK;
}

} // namespace Norvane::Engine
