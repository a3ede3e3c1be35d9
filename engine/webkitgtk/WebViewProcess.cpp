// The view: its content process: its end, its answering, and its id as the
// web-process extension tells it.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/ExtensionMessages.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <unistd.h>

namespace Norvane::Engine {

using namespace ViewInternal;

namespace {

// One line on standard error for a console message of a page: where (the
// entry's name for the application's own addresses), what, and the text on
// one line. Uncaught errors and unhandled rejections are the script's own
// error messages.
void PrintConsoleMessage(GVariant* Parameters) {
    guint32 Level = 0, Source = 0;
    const char *Text = nullptr, *Address = nullptr;
    guint64 Line = 0;
    g_variant_get(Parameters, "(uu&s&st)", &Level, &Source, &Text, &Address, &Line);
    std::string Where = Address;
    if (StartsWithNoCase(Where, AppPrefix()))
        Where.erase(0, AppPrefix().size());
    if (Where.empty())
        Where = "(page)";
    if (Line > 0)
        Where.append(1, ':').append(std::to_string(Line));
    static constexpr const char* Levels[] = {"info", "log", "warn", "error", "debug"};
    const char* LevelName = Level < std::size(Levels) ? Levels[Level] : "log";
    std::string Kind;
    switch (Source) {
    case csConsoleApi:
        Kind = std::string("console.") + LevelName;
        break;
    case csJavaScript:
        Kind = Level == clError ? "uncaught" : LevelName;
        break;
    case csNetwork:
        Kind = std::string("network ") + LevelName;
        break;
    case csSecurity:
        Kind = std::string("security ") + LevelName;
        break;
    default:
        Kind = LevelName;
    }
    std::string OneLine = Text;
    for (char& c : OneLine)
        if (c == '\n' || c == '\r')
            c = ' ';
    g_printerr("page %s %s: %s\n", Where.c_str(), Kind.c_str(), OneLine.c_str());
}

} // namespace

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
    if (SameText(webkit_user_message_get_name(Message), ConsoleMessage)) {
        GVariant* Parameters = webkit_user_message_get_parameters(Message);
        static const bool Development = WebView2::DevelopmentRun(g_getenv(WebView2::DevelopmentVariable));
        if (Development && Parameters && g_variant_is_of_type(Parameters, G_VARIANT_TYPE("(uusst)")))
            PrintConsoleMessage(Parameters);
        return TRUE;
    }
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
