// The view: what pages ask the user: script dialogs (alert, confirm,
// prompt, leaving the page), permissions, and the engine's context menu.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <memory>

namespace Norvane::Engine {

using namespace ViewInternal;

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
        auto Args = MakeComObject<TPermissionRequestedEventArgs>(PermissionRequester(), Job->Kinds[Job->Next],
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

// What navigator.permissions.query() reads. The notifications the
// application's own origin holds from the start read as granted there, as
// Notification.permission does; everything else keeps the engine's answer
// (prompt until a request has been decided).
gboolean TWebView::OnQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery* Query, TWebView*) {
    WebKitSecurityOrigin* Origin = webkit_permission_state_query_get_security_origin(Query);
    if (!Origin || g_strcmp0(webkit_permission_state_query_get_name(Query), "notifications") != 0 ||
        g_strcmp0(webkit_security_origin_get_protocol(Origin), AppScheme) != 0 ||
        g_strcmp0(webkit_security_origin_get_host(Origin), AppHost) != 0)
        return FALSE;
    webkit_permission_state_query_finish(Query, WEBKIT_PERMISSION_STATE_GRANTED);
    return TRUE;
}

gboolean TWebView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                 TWebView* Self) {
    return Self->FContextMenus ? FALSE : TRUE;
}

} // namespace Norvane::Engine
