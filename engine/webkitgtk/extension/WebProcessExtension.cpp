// The engine's web-process extension, loaded by WebKit into each content
// process. It sends the page's absolute "file:" addresses (images, scripts,
// fetch(), frames, location changes) to the application's scheme, where the
// host's resource handler serves them, and tells the view the content
// process's id; in an author's run, also every console message of the page.

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/ExtensionMessages.h"
#include "webview2/WebView2.h"

#include <webkit2/webkit-web-extension.h>

#include <unistd.h>

namespace {

using Norvane::Engine::ConsoleMessage;
using Norvane::Engine::ProcessIdMessage;

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

static_assert(unsigned{WEBKIT_CONSOLE_MESSAGE_LEVEL_ERROR} == Norvane::Engine::clError &&
              unsigned{WEBKIT_CONSOLE_MESSAGE_LEVEL_DEBUG} == Norvane::Engine::clDebug &&
              unsigned{WEBKIT_CONSOLE_MESSAGE_SOURCE_CONSOLE_API} == Norvane::Engine::csConsoleApi &&
              unsigned{WEBKIT_CONSOLE_MESSAGE_SOURCE_OTHER} == Norvane::Engine::csOther);

// (level, source, text, address, line) of one console message, for the view.
void OnConsoleMessage(WebKitWebPage* Page, WebKitConsoleMessage* Console, gpointer) {
    const char* Text = webkit_console_message_get_text(Console);
    const char* Address = webkit_console_message_get_source_id(Console);
    GVariant* Parameters =
        g_variant_new("(uusst)", static_cast<guint32>(webkit_console_message_get_level(Console)),
                      static_cast<guint32>(webkit_console_message_get_source(Console)), Text ? Text : "",
                      Address ? Address : "", static_cast<guint64>(webkit_console_message_get_line(Console)));
    webkit_web_page_send_message_to_view(Page, webkit_user_message_new(ConsoleMessage, Parameters), nullptr,
                                         nullptr, nullptr);
}

void OnDocumentLoaded(WebKitWebPage* Page, gpointer) {
    SendProcessId(Page);
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* Page, gpointer) {
    g_signal_connect(Page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
    g_signal_connect(Page, "document-loaded", G_CALLBACK(OnDocumentLoaded), nullptr);
    static const bool Development =
        Norvane::WebView2::DevelopmentRun(g_getenv(Norvane::WebView2::DevelopmentVariable));
    if (Development)
        g_signal_connect(Page, "console-message-sent", G_CALLBACK(OnConsoleMessage), nullptr);
    SendProcessId(Page);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* Extension) {
    g_signal_connect(Extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
}
