#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "engine/webkitgtk/Keys.h"
#include "engine/webkitgtk/PageScripts.h"
#include "engine/webkitgtk/ViewHost.h"
#include "engine/webkitgtk/WebResources.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdkkeysyms.h>

#include <cerrno>
#include <cmath>
#include <memory>

#include <signal.h>
#include <unistd.h>

namespace Norvane::Engine {

using namespace ViewInternal;

namespace {

COREWEBVIEW2_WEB_ERROR_STATUS ErrorStatusOf(const GError* Error) {
    if (!Error)
        return COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    if (Error->domain == WEBKIT_NETWORK_ERROR && Error->code == WEBKIT_NETWORK_ERROR_CANCELLED)
        return COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
    if (Error->domain == WEBKIT_POLICY_ERROR)
        return COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
    if (Error->domain == G_RESOLVER_ERROR)
        return COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED;
    if (Error->domain == G_TLS_ERROR)
        return COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID;
    if (Error->domain == G_IO_ERROR) {
        switch (Error->code) {
        case G_IO_ERROR_CANCELLED:
            return COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
        case G_IO_ERROR_TIMED_OUT:
            return COREWEBVIEW2_WEB_ERROR_STATUS_TIMEOUT;
        case G_IO_ERROR_CONNECTION_REFUSED:
            return COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT;
        case G_IO_ERROR_HOST_NOT_FOUND:
            return COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED;
        case G_IO_ERROR_HOST_UNREACHABLE:
        case G_IO_ERROR_NETWORK_UNREACHABLE:
            return COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE;
        case G_IO_ERROR_CONNECTION_CLOSED:
            return COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET;
        case G_IO_ERROR_NOT_CONNECTED:
            return COREWEBVIEW2_WEB_ERROR_STATUS_DISCONNECTED;
        default:
            break;
        }
    }
    return COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
}

// Whether WebKit's own load-failed handling shows its error page for Error.
bool EngineShowsErrorPage(const GError* Error) {
    if (!Error)
        return false;
    return !(Error->domain == WEBKIT_NETWORK_ERROR && Error->code == WEBKIT_NETWORK_ERROR_CANCELLED) &&
           !(Error->domain == WEBKIT_POLICY_ERROR &&
             Error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) &&
           !(Error->domain == WEBKIT_PLUGIN_ERROR && Error->code == WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

// ---- Asynchronous jobs ----

struct TScriptJob {
    TComPtr<TWebView> View;
    TComPtr<ICoreWebView2ExecuteScriptCompletedHandler> Handler;
};

struct TCaptureJob {
    TComPtr<TWebView> View;
    TComPtr<IStream> Stream;
    TComPtr<ICoreWebView2CapturePreviewCompletedHandler> Handler;
    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT Format;
};

HRESULT WriteAll(IStream* Stream, const void* Data, std::size_t Size) {
    const auto* Bytes = static_cast<const std::uint8_t*>(Data);
    while (Size > 0) {
        const auto Chunk = static_cast<ULONG>(std::min<std::size_t>(Size, 1u << 30));
        ULONG Written = 0;
        const HRESULT Result = Stream->Write(Bytes, Chunk, &Written);
        if (FAILED(Result))
            return Result;
        if (Written == 0)
            return STG_E_MEDIUMFULL;
        Bytes += Written;
        Size -= Written;
    }
    return S_OK;
}

struct TPngWriter {
    IStream* Stream;
    HRESULT Result;
};

cairo_status_t WritePngChunk(void* Closure, const unsigned char* Data, unsigned int Length) {
    auto* Writer = static_cast<TPngWriter*>(Closure);
    Writer->Result = WriteAll(Writer->Stream, Data, Length);
    return SUCCEEDED(Writer->Result) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

HRESULT EncodeSnapshot(cairo_surface_t* Surface, COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT Format,
                       IStream* Stream) {
    if (Format == COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG) {
        TPngWriter Writer{Stream, S_OK};
        const cairo_status_t Status = cairo_surface_write_to_png_stream(Surface, WritePngChunk, &Writer);
        if (FAILED(Writer.Result))
            return Writer.Result;
        return Status == CAIRO_STATUS_SUCCESS ? S_OK : E_FAIL;
    }
    const int Width = cairo_image_surface_get_width(Surface);
    const int Height = cairo_image_surface_get_height(Surface);
    if (Width <= 0 || Height <= 0)
        return E_FAIL;
    GdkPixbuf* Pixbuf = gdk_pixbuf_get_from_surface(Surface, 0, 0, Width, Height);
    if (!Pixbuf)
        return E_FAIL;
    gchar* Buffer = nullptr;
    gsize Size = 0;
    const gboolean Saved =
        gdk_pixbuf_save_to_buffer(Pixbuf, &Buffer, &Size, "jpeg", nullptr, "quality", "90", nullptr);
    g_object_unref(Pixbuf);
    if (!Saved)
        return E_FAIL;
    const HRESULT Result = WriteAll(Stream, Buffer, Size);
    g_free(Buffer);
    return Result;
}

} // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

TWebView* TWebView::FromInterface(ICoreWebView2* View) {
    if (!View)
        return nullptr;
    void* Object = nullptr;
    if (FAILED(View->QueryInterface(PrivateIid, &Object)) || !Object)
        return nullptr;
    auto* Result = static_cast<TWebView*>(Object);
    Result->Release(); // the caller holds View
    return Result;
}

TWebView* TWebView::FromWebKitView(WebKitWebView* View) {
    return View ? static_cast<TWebView*>(g_object_get_data(G_OBJECT(View), ViewKey)) : nullptr;
}

TWebView::TWebView(TEnvironment* Environment, GtkContainer* Parent)
    : FEnvironment(Environment), FParent(Parent) {
    g_object_ref(FParent);
}

TWebView::~TWebView() {
    if (!FClosed)
        CloseInternal();
    for (auto& Entry : FUserScripts)
        for (WebKitUserScript* Script : Entry.second)
            webkit_user_script_unref(Script);
    if (FContentManager)
        g_object_unref(FContentManager);
    if (FWebKitSettings)
        g_object_unref(FWebKitSettings);
    if (FCancellable)
        g_object_unref(FCancellable);
    g_object_unref(FParent);
}

HRESULT TWebView::QueryInterface(const IID& Riid, void** Object) {
    if (Object && Riid == PrivateIid) {
        *Object = this;
        AddRef();
        return S_OK;
    }
    return TComObject::QueryInterface(Riid, Object);
}

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

std::string TWebView::PageUri() const {
    const char* Raw = FView ? webkit_web_view_get_uri(FView) : nullptr;
    if (!Raw || !*Raw || (!FNavigation.AnyNavigation() && SameText(Raw, TNavigationTracker::GrantAddress)))
        return "about:blank";
    return ToPageAddress(Raw);
}

// ---------------------------------------------------------------------------
// Navigation notifications
// ---------------------------------------------------------------------------

namespace {

// Whether Next differs from Current in its fragment only.
bool FragmentChangeOnly(const std::string& Current, const std::string& Next) {
    auto Base = [](const std::string& Uri) { return Uri.substr(0, Uri.find('#')); };
    return !Current.empty() && Base(Current) == Base(Next);
}

// Addresses a page's own navigation never has, whose documents frames get
// (WebKit keeps the page from moving itself to a data: address).
bool FrameOnlyAddress(const std::string& Uri) {
    return Uri.starts_with("about:") || Uri.starts_with("data:") || Uri.starts_with("javascript:");
}

constexpr guint FrameQuestionTimeoutMs = 1000;

} // namespace

bool TWebView::TakeHostRequest(const std::string& Uri) {
    const auto Found = std::find(FHostRequests.begin(), FHostRequests.end(), Uri);
    if (Found == FHostRequests.end())
        return false;
    FHostRequests.erase(FHostRequests.begin(), Found + 1); // earlier ones were replaced
    return true;
}

// Both the address as asked and as WebKit wrote it (the view shows the load's
// address as soon as it is asked for), which is what its decision names.
void TWebView::AwaitHostRequest(const std::string& Uri) {
    FHostRequests.push_back(Uri);
    if (const char* Shown = webkit_web_view_get_uri(FView); Shown && Uri != Shown)
        FHostRequests.push_back(Shown);
    while (FHostRequests.size() > 16)
        FHostRequests.pop_front();
}

void TWebView::LetNavigationGo(const std::string& Uri, bool UserInitiated) {
    FPolicyUri = Uri;
    FPolicyUserGesture = UserInitiated;
}

gboolean TWebView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* Decision,
                                  WebKitPolicyDecisionType Type, TWebView* Self) {
    if (Type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION || !Self->Alive())
        return FALSE;
    WebKitNavigationAction* Action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(Decision));
    WebKitURIRequest* Request = webkit_navigation_action_get_request(Action);
    const char* Raw = webkit_uri_request_get_uri(Request);
    const std::string Uri = Raw ? Raw : "";
    const bool Redirect = webkit_navigation_action_is_redirect(Action);
    const bool Gesture = webkit_navigation_action_is_user_gesture(Action);
    if (Tracing())
        g_printerr("[engine] navigation policy uri=%s gesture=%d redirect=%d state=%d\n", Uri.c_str(),
                   Gesture, Redirect, static_cast<int>(Self->FNavigation.State()));
    const bool Granting = Self->FNavigation.State() == TNavigationTracker::EState::Granting &&
                          Uri == TNavigationTracker::GrantAddress;
    if (IsLocalFileAddress(Uri.c_str()) && !Granting && !Self->FEnvironment->Context()->HasExtension) {
        // The extension sends such a load to the application's scheme; without
        // it WebKit would read the file itself, past the host's handler.
        webkit_policy_decision_ignore(Decision);
        return TRUE;
    }
    if (Granting) {
        Self->LetNavigationGo(Uri, false);
        return FALSE;
    }
    SoupMessageHeaders* Headers = webkit_uri_request_get_http_headers(Request);
    if (!Redirect && Self->TakeHostRequest(Uri)) {
        Self->DecideNavigation(Decision, Uri, false, false, HeaderLines(Headers));
        return TRUE;
    }
    const bool SameDocument =
        Uri.find('#') != std::string::npos && FragmentChangeOnly(Self->FCommittedUri, Uri) &&
        webkit_navigation_action_get_navigation_type(Action) != WEBKIT_NAVIGATION_TYPE_RELOAD;
    if (Redirect) {
        // Frames' redirects come here too; the request says what it fetches
        // when the address is trustworthy, else the page's load is the one in flight.
        const char* Destination = Headers ? soup_message_headers_get_one(Headers, "Sec-Fetch-Dest") : nullptr;
        const bool Provisional = Self->FNavigation.State() == TNavigationTracker::EState::Provisional;
        if (Provisional && (!Destination || SameText(Destination, "document"))) {
            Self->DecideNavigation(Decision, Uri, false, true, HeaderLines(Headers));
            return TRUE;
        }
    } else if (!SameDocument && !FrameOnlyAddress(Uri)) {
        Self->AskWhetherFrameNavigates(Decision, Uri, Gesture, HeaderLines(Headers));
        return TRUE;
    }
    Self->LetNavigationGo(Uri, Gesture);
    return FALSE;
}

void TWebView::DecideNavigation(WebKitPolicyDecision* Decision, const std::string& Uri, bool UserInitiated,
                                bool Redirect, const std::string& Headers) {
    const TComPtr<TWebView> Keep(this);
    const std::string Page = ToPageAddress(Uri);
    const UINT64 Id = Redirect ? FNavigation.DecideRedirect(Page) : FNavigation.Decide(Page);
    auto Args = MakeComObject<TNavigationStartingEventArgs>(Page, UserInitiated, Redirect, Id, Headers);
    FNavigationStarting.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
    if (!Alive()) {
        webkit_policy_decision_ignore(Decision);
        return;
    }
    if (Args->Cancelled()) {
        // Nothing has been sent: the engine drops the navigation here.
        webkit_policy_decision_ignore(Decision);
        if (Redirect)
            webkit_web_view_stop_loading(FView);
        Report(FNavigation.Cancel());
        return;
    }
    LetNavigationGo(Uri, UserInitiated);
    webkit_policy_decision_use(Decision);
}

// A navigation decision held while the page tells whether a frame waits for
// its address; answered after a second at the latest (a content process that
// waits for the decision itself cannot answer).
struct TWebView::TFrameQuestion {
    TComPtr<TWebView> View;
    WebKitPolicyDecision* Decision;
    std::string Uri;
    bool UserInitiated;
    std::string Headers;
    UINT64 CommitSerial;
    guint Timeout = 0;
    bool Answered = false;
    ~TFrameQuestion() { g_object_unref(Decision); }
};

void TWebView::AskWhetherFrameNavigates(WebKitPolicyDecision* Decision, const std::string& Uri,
                                        bool UserInitiated, const std::string& Headers) {
    auto Question = std::make_shared<TFrameQuestion>(TComPtr<TWebView>(this),
                                                     WEBKIT_POLICY_DECISION(g_object_ref(Decision)), Uri,
                                                     UserInitiated, Headers, FCommitSerial);
    Question->Timeout = g_timeout_add_full(
        G_PRIORITY_DEFAULT, FrameQuestionTimeoutMs,
        [](gpointer Data) {
            TFrameQuestion& Asked = **static_cast<std::shared_ptr<TFrameQuestion>*>(Data);
            Asked.Timeout = 0;
            Asked.View->AnswerFrameQuestion(Asked, true);
            return G_SOURCE_REMOVE;
        },
        new std::shared_ptr<TFrameQuestion>(Question),
        [](gpointer Data) { delete static_cast<std::shared_ptr<TFrameQuestion>*>(Data); });
    const std::string Script = std::string("(") + WaitingFrameScript() + ")(" + ToJsonString(Uri) + ")";
    webkit_web_view_evaluate_javascript(FView, Script.c_str(), static_cast<gssize>(Script.size()),
                                        MessageWorld, nullptr, nullptr, OnFrameAnswer,
                                        new std::shared_ptr<TFrameQuestion>(Question));
}

void TWebView::OnFrameAnswer(GObject* Source, GAsyncResult* Result, gpointer Data) {
    const std::unique_ptr<std::shared_ptr<TFrameQuestion>> Question(
        static_cast<std::shared_ptr<TFrameQuestion>*>(Data));
    if ((*Question)->Timeout)
        g_source_remove(std::exchange((*Question)->Timeout, 0));
    GError* Error = nullptr;
    JSCValue* Value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(Source), Result, &Error);
    // Without an answer the navigation goes unannounced; should it be the
    // page's, its start reports it.
    bool FrameWaits = true;
    if (Value) {
        FrameWaits = jsc_value_to_boolean(Value);
        g_object_unref(Value);
    }
    if (Error)
        g_error_free(Error);
    (*Question)->View->AnswerFrameQuestion(**Question, FrameWaits);
}

void TWebView::AnswerFrameQuestion(TFrameQuestion& Question, bool FrameWaits) {
    if (std::exchange(Question.Answered, true))
        return;
    if (Tracing())
        g_printerr("[engine] navigation policy uri=%s frame=%d\n", Question.Uri.c_str(), FrameWaits);
    if (!Alive()) {
        webkit_policy_decision_ignore(Question.Decision);
    } else if (FrameWaits || Question.CommitSerial != FCommitSerial) {
        // A frame's, or one of the document that was left meanwhile.
        LetNavigationGo(Question.Uri, Question.UserInitiated);
        webkit_policy_decision_use(Question.Decision);
    } else {
        DecideNavigation(Question.Decision, Question.Uri, Question.UserInitiated, false, Question.Headers);
    }
}

void TWebView::Report(const TNavigationTracker::TReport& Report) {
    using EReport = TNavigationTracker::EReport;
    switch (Report.Kind) {
    case EReport::None:
        return;
    case EReport::Starting:
    case EReport::RedirectStarting: {
        // A load or redirect that no decision announced: reported as it
        // happens, and a cancel stops it.
        const bool Redirect = Report.Kind == EReport::RedirectStarting;
        auto Args = MakeComObject<TNavigationStartingEventArgs>(
            FNavigation.Uri(), !Redirect && FPolicyUserGesture, Redirect, Report.Id, std::string());
        FNavigationStarting.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
        if (Args->Cancelled() && Alive()) {
            FNavigation.CancelLate();
            webkit_web_view_stop_loading(FView);
        }
        return;
    }
    case EReport::ContentLoading: {
        auto Args = MakeComObject<TContentLoadingEventArgs>(Report.ErrorPage, Report.Id);
        FContentLoading.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
        return;
    }
    case EReport::Completed: {
        auto Args = MakeComObject<TNavigationCompletedEventArgs>(
            Report.Success, Report.Success ? COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN : Report.Error, Report.Id);
        FNavigationCompleted.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
        return;
    }
    }
}

// The main frame's loads, in WebView2 terms: NavigationStarting at the
// decision (above), SourceChanged and ContentLoading at the commit,
// NavigationCompleted at the end. The engine's error page for a failed load
// runs a load of its own, reported only by ContentLoading(IsErrorPage).
void TWebView::OnLoadChanged(WebKitWebView* View, WebKitLoadEvent Event, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    const char* Raw = webkit_web_view_get_uri(View);
    if (Tracing())
        g_printerr("[engine] load-changed %d uri=%s policy=%s state=%d\n", static_cast<int>(Event),
                   Raw ? Raw : "(null)", Self->FPolicyUri.c_str(),
                   static_cast<int>(Self->FNavigation.State()));
    if (!Self->Alive())
        return;
    switch (Event) {
    case WEBKIT_LOAD_STARTED:
        // The view's own address still is the last document's here.
        Self->FApiRequestUri.clear();
        Self->Report(Self->FNavigation.Started(ToPageAddress(Self->FPolicyUri)));
        break;
    case WEBKIT_LOAD_REDIRECTED:
        Self->Report(Self->FNavigation.Redirected(ToPageAddress(Raw ? Raw : "")));
        break;
    case WEBKIT_LOAD_COMMITTED: {
        if (Self->FNavigation.State() == TNavigationTracker::EState::Granting)
            return;
        ++Self->FCommitSerial;
        Self->FCommittedUri = Raw ? Raw : "";
        const std::string Uri = Self->PageUri();
        if (Uri != Self->FLastSource) {
            Self->FLastSource = Uri;
            auto Args = MakeComObject<TSourceChangedEventArgs>(true);
            Self->FSourceChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
        }
        if (Self->Alive())
            Self->Report(Self->FNavigation.Committed());
        break;
    }
    case WEBKIT_LOAD_FINISHED:
        Self->Report(Self->FNavigation.Finished());
        break;
    }
}

// WebKit emits FINISHED right after every load-failed.
gboolean TWebView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* FailingUri, GError* Error,
                                TWebView* Self) {
    if (Tracing())
        g_printerr("[engine] load-failed uri=%s error=%s\n", FailingUri ? FailingUri : "(null)",
                   Error ? Error->message : "");
    const bool ErrorPage = Self->FBuiltInErrorPage && EngineShowsErrorPage(Error);
    if (!Self->FNavigation.Failed(ToPageAddress(FailingUri ? FailingUri : ""), ErrorStatusOf(Error),
                                  ErrorPage))
        return TRUE;                               // not the navigation's: no error page for it
    return Self->FBuiltInErrorPage ? FALSE : TRUE; // without the error page the view stays as it is
}

gboolean TWebView::OnLoadFailedWithTlsErrors(WebKitWebView*, gchar*, GTlsCertificate*,
                                             GTlsCertificateFlags Errors, TWebView* Self) {
    if (Errors & G_TLS_CERTIFICATE_EXPIRED)
        Self->FNavigation.NoteError(COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED);
    else if (Errors & G_TLS_CERTIFICATE_BAD_IDENTITY)
        Self->FNavigation.NoteError(COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_COMMON_NAME_IS_INCORRECT);
    else if (Errors & G_TLS_CERTIFICATE_REVOKED)
        Self->FNavigation.NoteError(COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_REVOKED);
    else
        Self->FNavigation.NoteError(COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID);
    return FALSE; // load-failed follows
}

// The view's address also changes while a load is only being asked for; a
// change that no load follows is a move inside the document (a fragment,
// history.pushState), reported as SourceChanged(IsNewDocument = FALSE).
void TWebView::OnUriChanged(GObject*, GParamSpec*, TWebView* Self) {
    const char* Raw = Self->FView ? webkit_web_view_get_uri(Self->FView) : nullptr;
    if (Tracing())
        g_printerr("[engine] notify::uri %s state=%d\n", Raw ? Raw : "(null)",
                   static_cast<int>(Self->FNavigation.State()));
    if (!Self->Alive() || !Raw || Self->FNavigation.State() == TNavigationTracker::EState::Provisional)
        return; // a provisional address; the commit reports the new document
    const std::string Address = Raw;
    if (Address == Self->FApiRequestUri)
        return; // a load asked for through this interface
    if (Address == Self->FPolicyUri && !FragmentChangeOnly(Self->FCommittedUri, Address))
        return; // a load the page asked for
    const std::string Uri = Self->PageUri();
    Self->FCommittedUri = Address;
    if (Uri == Self->FLastSource)
        return;
    const TComPtr<TWebView> Keep(Self);
    Self->FLastSource = Uri;
    auto Args = MakeComObject<TSourceChangedEventArgs>(false);
    Self->FSourceChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
}

void TWebView::OnTitleChanged(GObject*, GParamSpec*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FDocumentTitleChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), nullptr); });
}

void TWebView::OnHistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer,
                                TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FHistoryChanged.Fire([&](auto* H) { H->Invoke(Self->AsView(), nullptr); });
}

// ---------------------------------------------------------------------------
// Messages between page and host
// ---------------------------------------------------------------------------

void TWebView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* Result, TWebView* Self) {
    if (!Self->Alive() || !Self->FWebMessageEnabled)
        return;
    JSCValue* Value = webkit_javascript_result_get_js_value(Result);
    if (!Value || !jsc_value_is_string(Value))
        return;
    gchar* Text = jsc_value_to_string(Value);
    const std::string Message = Text ? Text : "";
    g_free(Text);
    // Only the top document of the application may talk to the host: the
    // address this view has committed must be the application's own, and so
    // must the address the sending document reports from the message world,
    // unless it reads "about:blank" (the engine's error page for that address).
    std::string Sender, Json;
    const bool Split = SplitForwardedMessage(Message, Sender, Json);
    const bool SenderAllowed = Split && (IsAppDocumentAddress(Sender) || Sender == "about:blank");
    if (!SenderAllowed || !Self->ShowsAppDocument()) {
        const std::string Refused = Split && !SenderAllowed ? Sender : Self->FCommittedUri;
        g_printerr("norvane-engine: refused a web message from %s\n", ToPageAddress(Refused).c_str());
        return;
    }
    const TComPtr<TWebView> Keep(Self);
    const std::string Source = ToPageAddress(IsAppDocumentAddress(Sender) ? Sender : Self->FCommittedUri);
    auto Args = MakeComObject<TWebMessageReceivedEventArgs>(Source, Json);
    Self->FWebMessageReceived.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
}

bool TWebView::ShowsAppDocument() const {
    return IsAppDocumentAddress(FCommittedUri);
}

void TWebView::DeliverToPage(const std::string& Json) {
    if (!ShowsAppDocument())
        return; // a document that is not the application's gets nothing of the host
    // As short as it can be (each text is compiled anew); on a page without
    // the channel the call throws, and the error goes nowhere.
    const std::string Script =
        std::string("chrome.webview.") + DispatchFunctionName() + "(" + ToJsonString(Json) + ")";
    webkit_web_view_evaluate_javascript(FView, Script.c_str(), static_cast<gssize>(Script.size()), nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
}

HRESULT TWebView::PostWebMessageAsJson(const char* WebMessageAsJson) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!WebMessageAsJson || !IsValidJson(WebMessageAsJson))
        return E_INVALIDARG;
    if (!FWebMessageEnabled)
        return E_ACCESSDENIED;
    DeliverToPage(WebMessageAsJson);
    return S_OK;
}

HRESULT TWebView::PostWebMessageAsString(const char* WebMessageAsString) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!WebMessageAsString)
        return E_INVALIDARG;
    if (!FWebMessageEnabled)
        return E_ACCESSDENIED;
    DeliverToPage(ToJsonString(WebMessageAsString));
    return S_OK;
}

// ---------------------------------------------------------------------------
// Requests of the application's scheme
// ---------------------------------------------------------------------------

bool TWebView::HandleSchemeRequest(WebKitURISchemeRequest* Request) {
    if (!Alive() || FWebResourceRequested.Empty() || FFilters.empty())
        return false;
    const std::string Uri = ToPageAddress(webkit_uri_scheme_request_get_uri(Request));
    const COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context =
        GuessResourceContext(webkit_uri_scheme_request_get_http_headers(Request));
    const bool Matches = std::any_of(FFilters.begin(), FFilters.end(), [&](const TFilter& Filter) {
        return (Filter.Context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL || Filter.Context == Context) &&
               MatchesUriPattern(Filter.Pattern, Uri);
    });
    if (!Matches)
        return false;
    const TComPtr<TWebView> Keep(this);
    g_object_ref(Request);
    const std::unique_ptr<WebKitURISchemeRequest, void (*)(gpointer)> Held(Request, g_object_unref);
    auto Args = MakeComObject<TWebResourceRequestedEventArgs>(MakeResourceRequest(Request), Context);
    FWebResourceRequested.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
    if (!Alive()) {
        // Closed by the handler: the load ends here.
        GError* Error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CANCELLED, "The view was closed");
        webkit_uri_scheme_request_finish_error(Request, Error);
        g_error_free(Error);
        return true;
    }
    if (!Args->IsDeferred()) {
        if (Args->Response())
            FinishWithResponse(Request, Args->Response());
        else
            FinishFromDisk(Request);
        return true;
    }
    g_object_ref(Request);
    TWebResourceRequestedEventArgs* Pending = Args.Get();
    Args->SetFinish([Request, Pending] {
        if (Pending->Response())
            FinishWithResponse(Request, Pending->Response());
        else
            FinishFromDisk(Request);
        g_object_unref(Request);
    });
    Args->DispatchDone();
    return true;
}

// ---------------------------------------------------------------------------
// ICoreWebView2Controller
// ---------------------------------------------------------------------------

HRESULT TWebView::get_IsVisible(BOOL* IsVisible) {
    return ReturnValue(ToBOOL(FVisible), IsVisible);
}

HRESULT TWebView::put_IsVisible(BOOL IsVisible) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    FVisible = IsVisible != 0;
    gtk_widget_set_visible(FHost, FVisible);
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

HRESULT TWebView::get_ZoomFactor(double* ZoomFactor) {
    if (!ZoomFactor)
        return E_POINTER;
    *ZoomFactor = FView ? webkit_web_view_get_zoom_level(FView) : FZoom;
    return S_OK;
}

HRESULT TWebView::put_ZoomFactor(double ZoomFactor) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!(ZoomFactor > 0.0) || !std::isfinite(ZoomFactor))
        return E_INVALIDARG;
    SetZoom(ZoomFactor);
    return S_OK;
}

HRESULT TWebView::add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* Handler,
                                        EventRegistrationToken* Token) {
    return FZoomFactorChanged.Add(Handler, Token);
}
HRESULT TWebView::remove_ZoomFactorChanged(EventRegistrationToken Token) {
    return FZoomFactorChanged.Remove(Token);
}

HRESULT TWebView::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON Reason) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (Reason < COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC ||
        Reason > COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS)
        return E_INVALIDARG;
    if (Reason == COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC) {
        gtk_widget_grab_focus(GTK_WIDGET(FView));
        return S_OK;
    }
    // Coming in by Tab or Shift+Tab: the view takes the focus and the page's
    // first or last element in tab order gets it (run in the message world,
    // where the page's scripts cannot change what it calls).
    gtk_widget_grab_focus(GTK_WIDGET(FView));
    const std::string Script = std::string("(") + FocusEdgeScript() + ")(" +
                               (Reason == COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT ? "true" : "false") + ")";
    webkit_web_view_evaluate_javascript(FView, Script.c_str(), static_cast<gssize>(Script.size()),
                                        MessageWorld, nullptr, nullptr, nullptr, nullptr);
    return S_OK;
}

HRESULT TWebView::add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* Handler,
                                         EventRegistrationToken* Token) {
    return FMoveFocusRequested.Add(Handler, Token);
}
HRESULT TWebView::remove_MoveFocusRequested(EventRegistrationToken Token) {
    return FMoveFocusRequested.Remove(Token);
}
HRESULT TWebView::add_GotFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                               EventRegistrationToken* Token) {
    return FGotFocus.Add(Handler, Token);
}
HRESULT TWebView::remove_GotFocus(EventRegistrationToken Token) {
    return FGotFocus.Remove(Token);
}
HRESULT TWebView::add_LostFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                                EventRegistrationToken* Token) {
    return FLostFocus.Add(Handler, Token);
}
HRESULT TWebView::remove_LostFocus(EventRegistrationToken Token) {
    return FLostFocus.Remove(Token);
}
HRESULT TWebView::add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* Handler,
                                            EventRegistrationToken* Token) {
    return FAcceleratorKeyPressed.Add(Handler, Token);
}
HRESULT TWebView::remove_AcceleratorKeyPressed(EventRegistrationToken Token) {
    return FAcceleratorKeyPressed.Remove(Token);
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

// ---------------------------------------------------------------------------
// ICoreWebView2
// ---------------------------------------------------------------------------

HRESULT TWebView::get_Settings(ICoreWebView2Settings** Settings) {
    if (!Settings)
        return E_POINTER;
    *Settings = static_cast<ICoreWebView2Settings*>(this);
    AddRef();
    return S_OK;
}

HRESULT TWebView::get_Source(char** Uri) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    return ReturnText(PageUri(), Uri);
}

HRESULT TWebView::Navigate(const char* Uri) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!Uri)
        return E_INVALIDARG;
    gchar* Scheme = g_uri_parse_scheme(Uri);
    if (!Scheme)
        return E_INVALIDARG;
    g_free(Scheme);
    const std::string Address = ToEngineAddress(Uri);
    FApiRequestUri = Address;
    webkit_web_view_load_uri(FView, Address.c_str());
    AwaitHostRequest(Address);
    return S_OK;
}

HRESULT TWebView::NavigateToString(const char* HtmlContent) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!HtmlContent)
        return E_INVALIDARG;
    FApiRequestUri = "about:blank";
    webkit_web_view_load_html(FView, HtmlContent, nullptr);
    AwaitHostRequest("about:blank");
    return S_OK;
}

#define NV_EVENT_PAIR(Name, Handler, List)                                                                   \
    HRESULT TWebView::add_##Name(Handler* NewHandler, EventRegistrationToken* Token) {                       \
        return List.Add(NewHandler, Token);                                                                  \
    }                                                                                                        \
    HRESULT TWebView::remove_##Name(EventRegistrationToken Token) {                                          \
        return List.Remove(Token);                                                                           \
    }

NV_EVENT_PAIR(NavigationStarting, ICoreWebView2NavigationStartingEventHandler, FNavigationStarting)
NV_EVENT_PAIR(ContentLoading, ICoreWebView2ContentLoadingEventHandler, FContentLoading)
NV_EVENT_PAIR(SourceChanged, ICoreWebView2SourceChangedEventHandler, FSourceChanged)
NV_EVENT_PAIR(HistoryChanged, ICoreWebView2HistoryChangedEventHandler, FHistoryChanged)
NV_EVENT_PAIR(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler, FNavigationCompleted)
NV_EVENT_PAIR(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler, FFrameNavigationStarting)
NV_EVENT_PAIR(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler,
              FFrameNavigationCompleted)
NV_EVENT_PAIR(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler, FScriptDialogOpening)
NV_EVENT_PAIR(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler, FPermissionRequested)
NV_EVENT_PAIR(ProcessFailed, ICoreWebView2ProcessFailedEventHandler, FProcessFailed)
NV_EVENT_PAIR(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler, FWebMessageReceived)
NV_EVENT_PAIR(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler, FNewWindowRequested)
NV_EVENT_PAIR(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler, FDocumentTitleChanged)
NV_EVENT_PAIR(ContainsFullScreenElementChanged, ICoreWebView2ContainsFullScreenElementChangedEventHandler,
              FContainsFullScreenElementChanged)
NV_EVENT_PAIR(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler, FWebResourceRequested)
NV_EVENT_PAIR(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler, FWindowCloseRequested)

#undef NV_EVENT_PAIR

HRESULT TWebView::AddScriptToExecuteOnDocumentCreated(
    const char* JavaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* Handler) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!JavaScript)
        return E_INVALIDARG;
    // The application's own documents only: those of its scheme by WebKit's
    // address pattern; object-address documents they made and the top
    // "about:blank" (the error page) by a test in the script itself (a
    // pattern cannot name them).
    const std::string Pattern = AppPrefix() + "*";
    const char* const AllowList[] = {Pattern.c_str(), nullptr};
    const std::string Unpatterned = UnpatternedHostDocumentScript(JavaScript);
    const std::string Id = std::to_string(++FScriptCounter);
    FUserScripts[Id] = {
        webkit_user_script_new(JavaScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, AllowList, nullptr),
        webkit_user_script_new(Unpatterned.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr)};
    for (WebKitUserScript* Script : FUserScripts[Id])
        webkit_user_content_manager_add_script(FContentManager, Script);
    if (Handler) {
        TComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> Keep(Handler);
        RunOnUiThread([Keep, Id] { Keep->Invoke(S_OK, Id.c_str()); });
    }
    return S_OK;
}

HRESULT TWebView::RemoveScriptToExecuteOnDocumentCreated(const char* Id) {
    if (!Id)
        return E_INVALIDARG;
    const auto Found = FUserScripts.find(Id);
    if (Found == FUserScripts.end())
        return S_OK;
    for (WebKitUserScript* Script : Found->second) {
        if (FContentManager)
            webkit_user_content_manager_remove_script(FContentManager, Script);
        webkit_user_script_unref(Script);
    }
    FUserScripts.erase(Found);
    return S_OK;
}

namespace {

void ScriptEvaluated(GObject* Source, GAsyncResult* Result, gpointer Data) {
    std::unique_ptr<TScriptJob> Job(static_cast<TScriptJob*>(Data));
    GError* Error = nullptr;
    JSCValue* Value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(Source), Result, &Error);
    HRESULT Code = S_OK;
    std::string Json = "null";
    if (Error) {
        // A script that throws, or whose value has no JSON form, gives "null"
        // with success, as WebView2 does; a cancelled one (closed view) E_ABORT.
        if (g_error_matches(Error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            Code = E_ABORT;
        else if (Error->domain != WEBKIT_JAVASCRIPT_ERROR)
            Code = E_FAIL;
        g_error_free(Error);
    } else if (Value) {
        if (!jsc_value_is_undefined(Value)) {
            gchar* Text = jsc_value_to_json(Value, 0);
            if (Text)
                Json = Text;
            g_free(Text);
            jsc_context_clear_exception(jsc_value_get_context(Value));
        }
        g_object_unref(Value);
    }
    if (Job->Handler)
        Job->Handler->Invoke(Code, Json.c_str());
}

void SnapshotTaken(GObject* Source, GAsyncResult* Result, gpointer Data) {
    std::unique_ptr<TCaptureJob> Job(static_cast<TCaptureJob*>(Data));
    GError* Error = nullptr;
    cairo_surface_t* Surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(Source), Result, &Error);
    HRESULT Code = S_OK;
    if (Error) {
        Code = g_error_matches(Error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ? E_ABORT : E_FAIL;
        g_error_free(Error);
    } else if (Surface) {
        Code = EncodeSnapshot(Surface, Job->Format, Job->Stream.Get());
        cairo_surface_destroy(Surface);
    } else {
        Code = E_FAIL;
    }
    if (Job->Handler)
        Job->Handler->Invoke(Code);
}

} // namespace

HRESULT TWebView::ExecuteScript(const char* JavaScript, ICoreWebView2ExecuteScriptCompletedHandler* Handler) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!JavaScript)
        return E_INVALIDARG;
    // WebKit runs it in the page's own world as a user gesture, past the
    // page's content security policy. The value crosses to this process as a
    // copy whose object keys may come in another order (JSON objects have none).
    auto* Job =
        new TScriptJob{TComPtr<TWebView>(this), TComPtr<ICoreWebView2ExecuteScriptCompletedHandler>(Handler)};
    webkit_web_view_evaluate_javascript(FView, JavaScript, -1, nullptr, nullptr, FCancellable,
                                        ScriptEvaluated, Job);
    return S_OK;
}

HRESULT TWebView::CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT ImageFormat, IStream* ImageStream,
                                 ICoreWebView2CapturePreviewCompletedHandler* Handler) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (!ImageStream || (ImageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG &&
                         ImageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG))
        return E_INVALIDARG;
    auto* Job = new TCaptureJob{TComPtr<TWebView>(this), TComPtr<IStream>(ImageStream),
                                TComPtr<ICoreWebView2CapturePreviewCompletedHandler>(Handler), ImageFormat};
    webkit_web_view_get_snapshot(FView, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
                                 FCancellable, SnapshotTaken, Job);
    return S_OK;
}

HRESULT TWebView::Reload() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (const char* Shown = webkit_web_view_get_uri(FView))
        AwaitHostRequest(Shown);
    webkit_web_view_reload(FView);
    return S_OK;
}

HRESULT TWebView::CallDevToolsProtocolMethod(const char*, const char*,
                                             ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) {
    return E_NOTIMPL; // WebKit has no DevTools protocol for its embedders
}

HRESULT TWebView::get_BrowserProcessId(UINT32* Value) {
    if (!Value)
        return E_POINTER;
    // Only a process that is alive and is not this one: the caller may end it.
    const UINT32 Pid = FWebProcessId;
    const bool Exists = Pid != 0 && static_cast<pid_t>(Pid) != getpid() &&
                        (kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM);
    *Value = Exists ? Pid : 0;
    return S_OK;
}

HRESULT TWebView::get_CanGoBack(BOOL* CanGoBack) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    return ReturnValue(ToBOOL(webkit_web_view_can_go_back(FView)), CanGoBack);
}

HRESULT TWebView::get_CanGoForward(BOOL* CanGoForward) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    return ReturnValue(ToBOOL(webkit_web_view_can_go_forward(FView)), CanGoForward);
}

HRESULT TWebView::GoBack() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    WebKitBackForwardListItem* Item =
        webkit_back_forward_list_get_back_item(webkit_web_view_get_back_forward_list(FView));
    const std::string Address = Item ? webkit_back_forward_list_item_get_uri(Item) : "";
    if (!Address.empty())
        FApiRequestUri = Address;
    webkit_web_view_go_back(FView);
    if (!Address.empty())
        AwaitHostRequest(Address);
    return S_OK;
}

HRESULT TWebView::GoForward() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    WebKitBackForwardListItem* Item =
        webkit_back_forward_list_get_forward_item(webkit_web_view_get_back_forward_list(FView));
    const std::string Address = Item ? webkit_back_forward_list_item_get_uri(Item) : "";
    if (!Address.empty())
        FApiRequestUri = Address;
    webkit_web_view_go_forward(FView);
    if (!Address.empty())
        AwaitHostRequest(Address);
    return S_OK;
}

HRESULT TWebView::GetDevToolsProtocolEventReceiver(const char*,
                                                   ICoreWebView2DevToolsProtocolEventReceiver** Receiver) {
    if (Receiver)
        *Receiver = nullptr;
    return E_NOTIMPL; // no DevTools protocol events in WebKit
}

HRESULT TWebView::Stop() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    webkit_web_view_stop_loading(FView);
    return S_OK;
}

HRESULT TWebView::get_DocumentTitle(char** Title) {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    const char* Text = webkit_web_view_get_title(FView);
    return ReturnText(Text ? Text : "", Title);
}

HRESULT TWebView::OpenDevToolsWindow() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (FDevTools)
        webkit_web_inspector_show(webkit_web_view_get_inspector(FView));
    return S_OK;
}

HRESULT TWebView::get_ContainsFullScreenElement(BOOL* ContainsFullScreenElement) {
    return ReturnValue(ToBOOL(FFullScreen), ContainsFullScreenElement);
}

HRESULT TWebView::AddWebResourceRequestedFilter(const char* Uri,
                                                COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) {
    if (!Uri || ResourceContext < COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
        ResourceContext > COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER)
        return E_INVALIDARG;
    const bool Known = std::any_of(FFilters.begin(), FFilters.end(), [&](const TFilter& Filter) {
        return Filter.Pattern == Uri && Filter.Context == ResourceContext;
    });
    if (!Known)
        FFilters.push_back({Uri, ResourceContext});
    return S_OK;
}

HRESULT TWebView::RemoveWebResourceRequestedFilter(const char* Uri,
                                                   COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) {
    if (!Uri)
        return E_INVALIDARG;
    const auto Count = std::erase_if(FFilters, [&](const TFilter& Filter) {
        return Filter.Pattern == Uri && Filter.Context == ResourceContext;
    });
    return Count > 0 ? S_OK : E_INVALIDARG;
}

} // namespace Norvane::Engine
