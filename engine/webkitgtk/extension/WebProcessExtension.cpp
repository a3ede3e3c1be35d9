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

void SendConsoleMessage(WebKitWebPage* Page, guint32 Level, guint32 Source, const char* Text,
                        const char* Address, guint64 Line) {
    GVariant* Parameters =
        g_variant_new("(uusst)", Level, Source, Text ? Text : "", Address ? Address : "", Line);
    webkit_web_page_send_message_to_view(Page, webkit_user_message_new(ConsoleMessage, Parameters), nullptr,
                                         nullptr, nullptr);
}

// WebKit's console notification carries only the first argument of a console
// call. In an author's run the page's console methods are wrapped: the
// wrapper formats every argument, finds its caller's place in the stack and
// reports both before the page's call goes on; the notification of that call
// is then left out (WrappedCallRunning).
bool WrappedCallRunning = false;

void ReportWrappedCall(guint Level, const char* Text, const char* Address, guint Line, gpointer Page) {
    SendConsoleMessage(static_cast<WebKitWebPage*>(Page), Level,
                       static_cast<guint32>(WEBKIT_CONSOLE_MESSAGE_SOURCE_CONSOLE_API), Text, Address, Line);
    WrappedCallRunning = true;
}

void EndWrappedCall(gpointer) {
    WrappedCallRunning = false;
}

constexpr const char* ConsoleWrapperScript = R"JS((function (report, end) {
  "use strict";
  var levels = { info: 0, log: 1, warn: 2, error: 3, debug: 4, trace: 1, dir: 1, table: 1 };
  var map = Array.prototype.map, stringify = JSON.stringify, NewError = Error;
  function format(value) {
    if (typeof value === "string") return value;
    if (value instanceof NewError) return String(value);
    if (value !== null && (typeof value === "object")) {
      try { var json = stringify(value); if (json !== undefined) return json; } catch (e) {}
    }
    return String(value);
  }
  Object.keys(levels).forEach(function (name) {
    var original = console[name];
    if (typeof original !== "function") return;
    console[name] = function () {
      var frame = String(new NewError().stack || "").split("\n")[1] || "";
      var place = /^(?:[^@]*@)?(.*):(\d+):\d+$/.exec(frame);
      report(levels[name], map.call(arguments, format).join(" "), place ? place[1] : "",
             place ? Number(place[2]) : 0);
      try { return original.apply(this, arguments); } finally { end(); }
    };
  });
}))JS";

void OnWindowObjectCleared(WebKitScriptWorld* World, WebKitWebPage* Page, WebKitFrame* Frame, gpointer) {
    JSCContext* Context = webkit_frame_get_js_context_for_script_world(Frame, World);
    JSCValue* Wrap = jsc_context_evaluate(Context, ConsoleWrapperScript, -1);
    JSCValue* Report =
        jsc_value_new_function(Context, nullptr, G_CALLBACK(ReportWrappedCall), Page, nullptr, G_TYPE_NONE, 4,
                               G_TYPE_UINT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_UINT);
    JSCValue* End = jsc_value_new_function(Context, nullptr, G_CALLBACK(EndWrappedCall), nullptr, nullptr,
                                           G_TYPE_NONE, 0);
    if (Wrap && jsc_value_is_function(Wrap)) {
        JSCValue* Result =
            jsc_value_function_call(Wrap, JSC_TYPE_VALUE, Report, JSC_TYPE_VALUE, End, G_TYPE_NONE);
        g_clear_object(&Result);
    }
    g_clear_object(&End);
    g_clear_object(&Report);
    g_clear_object(&Wrap);
    g_object_unref(Context);
}

// (level, source, text, address, line) of one console message, for the view;
// the notification of a wrapped call is left out, its report was sent.
void OnConsoleMessage(WebKitWebPage* Page, WebKitConsoleMessage* Console, gpointer) {
    if (WrappedCallRunning &&
        webkit_console_message_get_source(Console) == WEBKIT_CONSOLE_MESSAGE_SOURCE_CONSOLE_API)
        return;
    SendConsoleMessage(Page, static_cast<guint32>(webkit_console_message_get_level(Console)),
                       static_cast<guint32>(webkit_console_message_get_source(Console)),
                       webkit_console_message_get_text(Console),
                       webkit_console_message_get_source_id(Console),
                       static_cast<guint64>(webkit_console_message_get_line(Console)));
}

void OnDocumentLoaded(WebKitWebPage* Page, gpointer) {
    SendProcessId(Page);
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* Page, gpointer) {
    g_signal_connect(Page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
    g_signal_connect(Page, "document-loaded", G_CALLBACK(OnDocumentLoaded), nullptr);
    static const bool Development =
        Norvane::WebView2::DevelopmentRun(g_getenv(Norvane::WebView2::DevelopmentVariable));
    if (Development) {
        g_signal_connect(Page, "console-message-sent", G_CALLBACK(OnConsoleMessage), nullptr);
        static const gulong Wrapping =
            g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                             G_CALLBACK(OnWindowObjectCleared), nullptr);
        (void)Wrapping; // once for every page of the process
    }
    SendProcessId(Page);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* Extension) {
    g_signal_connect(Extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
}
