#include "engine/webkitgtk/Foreign.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/WebView.h"

#include <deque>
#include <utility>

namespace Norvane::Engine {

namespace {

// ---- Gestures ----

constexpr const char* GestureLogKey = "norvane-engine-gestures";
constexpr std::size_t GestureLogSize = 16;

struct TGestureLog {
    std::deque<std::pair<std::string, bool>> Actions; // address, started by a user's gesture
};

void DeleteGestureLog(gpointer Log) {
    delete static_cast<TGestureLog*>(Log);
}

// Whether the last navigation action of View for Uri came from a user's gesture.
bool StartedByGesture(WebKitWebView* View, const std::string& Uri) {
    const auto* Log =
        View ? static_cast<TGestureLog*>(g_object_get_data(G_OBJECT(View), GestureLogKey)) : nullptr;
    if (!Log)
        return false;
    for (auto Action = Log->Actions.rbegin(); Action != Log->Actions.rend(); ++Action)
        if (Action->first == Uri)
            return Action->second;
    return false;
}

// ---- Downloads ----

std::string RequestUri(WebKitDownload* Download) {
    WebKitURIRequest* Request = webkit_download_get_request(Download);
    const char* Uri = Request ? webkit_uri_request_get_uri(Request) : nullptr;
    return Uri ? Uri : "";
}

// The site a download comes from: its address's, or for an address that names
// none (data:, about:, an object address of such a page) the page's.
std::string DownloadSite(WebKitDownload* Download) {
    const std::string Site = SiteOf(RequestUri(Download));
    if (Site.find("://") != std::string::npos || Site == SiteOf(AppPrefix()))
        return Site;
    WebKitWebView* View = webkit_download_get_web_view(Download);
    const char* Page = View ? webkit_web_view_get_uri(View) : nullptr;
    return Page ? SiteOf(Page) : Site;
}

// The suggested name as one plain file name.
std::string PlainFileName(const char* Suggested) {
    std::string Name = Suggested ? Suggested : "";
    for (char& C : Name)
        if (C == '/' || C == '\\' || static_cast<unsigned char>(C) < 32)
            C = '_';
    while (!Name.empty() && Name.front() == '.')
        Name.erase(0, 1);
    return Name.empty() ? "download" : Name;
}

gboolean OnDecideDestination(WebKitDownload* Download, gchar* Suggested, gpointer) {
    const std::string Name = PlainFileName(Suggested);
    const std::string Title = "Save \u201c" + Name + "\u201d from " + DownloadSite(Download);
    WebKitWebView* View = webkit_download_get_web_view(Download);
    GtkWidget* Toplevel = View ? gtk_widget_get_toplevel(GTK_WIDGET(View)) : nullptr;
    GtkWidget* Dialog = gtk_file_chooser_dialog_new(
        Title.c_str(), Toplevel && GTK_IS_WINDOW(Toplevel) ? GTK_WINDOW(Toplevel) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* Chooser = GTK_FILE_CHOOSER(Dialog);
    gtk_file_chooser_set_do_overwrite_confirmation(Chooser, TRUE);
    const char* Folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    gtk_file_chooser_set_current_folder(Chooser, Folder ? Folder : g_get_home_dir());
    gtk_file_chooser_set_current_name(Chooser, Name.c_str());
    gtk_dialog_set_default_response(GTK_DIALOG(Dialog), GTK_RESPONSE_ACCEPT);

    g_object_ref(Download);
    const bool Accepted = gtk_dialog_run(GTK_DIALOG(Dialog)) == GTK_RESPONSE_ACCEPT;
    gchar* File = Accepted ? gtk_file_chooser_get_filename(Chooser) : nullptr;
    gtk_widget_destroy(Dialog);
    gchar* Destination = File ? g_filename_to_uri(File, nullptr, nullptr) : nullptr;
    if (Destination) {
        // The dialog has asked before it let an existing file be chosen.
        webkit_download_set_allow_overwrite(Download, TRUE);
        webkit_download_set_destination(Download, Destination);
    } else {
        webkit_download_cancel(Download);
    }
    g_free(Destination);
    g_free(File);
    g_object_unref(Download);
    return TRUE; // never WebKit's own choice, which writes without asking
}

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* Download, gpointer ApplicationContext) {
    const std::string Uri = RequestUri(Download);
    WebKitWebView* View = webkit_download_get_web_view(Download);
    const TWebView* Owner = ApplicationContext && View ? TWebView::FromWebKitView(View) : nullptr;
    if (!(Owner && Owner->StartsOwnDownload(Uri)) && !StartedByGesture(View, Uri)) {
        g_printerr("norvane-engine: refused a download of %s: not asked for by the user\n",
                   ToPageAddress(Uri).c_str());
        webkit_download_cancel(Download);
        return;
    }
    g_signal_connect(Download, "decide-destination", G_CALLBACK(OnDecideDestination), nullptr);
}

// ---- Windows of the foreign context ----

bool IsLocalAddress(const char* Uri) {
    return Uri && (StartsWithNoCase(Uri, "file:") || StartsWithNoCase(Uri, std::string(AppScheme) + ":"));
}

gboolean ForeignPolicy(WebKitWebView* View, WebKitPolicyDecision* Decision, WebKitPolicyDecisionType Type,
                       gpointer) {
    if (Type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        Type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    WebKitNavigationAction* Action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(Decision));
    const char* Uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(Action));
    if (IsLocalAddress(Uri)) {
        g_printerr("norvane-engine: refused %s in a window that is not the application's\n", Uri);
        webkit_policy_decision_ignore(Decision);
        return TRUE;
    }
    NoteNavigationAction(View, Action);
    return FALSE;
}

gboolean ForeignPermission(WebKitWebView*, WebKitPermissionRequest* Request, gpointer) {
    webkit_permission_request_deny(Request);
    return TRUE;
}

void ForeignClose(WebKitWebView*, GtkWidget* Window) {
    gtk_widget_destroy(Window);
}

void ForeignTitle(GObject* View, GParamSpec*, GtkWidget* Window) {
    const char* Title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(View));
    gtk_window_set_title(GTK_WINDOW(Window), Title ? Title : "");
}

GtkWidget* ForeignCreate(WebKitWebView*, WebKitNavigationAction* Action, gpointer) {
    OpenForeignWindow(webkit_uri_request_get_uri(webkit_navigation_action_get_request(Action)));
    return nullptr;
}

} // namespace

WebKitWebContext* ForeignContext() {
    static WebKitWebContext* const Context = [] {
        WebKitWebContext* Made = webkit_web_context_new_ephemeral();
        WatchDownloads(Made, false);
        return Made;
    }();
    return Context;
}

void OpenForeignWindow(const char* EngineUri) {
    WebKitSettings* Settings = webkit_settings_new();
    g_object_set(Settings, "enable-javascript", TRUE, "allow-file-access-from-file-urls", FALSE,
                 "allow-universal-access-from-file-urls", FALSE, "javascript-can-open-windows-automatically",
                 FALSE, nullptr);
    GtkWidget* View = GTK_WIDGET(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", ForeignContext(), "settings", Settings, nullptr));
    g_object_unref(Settings);
    GtkWidget* Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(Window), 800, 600);
    gtk_container_add(GTK_CONTAINER(Window), View);
    g_signal_connect(View, "decide-policy", G_CALLBACK(ForeignPolicy), nullptr);
    g_signal_connect(View, "permission-request", G_CALLBACK(ForeignPermission), nullptr);
    g_signal_connect(View, "close", G_CALLBACK(ForeignClose), Window);
    g_signal_connect(View, "notify::title", G_CALLBACK(ForeignTitle), Window);
    g_signal_connect(View, "create", G_CALLBACK(ForeignCreate), nullptr);
    const bool Usable = EngineUri && *EngineUri && !IsLocalAddress(EngineUri);
    if (EngineUri && *EngineUri && !Usable)
        g_printerr("norvane-engine: refused %s in a window that is not the application's\n", EngineUri);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(View), Usable ? EngineUri : "about:blank");
    gtk_widget_show_all(Window);
}

void NoteNavigationAction(WebKitWebView* View, WebKitNavigationAction* Action) {
    auto* Log = static_cast<TGestureLog*>(g_object_get_data(G_OBJECT(View), GestureLogKey));
    if (!Log) {
        Log = new TGestureLog();
        g_object_set_data_full(G_OBJECT(View), GestureLogKey, Log, DeleteGestureLog);
    }
    const char* Uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(Action));
    Log->Actions.emplace_back(Uri ? Uri : "", webkit_navigation_action_is_user_gesture(Action) != FALSE);
    while (Log->Actions.size() > GestureLogSize)
        Log->Actions.pop_front();
}

void WatchDownloads(WebKitWebContext* Context, bool ApplicationContext) {
    g_signal_connect(Context, "download-started", G_CALLBACK(OnDownloadStarted),
                     ApplicationContext ? GINT_TO_POINTER(1) : nullptr);
}

std::string SiteOf(const std::string& EngineUri) {
    std::string_view Uri = EngineUri;
    if (IsAppDocumentAddress(Uri))
        return "the application";
    if (StartsWithNoCase(Uri, BlobPrefix))
        Uri.remove_prefix(BlobPrefix.size());
    GUri* Parsed = g_uri_parse(std::string(Uri).c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!Parsed)
        return std::string(Uri.substr(0, 200));
    std::string Site = g_uri_get_scheme(Parsed);
    if (const char* Host = g_uri_get_host(Parsed); Host && *Host) {
        Site += std::string("://") + Host;
        if (const int Port = g_uri_get_port(Parsed); Port > 0)
            Site.append(":").append(std::to_string(Port));
    } else {
        Site += ":";
    }
    g_uri_unref(Parsed);
    return Site;
}

} // namespace Norvane::Engine
