// The view: its content process: its end, its answering, and its id as the
// web-process extension tells it.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/WebViewInternal.h"

#include <unistd.h>

namespace Norvane::Engine {

using namespace ViewInternal;

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
