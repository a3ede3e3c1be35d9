// The style engine's hook points on GTK: the active style's sheet is given to
// the toolkit for the whole screen.
#include "platform/ui/Styles.h"
#include "platform/gtk/GtkInternal.h"

namespace Norvane::Platform::Ui {
namespace {

// The provider of the active style's sheet, made on first use.
GtkCssProvider* Provider = nullptr;

} // namespace

void TStyleManager::ApplyActive() {
    if (!Application().Initialized())
        return;
    std::string css = ActiveStyleSheet();
    GdkScreen* screen = gdk_screen_get_default();
    if (!Provider) {
        Provider = gtk_css_provider_new();
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(Provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_css_provider_load_from_data(Provider, css.c_str(), -1, nullptr);
    gtk_style_context_reset_widgets(screen);
    Gtk::RestyleForms();
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        gtk_widget_queue_draw(GTK_WIDGET(l->data));
    g_list_free(list);
}

namespace Gtk {

bool StyleDrawsTitleBars() {
    return TStyleManager::ActiveStyle() != nullptr;
}

void SetStyledTitleBar(GtkWindow* Window, bool Styled, const char* Layout) {
    if (Styled == (gtk_window_get_titlebar(Window) != nullptr))
        return;
    if (!Styled) {
        gtk_window_set_titlebar(Window, nullptr);
        return;
    }
    GtkWidget* bar = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
    gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(bar), Layout);
    gtk_widget_show(bar);
    gtk_window_set_titlebar(Window, bar);
}

} // namespace Gtk

} // namespace Norvane::Platform::Ui
