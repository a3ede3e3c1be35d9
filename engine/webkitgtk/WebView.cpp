// The view: its identity, the messages between page and host, the requests
// of the application's scheme, document scripts, script runs and capture,
// and the controller's and view's remaining calls. Its life cycle, navigation,
// pop-ups, dialogs, content process, input and settings have files of their own.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "engine/webkitgtk/Keys.h"
#include "engine/webkitgtk/MediaEndpoint.h"
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
    CloseMediaEndpoint(this); // also when the widgets could not be built
    for (auto& Entry : FUserScripts)
        for (WebKitUserScript* Script : Entry.second)
            webkit_user_script_unref(Script);
    g_clear_object(&FDragContext);
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

// ---------------------------------------------------------------------------
// Messages between page and host
// ---------------------------------------------------------------------------

namespace {

// The largest web message the host takes from a page: bytes of its UTF-8 text
// (the sending document's address, a line break and the JSON).
constexpr std::size_t MaxWebMessageBytes = std::size_t{64} << 20;

// The length of a JavaScript string in UTF-16 code units, read without making
// a copy of its text; 0 when it cannot be read. The function that reads it is
// made once per script context, not for every message.
double ScriptStringLength(JSCValue* Value) {
    constexpr const char* LengthKey = "norvane-string-length";
    JSCContext* Context = jsc_value_get_context(Value);
    auto* Length = static_cast<JSCValue*>(g_object_get_data(G_OBJECT(Context), LengthKey));
    if (!Length) {
        Length = jsc_context_evaluate(Context, "(function (s) { return s.length; })", -1);
        if (!Length)
            return 0;
        g_object_set_data_full(G_OBJECT(Context), LengthKey, Length, g_object_unref);
    }
    double Units = 0;
    if (jsc_value_is_function(Length)) {
        if (JSCValue* Result = jsc_value_function_call(Length, JSC_TYPE_VALUE, Value, G_TYPE_NONE)) {
            if (jsc_value_is_number(Result))
                Units = jsc_value_to_double(Result);
            g_object_unref(Result);
        }
    }
    return Units;
}

} // namespace

void TWebView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* Result, TWebView* Self) {
    if (!Self->Alive() || !Self->FWebMessageEnabled)
        return;
    JSCValue* Value = webkit_javascript_result_get_js_value(Result);
    if (!Value || !jsc_value_is_string(Value))
        return;
    // A message too large is refused before its text is copied when its
    // length tells already (its UTF-8 text has at least a byte per UTF-16
    // code unit), else once it is.
    const double Units = ScriptStringLength(Value);
    if (Units > static_cast<double>(MaxWebMessageBytes)) {
        g_printerr("norvane-engine: refused a web message of %.0f characters (limit %zu bytes)\n", Units,
                   MaxWebMessageBytes);
        return;
    }
    std::unique_ptr<gchar, void (*)(gpointer)> Text(jsc_value_to_string(Value), g_free);
    const std::string_view Message = Text ? Text.get() : "";
    if (Message.size() > MaxWebMessageBytes) {
        g_printerr("norvane-engine: refused a web message of %zu bytes (limit %zu bytes)\n", Message.size(),
                   MaxWebMessageBytes);
        return;
    }
    // Only the top document of the application may talk to the host: the
    // address this view has committed must be the application's own, and so
    // must the address the sending document reports from the message world,
    // unless it reads "about:blank" (the engine's error page for that address).
    std::string Sender, Json;
    const bool Split = SplitForwardedMessage(Message, Sender, Json);
    Text.reset();
    const bool SenderAllowed = Split && (IsAppDocumentAddress(Sender) || Sender == "about:blank");
    if (!SenderAllowed || !Self->ShowsAppDocument()) {
        const std::string Refused = Split && !SenderAllowed ? Sender : Self->FCommittedUri;
        g_printerr("norvane-engine: refused a web message from %s\n", ToPageAddress(Refused).c_str());
        return;
    }
    // A page may post any text as its JSON; hosts get none nested too deeply
    // for a reader that descends by recursion.
    if (!JsonNestingWithinLimit(Json)) {
        g_printerr("norvane-engine: refused a web message nested deeper than %zu levels\n", MaxJsonDepth);
        return;
    }
    const TComPtr<TWebView> Keep(Self);
    const std::string Source = ToPageAddress(IsAppDocumentAddress(Sender) ? Sender : Self->FCommittedUri);
    auto Args = MakeComObject<TWebMessageArgs>(Source, std::move(Json));
    Self->FWebMessageReceived.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
}

bool TWebView::ShowsAppDocument() const {
    return IsAppDocumentAddress(FCommittedUri);
}

std::string TWebView::PermissionRequester() const {
    return ToPageAddress(FForeignFrame.empty() ? FCommittedUri : FForeignFrame);
}

bool TWebView::StartsOwnDownload(const std::string& EngineUri) const {
    if (IsAppDocumentAddress(EngineUri))
        return true;
    return StartsWithNoCase(EngineUri, "data:") && ShowsAppDocument() && FForeignFrame.empty();
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

void TWebView::Finish(WebKitURISchemeRequest* Request, ICoreWebView2WebResourceResponse* Response) {
    if (!Response) {
        FinishFromDisk(Request);
        return;
    }
    std::string Uri = webkit_uri_scheme_request_get_uri(Request);
    if (FinishWithResponse(Request, Response) && FApplicationContent.insert(Uri).second) {
        FApplicationContentOrder.push_back(std::move(Uri));
        while (FApplicationContentOrder.size() > ApplicationContentMemory) {
            FApplicationContent.erase(FApplicationContentOrder.front());
            FApplicationContentOrder.pop_front();
        }
    }
}

bool TWebView::IsApplicationContent(const std::string& EngineUri) const {
    return FApplicationContent.contains(EngineUri);
}

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
        Finish(Request, Args->Response());
        return true;
    }
    g_object_ref(Request);
    TWebResourceRequestedEventArgs* Pending = Args.Get();
    Args->SetFinish([Keep, Request, Pending] {
        Keep->Finish(Request, Pending->Response());
        g_object_unref(Request);
    });
    Args->DispatchDone();
    return true;
}

void TWebView::HandleMediaRequest(const std::string& EngineUri, const char* Method, std::string Headers,
                                  std::function<void(ICoreWebView2WebResourceResponse*)> Done) {
    const std::string Uri = ToPageAddress(EngineUri);
    const bool Matches = Alive() && !FWebResourceRequested.Empty() &&
                         std::any_of(FFilters.begin(), FFilters.end(), [&](const TFilter& Filter) {
                             return (Filter.Context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
                                     Filter.Context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA) &&
                                    MatchesUriPattern(Filter.Pattern, Uri);
                         });
    if (!Matches) {
        Done(nullptr);
        return;
    }
    const TComPtr<TWebView> Keep(this);
    auto Args = MakeComObject<TWebResourceRequestedEventArgs>(
        TComPtr<ICoreWebView2WebResourceRequest>::Attach(
            new TWebResourceRequest(Uri, Method, std::move(Headers), TComPtr<IStream>())),
        COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA);
    FWebResourceRequested.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
    if (!Alive()) {
        Done(nullptr);
        return;
    }
    if (!Args->IsDeferred()) {
        Done(Args->Response());
        return;
    }
    TWebResourceRequestedEventArgs* Pending = Args.Get();
    Args->SetFinish([Keep, Pending, Done = std::move(Done)] { Done(Pending->Response()); });
    Args->DispatchDone();
}

// ---------------------------------------------------------------------------
// ICoreWebView2Controller
// ---------------------------------------------------------------------------

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
NV_EVENT_PAIR(FilesDropped, ICoreWebView2FilesDroppedEventHandler, FFilesDropped)

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

HRESULT TWebView::GetDevToolsProtocolEventReceiver(const char*,
                                                   ICoreWebView2DevToolsProtocolEventReceiver** Receiver) {
    if (Receiver)
        *Receiver = nullptr;
    return E_NOTIMPL; // no DevTools protocol events in WebKit
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
