// The view: what pages ask for: new windows (and the engine's own pop-ups),
// script dialogs, permissions, full screen, and the content process's state.
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

// ---------------------------------------------------------------------------
// Pages asking for things: windows, dialogs, permissions
// ---------------------------------------------------------------------------

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

namespace {

void AnswerDialog(WebKitScriptDialog* Dialog, TScriptDialogOpeningEventArgs* Args) {
    switch (webkit_script_dialog_get_dialog_type(Dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(Dialog, Args->Accepted());
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        if (Args->Accepted())
            webkit_script_dialog_prompt_set_text(Dialog, Args->ResultText().c_str());
        break;
    default:
        break;
    }
}

} // namespace

gboolean TWebView::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* Dialog, TWebView* Self) {
    if (Self->FDefaultScriptDialogs)
        return FALSE; // the engine's own dialog
    const TComPtr<TWebView> Keep(Self);
    COREWEBVIEW2_SCRIPT_DIALOG_KIND Kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT;
    switch (webkit_script_dialog_get_dialog_type(Dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        Kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_CONFIRM;
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        Kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT;
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        Kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_BEFOREUNLOAD;
        break;
    default:
        break;
    }
    const char* Message = webkit_script_dialog_get_message(Dialog);
    const char* Default = Kind == COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT
                              ? webkit_script_dialog_prompt_get_default_text(Dialog)
                              : "";
    auto Args = MakeComObject<TScriptDialogOpeningEventArgs>(Self->PageUri(), Kind, Message ? Message : "",
                                                             Default ? Default : "");
    Self->FScriptDialogOpening.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
    if (!Args->IsDeferred()) {
        AnswerDialog(Dialog, Args.Get());
        return TRUE;
    }
    webkit_script_dialog_ref(Dialog);
    TScriptDialogOpeningEventArgs* Pending = Args.Get();
    Args->SetFinish([Dialog, Pending] {
        AnswerDialog(Dialog, Pending);
        webkit_script_dialog_close(Dialog);
        webkit_script_dialog_unref(Dialog);
    });
    Args->DispatchDone();
    return TRUE;
}

struct TWebView::TPermissionJob {
    WebKitPermissionRequest* Request = nullptr;
    std::vector<COREWEBVIEW2_PERMISSION_KIND> Kinds;
    std::size_t Next = 0;
    bool AnyDeny = false, AnyDefault = false;
    ~TPermissionJob() {
        if (Request)
            g_object_unref(Request);
    }
};

namespace {

enum class TPermissionAnswer { Pending, Allow, Deny, Default };

std::vector<COREWEBVIEW2_PERMISSION_KIND> PermissionKindsOf(WebKitPermissionRequest* Request) {
    if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(Request))
        return {COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION};
    if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(Request))
        return {COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS};
    if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(Request))
        return {COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ};
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(Request)) {
        auto* Media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(Request);
        std::vector<COREWEBVIEW2_PERMISSION_KIND> Kinds;
        if (webkit_user_media_permission_is_for_audio_device(Media))
            Kinds.push_back(COREWEBVIEW2_PERMISSION_KIND_MICROPHONE);
        if (webkit_user_media_permission_is_for_video_device(Media))
            Kinds.push_back(COREWEBVIEW2_PERMISSION_KIND_CAMERA);
        if (!Kinds.empty())
            return Kinds;
    }
    return {COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION};
}

void ApplyPermission(WebKitPermissionRequest* Request, TPermissionAnswer Answer) {
    if (Answer == TPermissionAnswer::Allow)
        webkit_permission_request_allow(Request);
    else
        webkit_permission_request_deny(Request);
}

} // namespace

// Asks the handlers about each kind in turn; a request for camera and
// microphone together is asked as two permissions and allowed only when both are.
void TWebView::RunPermissionJob(std::shared_ptr<TPermissionJob> Job) {
    while (Job->Next < Job->Kinds.size()) {
        if (!Alive()) {
            ApplyPermission(Job->Request, TPermissionAnswer::Deny);
            Job->Next = Job->Kinds.size() + 1;
            return;
        }
        auto Args = MakeComObject<TPermissionRequestedEventArgs>(PageUri(), Job->Kinds[Job->Next],
                                                                 FPolicyUserGesture);
        FPermissionRequested.Fire([&](auto* H) { H->Invoke(AsView(), Args.Get()); });
        auto Record = [Job](COREWEBVIEW2_PERMISSION_STATE State) {
            Job->AnyDeny |= State == COREWEBVIEW2_PERMISSION_STATE_DENY;
            Job->AnyDefault |= State == COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
            ++Job->Next;
        };
        if (Args->IsDeferred()) {
            TPermissionRequestedEventArgs* Pending = Args.Get();
            const TComPtr<TWebView> Keep(this);
            Args->SetFinish([Keep, Job, Pending, Record] {
                Record(Pending->State());
                Keep->RunPermissionJob(Job);
                if (Job->Next == Job->Kinds.size()) // decided after a deferral: no engine default now
                    ApplyPermission(Job->Request, Job->AnyDeny || Job->AnyDefault ? TPermissionAnswer::Deny
                                                                                  : TPermissionAnswer::Allow);
            });
            Args->DispatchDone();
            return;
        }
        Record(Args->State());
    }
}

gboolean TWebView::OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* Request, TWebView* Self) {
    if (!Self->Alive() || Self->FPermissionRequested.Empty())
        return FALSE; // the engine's default
    const TComPtr<TWebView> Keep(Self);
    auto Job = std::make_shared<TPermissionJob>();
    Job->Request = WEBKIT_PERMISSION_REQUEST(g_object_ref(Request));
    Job->Kinds = PermissionKindsOf(Request);
    Self->RunPermissionJob(Job);
    if (Job->Next < Job->Kinds.size())
        return TRUE; // a deferral decides later
    if (Job->Next > Job->Kinds.size())
        return TRUE; // already refused (the view closed)
    if (Job->AnyDeny) {
        webkit_permission_request_deny(Request);
        return TRUE;
    }
    if (Job->AnyDefault)
        return FALSE; // left at default: the engine decides
    webkit_permission_request_allow(Request);
    return TRUE;
}

void TWebView::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason Reason,
                                      TWebView* Self) {
    Self->FWebProcessId = 0;
    if (Reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
        return;
    const TComPtr<TWebView> Keep(Self);
    auto Args =
        MakeComObject<TProcessFailedEventArgs>(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED);
    Self->FProcessFailed.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
}

// WebKit marks the content process unresponsive when the page has not
// answered for a few seconds (a script that never returns); reported once a
// time it happens.
void TWebView::OnResponsivenessChanged(GObject*, GParamSpec*, TWebView* Self) {
    if (!Self->Alive() || webkit_web_view_get_is_web_process_responsive(Self->FView))
        return;
    const TComPtr<TWebView> Keep(Self);
    auto Args =
        MakeComObject<TProcessFailedEventArgs>(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE);
    Self->FProcessFailed.Fire([&](auto* H) { H->Invoke(Self->AsView(), Args.Get()); });
}

gboolean TWebView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                 TWebView* Self) {
    return Self->FContextMenus ? FALSE : TRUE;
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

gboolean TWebView::OnUserMessage(WebKitWebView*, WebKitUserMessage* Message, TWebView* Self) {
    if (!SameText(webkit_user_message_get_name(Message), ProcessIdMessage))
        return FALSE;
    GVariant* Parameters = webkit_user_message_get_parameters(Message);
    if (Parameters && g_variant_is_of_type(Parameters, G_VARIANT_TYPE_INT32)) {
        const gint32 Pid = g_variant_get_int32(Parameters);
        Self->FWebProcessId = Pid > 0 && Pid != getpid() ? static_cast<UINT32>(Pid) : 0;
    }
    return TRUE;
}

} // namespace Norvane::Engine
