// A GTK module for the start-up script tests: loaded into a program through
// GTK_MODULES, it writes what the program's windows show to the file named by
// NORVANE_WIDGET_DUMP, every 50 ms, so that a script can read the texts of
// dialogs and windows it drives with real input. One block per shown top-level
// window:
//   window title=<title> decorated=<0|1> modal=<0|1> width=<w> height=<h> pid=<pid> (same line:)
//     titlebar=<0|1> active=<0|1>
//     (titlebar: the window draws its own title bar; active: the toolkit has
//     taken the keyboard focus for it)
//   label <text>
//   button x=<x in its parent> at=<middle on the screen: x,y> <label without mnemonic underscores>
//   entry visible=<0|1> char=<invisible character> length=<characters> icon=<0|1>
//   menuitem sensitive=<0|1> <label without mnemonic underscores>
//   menulabel x=<the label's left in its menu> <label>   (items of pop-up menus)
//   inspector docked   (WebKit's inspector shown inside the view before)
//   separator at=<top left on the screen: x,y> size=<width>,<height>
//   end
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string WithoutUnderscores(const char* Text) {
    std::string out;
    for (const char* p = Text ? Text : ""; *p; ++p)
        if (*p != '_')
            out += *p;
    return out;
}

std::string OneLine(const char* Text) {
    std::string out;
    for (const char* p = Text ? Text : ""; *p; ++p)
        out += *p == '\n' ? ' ' : *p;
    return out;
}

void DumpWidget(GtkWidget* Widget, std::string& Out);

// The first label inside Widget (a menu item holds its picture and its label in a box).
GtkWidget* FirstLabel(GtkWidget* Widget) {
    if (GTK_IS_LABEL(Widget))
        return Widget;
    if (!GTK_IS_CONTAINER(Widget))
        return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(Widget));
    GtkWidget* found = nullptr;
    for (GList* l = children; l && !found; l = l->next)
        found = FirstLabel(GTK_WIDGET(l->data));
    g_list_free(children);
    return found;
}

void DumpChild(GtkWidget* Child, gpointer Data) {
    DumpWidget(Child, *static_cast<std::string*>(Data));
}

// By type name: the module links no WebKit.
bool IsWebView(GtkWidget* Widget) {
    return std::string(G_OBJECT_TYPE_NAME(Widget)) == "WebKitWebView";
}

// "X,Y": the point (X, Y) of the widget on the screen.
std::string ScreenPoint(GtkWidget* Widget, int X, int Y) {
    int rootX = 0, rootY = 0, wx = 0, wy = 0;
    GtkWidget* top = gtk_widget_get_toplevel(Widget);
    if (GdkWindow* window = gtk_widget_get_window(top)) {
        gdk_window_get_origin(window, &rootX, &rootY);
        gtk_widget_translate_coordinates(Widget, top, X, Y, &wx, &wy);
    }
    return std::to_string(rootX + wx) + "," + std::to_string(rootY + wy);
}

void DumpWidget(GtkWidget* Widget, std::string& Out) {
    if (!gtk_widget_get_visible(Widget))
        return;
    if (GTK_IS_BUTTON(Widget)) {
        GtkAllocation a;
        gtk_widget_get_allocation(Widget, &a);
        // The middle of the button on the screen, for a click.
        Out += "button x=" + std::to_string(a.x) + " at=" + ScreenPoint(Widget, a.width / 2, a.height / 2) +
               " " + WithoutUnderscores(gtk_button_get_label(GTK_BUTTON(Widget))) + "\n";
        return;
    }
    if (GTK_IS_ENTRY(Widget)) {
        GtkEntry* entry = GTK_ENTRY(Widget);
        char utf8[8] = {0};
        g_unichar_to_utf8(gtk_entry_get_invisible_char(entry), utf8);
        bool icon = gtk_entry_get_icon_storage_type(entry, GTK_ENTRY_ICON_PRIMARY) != GTK_IMAGE_EMPTY;
        Out += "entry visible=" + std::to_string(gtk_entry_get_visibility(entry) ? 1 : 0) + " char=" + utf8 +
               " length=" + std::to_string(gtk_entry_get_text_length(entry)) +
               " icon=" + std::to_string(icon ? 1 : 0) + "\n";
        return;
    }
    if (GTK_IS_SEPARATOR_MENU_ITEM(Widget)) {
        GtkAllocation a;
        gtk_widget_get_allocation(Widget, &a);
        Out += "separator at=" + ScreenPoint(Widget, 0, 0) + " size=" + std::to_string(a.width) + "," +
               std::to_string(a.height) + "\n";
        return;
    }
    if (GTK_IS_MENU_ITEM(Widget)) {
        GtkWidget* label = FirstLabel(Widget);
        const char* text = label ? gtk_label_get_text(GTK_LABEL(label)) : "";
        Out += "menuitem sensitive=" + std::to_string(gtk_widget_is_sensitive(Widget) ? 1 : 0) + " " +
               OneLine(text) + "\n";
        GtkWidget* shell = gtk_widget_get_parent(Widget);
        int x = 0, y = 0;
        if (label && GTK_IS_MENU(shell) && gtk_widget_translate_coordinates(label, shell, 0, 0, &x, &y))
            Out += "menulabel x=" + std::to_string(x) + " " + OneLine(text) + "\n";
        return;
    }
    if (GTK_IS_LABEL(Widget)) {
        Out += "label " + OneLine(gtk_label_get_text(GTK_LABEL(Widget))) + "\n";
        return;
    }
    if (IsWebView(Widget)) {
        // A docked inspector is a view of WebKit's own inside the one it inspects.
        gtk_container_forall(
            GTK_CONTAINER(Widget),
            [](GtkWidget* Child, gpointer Data) {
                if (gtk_widget_get_mapped(Child) &&
                    std::string(G_OBJECT_TYPE_NAME(Child)) == "WebKitWebViewBase")
                    *static_cast<std::string*>(Data) += "inspector docked\n";
            },
            &Out);
        return;
    }
    if (GTK_IS_CONTAINER(Widget))
        gtk_container_forall(GTK_CONTAINER(Widget), DumpChild, &Out);
}

gboolean Dump(gpointer) {
    const char* path = std::getenv("NORVANE_WIDGET_DUMP");
    if (!path || !*path)
        return G_SOURCE_REMOVE;
    std::string out;
    GList* list = gtk_window_list_toplevels();
    // Only a process that has had windows reports: another program of the
    // application that loads the module too (without windows) must not
    // overwrite the report with an empty one.
    static bool hadWindows = false;
    hadWindows = hadWindows || list != nullptr;
    if (!hadWindows)
        return G_SOURCE_CONTINUE;
    for (GList* l = list; l; l = l->next) {
        GtkWidget* widget = GTK_WIDGET(l->data);
        if (!gtk_widget_get_mapped(widget))
            continue;
        GtkWindow* window = GTK_WINDOW(widget);
        const char* title = gtk_window_get_title(window);
        int w = 0, h = 0;
        gtk_window_get_size(window, &w, &h);
        out += std::string("window title=") + (title ? title : "") +
               " decorated=" + std::to_string(gtk_window_get_decorated(window) ? 1 : 0) +
               " modal=" + std::to_string(gtk_window_get_modal(window) ? 1 : 0) +
               " width=" + std::to_string(w) + " height=" + std::to_string(h) +
               " pid=" + std::to_string(::getpid()) +
               " titlebar=" + std::to_string(gtk_window_get_titlebar(window) ? 1 : 0) +
               " active=" + std::to_string(gtk_window_is_active(window) ? 1 : 0) + "\n";
        if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(window)))
            DumpWidget(child, out);
        out += "end\n";
    }
    g_list_free(list);
    std::string temporary = std::string(path) + "." + std::to_string(::getpid()) + ".tmp";
    if (FILE* file = std::fopen(temporary.c_str(), "w")) {
        std::fwrite(out.data(), 1, out.size(), file);
        std::fclose(file);
        std::rename(temporary.c_str(), path);
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***) {
    g_timeout_add(50, Dump, nullptr);
}
