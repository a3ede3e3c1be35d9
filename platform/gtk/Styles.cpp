// The style engine's hook points on GTK: the active style's sheet is given to
// the toolkit for the whole screen.
#include "platform/ui/Styles.h"
#include "platform/Text.h"
#include "platform/gtk/GtkInternal.h"

#include <algorithm>
#include <mutex>

namespace Norvane::Platform::Ui {
namespace {

struct TStyleState {
    std::vector<std::shared_ptr<TCustomStyle>> Styles;
    std::shared_ptr<TCustomStyle> Active;
    unsigned Hooks = shMenus | shDialogs | shToolTips;
    GtkCssProvider* Provider = nullptr;
};

TStyleState& State() {
    static TStyleState state;
    return state;
}

using Text::EqualsNoCase;

void ApplyActive() {
    auto& state = State();
    if (!Application().Initialized())
        return;
    std::string css = TStyleManager::ActiveStyleSheet();
    GdkScreen* screen = gdk_screen_get_default();
    if (!state.Provider) {
        state.Provider = gtk_css_provider_new();
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(state.Provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_css_provider_load_from_data(state.Provider, css.c_str(), -1, nullptr);
    gtk_style_context_reset_widgets(screen);
    Gtk::RestyleForms();
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        gtk_widget_queue_draw(GTK_WIDGET(l->data));
    g_list_free(list);
}

} // namespace

namespace Gtk {

bool StyleDrawsTitleBars() {
    return State().Active != nullptr;
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

void TStyleManager::Register(std::shared_ptr<TCustomStyle> Style) {
    if (!Style)
        return;
    auto& styles = State().Styles;
    for (auto& s : styles)
        if (EqualsNoCase(s->Name(), Style->Name())) {
            s = std::move(Style);
            return;
        }
    styles.push_back(std::move(Style));
}

void TStyleManager::UnregisterAll() {
    State().Styles.clear();
    State().Active.reset();
    ApplyActive();
}

std::vector<std::string> TStyleManager::StyleNames() {
    std::vector<std::string> names{SystemStyleName};
    for (auto& s : State().Styles)
        names.push_back(s->Name());
    return names;
}

bool TStyleManager::Exists(const std::string& Name) {
    return EqualsNoCase(Name, SystemStyleName) || Find(Name);
}

std::shared_ptr<TCustomStyle> TStyleManager::Find(const std::string& Name) {
    for (auto& s : State().Styles)
        if (EqualsNoCase(s->Name(), Name))
            return s;
    return nullptr;
}

bool TStyleManager::TrySetStyle(const std::string& Name) {
    if (EqualsNoCase(Name, SystemStyleName)) {
        State().Active.reset();
        ApplyActive();
        return true;
    }
    auto style = Find(Name);
    if (!style)
        return false;
    State().Active = style;
    ApplyActive();
    return true;
}

std::shared_ptr<TCustomStyle> TStyleManager::ActiveStyle() {
    return State().Active;
}

std::string TStyleManager::ActiveStyleName() {
    return State().Active ? State().Active->Name() : std::string(SystemStyleName);
}

unsigned TStyleManager::SystemHooks() {
    return State().Hooks;
}

void TStyleManager::SetSystemHooks(unsigned Hooks) {
    State().Hooks = Hooks;
    ApplyActive();
}

std::string TStyleManager::ActiveStyleSheet() {
    auto& state = State();
    if (!state.Active)
        return {};
    std::string css = state.Active->StyleSheet();
    if (state.Hooks & shMenus)
        css.append("\n").append(state.Active->MenuStyleSheet());
    return css;
}

} // namespace Norvane::Platform::Ui
