// The view: the page's navigations. NavigationStarting is raised from
// WebKit's navigation decision, before any request is sent; the navigation's
// steps after it are kept by the navigation tracker.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/Foreign.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "engine/webkitgtk/PageScripts.h"
#include "engine/webkitgtk/WebResources.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <algorithm>
#include <memory>

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

} // namespace

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
    if (!Self->Alive())
        return FALSE;
    if (Type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return Self->DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(Decision));
    if (Type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    WebKitNavigationAction* Action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(Decision));
    NoteNavigationAction(Self->FView, Action);
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

gboolean TWebView::DecideResponse(WebKitResponsePolicyDecision* Decision) {
    WebKitURIRequest* Request = webkit_response_policy_decision_get_request(Decision);
    const char* Raw = Request ? webkit_uri_request_get_uri(Request) : nullptr;
    const std::string Uri = Raw ? Raw : "";
    if (StartsWithNoCase(Uri, AppPrefix())) {
        // Only the payload's bytes make a document of the application: a
        // file from the disk at an application address would get the host.
        if (!IsApplicationContent(Uri)) {
            g_printerr("norvane-engine: refused the document %s: it is not a page of the application\n",
                       ToPageAddress(Uri).c_str());
            webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(Decision));
            return TRUE;
        }
    } else if (!webkit_response_policy_decision_is_main_frame_main_resource(Decision) &&
               !IsAppDocumentAddress(Uri) && FForeignFrame.empty()) {
        FForeignFrame = Uri;
    }
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
        if (FApiRequestUri == Uri)
            FApiRequestUri.clear();
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
        Self->FForeignFrame.clear();
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
// The host's navigations
// ---------------------------------------------------------------------------

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

HRESULT TWebView::Reload() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    if (const char* Shown = webkit_web_view_get_uri(FView))
        AwaitHostRequest(Shown);
    webkit_web_view_reload(FView);
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

HRESULT TWebView::Stop() {
    if (!Alive())
        return HRESULT_ERROR_INVALID_STATE;
    webkit_web_view_stop_loading(FView);
    return S_OK;
}

} // namespace Norvane::Engine
