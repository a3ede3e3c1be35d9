/* A bare WebKitGTK 4.1 program for start-up comparisons with a packaged
 * application: one 800x600 window showing the address given, printing the
 * wall-clock time (ms since the epoch) when the page has loaded, then ending. */
#include <stdio.h>
#include <webkit2/webkit2.h>

static void LoadChanged(WebKitWebView* View, WebKitLoadEvent Event, gpointer Data) {
    (void)View;
    (void)Data;
    if (Event != WEBKIT_LOAD_FINISHED)
        return;
    printf("%lld\n", (long long)(g_get_real_time() / 1000));
    fflush(stdout);
    gtk_main_quit();
}

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    gtk_init(&argc, &argv);
    GtkWidget* Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(Window), 800, 600);
    GtkWidget* View = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(Window), View);
    g_signal_connect(View, "load-changed", G_CALLBACK(LoadChanged), NULL);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(View), argv[1]);
    gtk_widget_show_all(Window);
    gtk_main();
    return 0;
}
