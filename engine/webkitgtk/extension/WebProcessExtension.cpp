// The engine's web-process extension, loaded by WebKit into each content
// process. It sends the page's absolute "file:" addresses (images, scripts,
// fetch(), frames, location changes) to the application's scheme, where the
// host's resource handler serves them, and tells the view the content
// process's id.

#include "engine/webkitgtk/AddressMapping.h"

#include <webkit2/webkit-web-extension.h>

#include <unistd.h>

namespace {

constexpr const char* ProcessIdMessage = "norvane-pid";

gboolean OnSendRequest(WebKitWebPage*, WebKitURIRequest* Request, WebKitURIResponse*, gpointer) {
    const char* Uri = webkit_uri_request_get_uri(Request);
    if (Uri && Norvane::Engine::IsLocalFileAddress(Uri))
        webkit_uri_request_set_uri(Request, Norvane::Engine::ToEngineAddress(Uri).c_str());
    return FALSE;
}

void SendProcessId(WebKitWebPage* Page) {
    WebKitUserMessage* Message = webkit_user_message_new(ProcessIdMessage, g_variant_new_int32(getpid()));
    webkit_web_page_send_message_to_view(Page, Message, nullptr, nullptr, nullptr);
}

void OnDocumentLoaded(WebKitWebPage* Page, gpointer) {
    SendProcessId(Page);
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* Page, gpointer) {
    g_signal_connect(Page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
    g_signal_connect(Page, "document-loaded", G_CALLBACK(OnDocumentLoaded), nullptr);
    SendProcessId(Page);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* Extension) {
    g_signal_connect(Extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
}
