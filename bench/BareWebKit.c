/* A bare WebKitGTK 4.1 program for comparisons with a packaged application:
 * one 800x600 window, then
 *   bare ADDRESS     shows the address and prints the wall-clock time (ms
 *                    since the epoch) when the page has loaded, then ends;
 *   bare --serve DIR serves the files of DIR over a scheme of its own
 *                    ("bare://app/...", answered plainly: the file's bytes
 *                    and a type by its extension), shows bare://app/index.html
 *                    and ends when the page asks for bare://app/done/TEXT,
 *                    printing TEXT. The scheme is registered, and the view
 *                    set, as the packaged runtime does: secure, local,
 *                    CORS-enabled; local pages may read other addresses. */
#include <stdio.h>
#include <string.h>
#include <webkit2/webkit2.h>

static const char* Folder = NULL;

static void LoadChanged(WebKitWebView* View, WebKitLoadEvent Event, gpointer Data) {
    (void)View;
    (void)Data;
    if (Event != WEBKIT_LOAD_FINISHED)
        return;
    printf("%lld\n", (long long)(g_get_real_time() / 1000));
    fflush(stdout);
    gtk_main_quit();
}

static const char* TypeOf(const char* Path) {
    const char* Dot = strrchr(Path, '.');
    if (Dot && strcmp(Dot, ".html") == 0)
        return "text/html";
    if (Dot && strcmp(Dot, ".js") == 0)
        return "text/javascript";
    return "text/plain";
}

static void OnRequest(WebKitURISchemeRequest* Request, gpointer Data) {
    (void)Data;
    const char* Path = webkit_uri_scheme_request_get_path(Request);
    if (g_str_has_prefix(Path, "/done/")) {
        printf("%s\n", Path + 6);
        fflush(stdout);
        gtk_main_quit();
        GError* Error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CANCELLED, "done");
        webkit_uri_scheme_request_finish_error(Request, Error);
        g_error_free(Error);
        return;
    }
    gchar* File = g_build_filename(Folder, Path, NULL);
    gchar* Bytes = NULL;
    gsize Size = 0;
    GError* Error = NULL;
    if (!g_file_get_contents(File, &Bytes, &Size, &Error)) {
        webkit_uri_scheme_request_finish_error(Request, Error);
        g_error_free(Error);
        g_free(File);
        return;
    }
    GInputStream* Stream = g_memory_input_stream_new_from_data(Bytes, (gssize)Size, g_free);
    /* A status of its own: fetch() takes a response without one for a
     * failed load. */
    WebKitURISchemeResponse* Response = webkit_uri_scheme_response_new(Stream, (gint64)Size);
    webkit_uri_scheme_response_set_status(Response, 200, NULL);
    webkit_uri_scheme_response_set_content_type(Response, TypeOf(File));
    webkit_uri_scheme_request_finish_with_response(Request, Response);
    g_object_unref(Response);
    g_object_unref(Stream);
    g_free(File);
}

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    gtk_init(&argc, &argv);
    const char* Address = argv[1];
    if (strcmp(argv[1], "--serve") == 0) {
        if (argc < 3)
            return 2;
        Folder = argv[2];
        Address = "bare://app/index.html";
        WebKitWebContext* Context = webkit_web_context_get_default();
        webkit_web_context_register_uri_scheme(Context, "bare", OnRequest, NULL, NULL);
        WebKitSecurityManager* Security = webkit_web_context_get_security_manager(Context);
        webkit_security_manager_register_uri_scheme_as_local(Security, "bare");
        webkit_security_manager_register_uri_scheme_as_secure(Security, "bare");
        webkit_security_manager_register_uri_scheme_as_cors_enabled(Security, "bare");
    }
    GtkWidget* Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(Window), 800, 600);
    GtkWidget* View = webkit_web_view_new();
    if (Folder) /* as the packaged runtime's view: its local pages may fetch() */
        g_object_set(webkit_web_view_get_settings(WEBKIT_WEB_VIEW(View)), "allow-file-access-from-file-urls",
                     TRUE, "allow-universal-access-from-file-urls", TRUE, NULL);
    gtk_container_add(GTK_CONTAINER(Window), View);
    if (!Folder)
        g_signal_connect(View, "load-changed", G_CALLBACK(LoadChanged), NULL);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(View), Address);
    gtk_widget_show_all(Window);
    gtk_main();
    return 0;
}
