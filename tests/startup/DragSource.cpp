// A window at the screen's top-left corner whose whole area can be dragged,
// offering the files of its arguments as a file manager does (text/uri-list);
// the end-to-end scripts drag it onto a window with xdotool. It prints
// "ready" once shown and "done" when a drag ends.
// Usage: DragSource FILE...
#include <gtk/gtk.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<gchar*> Uris;

void GetData(GtkWidget*, GdkDragContext*, GtkSelectionData* Data, guint, guint, gpointer) {
    gtk_selection_data_set_uris(Data, Uris.data());
}

void Ended(GtkWidget*, GdkDragContext*, gpointer) {
    std::printf("done\n");
    std::fflush(stdout);
}

gboolean Shown(GtkWidget*, GdkEvent*, gpointer) {
    std::printf("ready\n");
    std::fflush(stdout);
    return FALSE;
}

} // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: DragSource FILE...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        gchar* absolute = g_canonicalize_filename(argv[i], nullptr);
        Uris.push_back(g_filename_to_uri(absolute, nullptr, nullptr));
        g_free(absolute);
    }
    Uris.push_back(nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "drag source");
    gtk_window_move(GTK_WINDOW(window), 0, 0);
    GtkWidget* area = gtk_event_box_new();
    gtk_widget_set_size_request(area, 120, 80);
    gtk_container_add(GTK_CONTAINER(window), area);
    gtk_drag_source_set(area, GDK_BUTTON1_MASK, nullptr, 0, GDK_ACTION_COPY);
    gtk_drag_source_add_uri_targets(area);
    g_signal_connect(area, "drag-data-get", G_CALLBACK(GetData), nullptr);
    g_signal_connect(area, "drag-end", G_CALLBACK(Ended), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(Shown), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
