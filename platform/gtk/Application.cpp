// The application object on GTK: toolkit start, loops and thread queue (the
// portable part is platform/ui/Application.cpp).
#include "platform/ui/Application.h"
#include "platform/Ui.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Dialogs.h"

#include <glib-unix.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <mutex>

namespace Norvane::Platform::Ui {
namespace {

// Style rules of the framework itself: thin progress bars, corner kinds, and
// menu separators that show as a line with room around it (the default theme
// draws a bare pixel row of a tenth of black, which is lost next to a
// highlighted item), in the menu's own text colour for dark looks too.
const char* FrameworkCss = R"css(
progressbar.norvane-thin, progressbar.norvane-thin trough, progressbar.norvane-thin progress {
  min-height: 0; min-width: 0; border-width: 0; padding: 0; margin: 0; border-radius: 0; }
window.csd.norvane-corners-round decoration, window.csd.norvane-corners-default decoration { border-radius: 8px 8px 8px 8px; }
window.csd.norvane-corners-small decoration { border-radius: 4px 4px 4px 4px; }
window.csd.norvane-corners-off decoration { border-radius: 0; }
window.csd.norvane-corners-round headerbar, window.csd.norvane-corners-default headerbar { border-radius: 8px 8px 0 0; }
window.csd.norvane-corners-small headerbar { border-radius: 4px 4px 0 0; }
window.csd.norvane-corners-off headerbar { border-radius: 0; }
menu > separator, .menu > separator, .context-menu > separator {
  min-height: 1px; margin: 4px 0; background-color: alpha(currentColor, 0.3); }
)css";

struct TQueuedPiece {
    std::function<void()> Piece;
};

gboolean RunQueuedPiece(gpointer Data) {
    auto* piece = static_cast<TQueuedPiece*>(Data);
    Application().Guard([&] { piece->Piece(); });
    return G_SOURCE_REMOVE;
}

void FreeQueuedPiece(gpointer Data) {
    delete static_cast<TQueuedPiece*>(Data);
}

// Runs the loop in blocking turns until Done holds. A source on the handle
// (a process descriptor, readable once the process has ended) ends a turn when
// it is signalled; it fires once, so that a nested loop (a modal dialog) run by
// what is dispatched does not keep finding it ready. Sources are attached once
// for the whole wait: attaching or removing one wakes the context, which would
// end every turn at once. Without a handle, or when the signal came before the
// end could be seen, a timer ends a turn now and then.
bool WaitMessagesUntil(Platform::WaitHandle Handle, const std::function<bool()>& Done) {
    if (!Application().IsUiThread() || Application().Terminated())
        return false;
    constexpr guint RetryMs = 100;
    auto newTimer = [] {
        GSource* timer = g_timeout_source_new(RetryMs);
        g_source_set_callback(
            timer, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
        g_source_attach(timer, nullptr);
        return timer;
    };
    GSource* signal = nullptr;
    GSource* timer = nullptr;
    if (Handle >= 0) {
        signal = g_unix_fd_source_new(static_cast<int>(Handle), G_IO_IN);
        GUnixFDSourceFunc once = [](gint, GIOCondition, gpointer) -> gboolean { return G_SOURCE_REMOVE; };
        // The descriptor source calls its callback with its own arguments.
        g_source_set_callback(signal, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(once)),
                              nullptr, nullptr);
        g_source_attach(signal, nullptr);
    } else {
        timer = newTimer();
    }
    while (!Done()) {
        if (!timer && g_source_is_destroyed(signal))
            timer = newTimer();
        g_main_context_iteration(nullptr, TRUE);
    }
    for (GSource* source : {signal, timer})
        if (source) {
            g_source_destroy(source);
            g_source_unref(source);
        }
    return true;
}

} // namespace

void TApplication::Initialize() {
    if (FInitialized)
        return;
    if (!gtk_init_check(nullptr, nullptr))
        throw EUiError("Cannot open the display");
    FInitialized = true;
    FUiThread = std::this_thread::get_id();
    if (FTitle.empty()) {
        const char* name = g_get_prgname();
        FTitle = name ? name : "";
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, FrameworkCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    if (GtkSettings* settings = gtk_settings_get_default()) {
        auto changed = +[](GObject*, GParamSpec*, gpointer) {
            if (auto handler = Application().OnSystemThemeChange)
                Application().Guard([&] { handler(); });
        };
        g_signal_connect(settings, "notify::gtk-theme-name", G_CALLBACK(changed), nullptr);
        g_signal_connect(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(changed), nullptr);
    }

    Platform::UiHooks hooks;
    hooks.WaitMessagesUntil = WaitMessagesUntil;
    hooks.PressKey = [](int VirtualKey) { return Gtk::SynthesizeKeyPress(VirtualKey); };
    hooks.ExtractIcon = [](const std::string& Path, int& Width, int& Height,
                           std::vector<std::uint8_t>& Pixels) {
        return Gtk::FileIcon(Path, Width, Height, Pixels);
    };
    hooks.TextWidth = [](const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text) {
        return Gtk::TextWidth(Font, Size, Bold, Italic, Text);
    };
    InstallUiHooks(std::move(hooks));
}

void TApplication::SetTitle(const std::string& Value) {
    FTitle = Value;
    g_set_application_name(Value.c_str());
}

int TApplication::SetIcon(const std::vector<std::string>& Images) {
    GList* pixbufs = nullptr;
    int used = 0;
    for (const auto& image : Images) {
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
        bool written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(image.data()),
                                               image.size(), nullptr) != FALSE;
        // Closed in every case, so that a loader that failed is finished too.
        bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
        GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
        if (pixbuf) {
            pixbufs = g_list_append(pixbufs, g_object_ref(pixbuf));
            ++used;
        }
        g_object_unref(loader);
    }
    if (pixbufs)
        gtk_window_set_default_icon_list(pixbufs);
    g_list_free_full(pixbufs, g_object_unref);
    return used;
}

void TApplication::Run() {
    Initialize();
    if (FMainForm && FShowMainForm && !FTerminated)
        FMainForm->Show();
    while (!FTerminated) {
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        FRunLoop = loop;
        g_main_loop_run(loop);
        FRunLoop = nullptr;
        g_main_loop_unref(loop);
    }
    if (FMainForm && FMainForm->FWindow)
        gtk_widget_hide(Gtk::W(FMainForm->FWindow));
    ProcessMessages();
}

void TApplication::Terminate() {
    FTerminated = true;
    if (FRunLoop)
        g_main_loop_quit(static_cast<GMainLoop*>(FRunLoop));
    for (void* loop : FModalLoops)
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

void TApplication::ProcessMessages() {
    if (!FInitialized)
        return;
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
}

void TApplication::HandleMessage() {
    if (!FInitialized || FTerminated)
        return;
    g_main_context_iteration(nullptr, TRUE);
}

void TApplication::Queue(std::function<void()> Piece) {
    auto* data = new TQueuedPiece{std::move(Piece)};
    g_idle_add_full(G_PRIORITY_DEFAULT, RunQueuedPiece, data, FreeQueuedPiece);
}

TCustomForm* TApplication::ActiveForm() const {
    if (!FInitialized)
        return nullptr;
    GList* list = gtk_window_list_toplevels();
    TCustomForm* result = nullptr;
    for (GList* l = list; l && !result; l = l->next) {
        auto* window = GTK_WINDOW(l->data);
        if (gtk_window_is_active(window))
            result = dynamic_cast<TCustomForm*>(TControl::FromWidget(window));
    }
    g_list_free(list);
    return result;
}

// Screen.

namespace {
GdkMonitor* PrimaryMonitor() {
    Gtk::EnsureToolkit();
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    return monitor;
}
} // namespace

TRect TScreen::DesktopRect() {
    GdkRectangle r{0, 0, 0, 0};
    if (GdkMonitor* m = PrimaryMonitor())
        gdk_monitor_get_geometry(m, &r);
    return TRect{r.x, r.y, r.x + r.width, r.y + r.height};
}

TRect TScreen::WorkArea() {
    GdkRectangle r{0, 0, 0, 0};
    if (GdkMonitor* m = PrimaryMonitor())
        gdk_monitor_get_workarea(m, &r);
    return TRect{r.x, r.y, r.x + r.width, r.y + r.height};
}

namespace {
TCursor ScreenCursor = TCursor::crDefault;
}
TCursor TScreen::Cursor() {
    return ScreenCursor;
}
void TScreen::SetCursor(TCursor Value) {
    ScreenCursor = Value;
}

int TScreen::FormCount() {
    int count = 0;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        if (dynamic_cast<TCustomForm*>(TControl::FromWidget(l->data)))
            ++count;
    g_list_free(list);
    return count;
}

TCustomForm* TScreen::Forms(int Index) {
    int count = 0;
    TCustomForm* result = nullptr;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l && !result; l = l->next)
        if (auto* form = dynamic_cast<TCustomForm*>(TControl::FromWidget(l->data)))
            if (count++ == Index)
                result = form;
    g_list_free(list);
    return result;
}

namespace Gtk {

void EnsureToolkit() {
    Application().Initialize();
}

void SetWidgetCss(GtkWidget* Widget, const std::string& Css) {
    auto* context = gtk_widget_get_style_context(Widget);
    auto* old = static_cast<GtkCssProvider*>(g_object_get_data(G_OBJECT(Widget), "norvane-css"));
    if (old)
        gtk_style_context_remove_provider(context, GTK_STYLE_PROVIDER(old));
    if (Css.empty()) {
        g_object_set_data(G_OBJECT(Widget), "norvane-css", nullptr);
        return;
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, Css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(context, GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    g_object_set_data_full(G_OBJECT(Widget), "norvane-css", provider, g_object_unref);
}

std::string MnemonicFromCaption(const std::string& Caption) {
    std::string out;
    for (std::size_t i = 0; i < Caption.size(); ++i) {
        char c = Caption[i];
        if (c == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace Gtk
} // namespace Norvane::Platform::Ui
