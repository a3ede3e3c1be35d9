// The view: files dropped on it. WebKit keeps the paths of a drop from the
// page (its DataTransfer has neither files nor file addresses), so the view
// reads the drop's address list (text/uri-list) itself and reports its local
// files to FFilesDropped. The drop then goes on to the page as before.
#include "engine/webkitgtk/EventArgs.h"
#include "engine/webkitgtk/WebView.h"

namespace Norvane::Engine {

namespace {

// More paths than any user drops at once are left out.
constexpr std::size_t MaxDroppedFiles = 4096;

bool IsUriList(GtkSelectionData* Data) {
    return gtk_selection_data_get_target(Data) == gdk_atom_intern_static_string("text/uri-list");
}

} // namespace

void TWebView::OnDragDataReceived(GtkWidget*, GdkDragContext* Context, gint, gint, GtkSelectionData* Data,
                                  guint, guint, TWebView* Self) {
    if (!Data || !IsUriList(Data))
        return;
    if (Self->FDragContext != Context) {
        Self->HoldDrag(Context);
        Self->FDropWaiting = false; // a drop waits for its own drag's list only
    }
    Self->FDragUris.clear();
    if (gchar** uris = gtk_selection_data_get_uris(Data)) {
        for (gchar** uri = uris; *uri; ++uri)
            Self->FDragUris.emplace_back(*uri);
        g_strfreev(uris);
    }
    if (std::exchange(Self->FDropWaiting, false))
        Self->ReportDrop(Self->FDragUris);
}

gboolean TWebView::OnDragDrop(GtkWidget* Widget, GdkDragContext* Context, gint, gint, guint Time,
                              TWebView* Self) {
    // A drag that starts in this program (a link or an image of the page
    // itself) is no user's file.
    if (gtk_drag_get_source_widget(Context))
        return FALSE;
    const GdkAtom uriList = gdk_atom_intern_static_string("text/uri-list");
    if (Self->FDragContext == Context) {
        Self->ReportDrop(Self->FDragUris);
    } else if (g_list_find(gdk_drag_context_list_targets(Context), uriList)) {
        // The engine asked for other kinds only: the list is asked for here
        // and reported when it arrives.
        Self->HoldDrag(Context);
        Self->FDragUris.clear();
        Self->FDropWaiting = true;
        gtk_drag_get_data(Widget, Context, uriList, Time);
    }
    return FALSE; // the engine goes on with the drop
}

void TWebView::HoldDrag(GdkDragContext* Context) {
    g_clear_object(&FDragContext);
    FDragContext = GDK_DRAG_CONTEXT(g_object_ref(Context));
}

void TWebView::ReportDrop(const std::vector<std::string>& Uris) {
    g_clear_object(&FDragContext);
    std::vector<std::string> paths;
    for (const std::string& uri : Uris) {
        if (paths.size() == MaxDroppedFiles)
            break;
        gchar* host = nullptr;
        gchar* path = g_filename_from_uri(uri.c_str(), &host, nullptr);
        // Local files only: no host, or this one's own name.
        if (path && (!host || g_strcmp0(host, "localhost") == 0))
            paths.emplace_back(path);
        g_free(path);
        g_free(host);
    }
    FDragUris.clear();
    if (paths.empty() || !Alive())
        return;
    auto args = MakeComObject<TFilesDroppedEventArgs>(std::move(paths));
    FFilesDropped.Fire([&](auto* Handler) { Handler->Invoke(AsView(), args.Get()); });
}

} // namespace Norvane::Engine
