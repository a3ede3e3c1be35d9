#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <gdk/gdkx.h>

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace Norvane::Testing::Ui {

using Norvane::Platform::Ui::Application;

bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Application().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void Pump(int Milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        Application().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

namespace {
struct TWhen {
    std::function<bool()> Condition;
    std::function<void()> Action;
    std::chrono::steady_clock::time_point End;
    bool* TimedOut;
};
gboolean WhenTick(gpointer Data) {
    auto* w = static_cast<TWhen*>(Data);
    if (w->Condition()) {
        w->Action();
        delete w;
        return G_SOURCE_REMOVE;
    }
    if (std::chrono::steady_clock::now() > w->End) {
        if (w->TimedOut)
            *w->TimedOut = true;
        delete w;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}
} // namespace

void When(std::function<bool()> Condition, std::function<void()> Action, int TimeoutMs, bool* TimedOut) {
    auto* w = new TWhen{std::move(Condition), std::move(Action),
                        std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs), TimedOut};
    g_timeout_add(20, WhenTick, w);
}

Norvane::Platform::Ui::TModalResult RunModal(Norvane::Platform::Ui::TCustomForm& Form,
                                             std::function<void()> Action) {
    auto* form = &Form;
    auto timedOut = std::make_shared<bool>(false);
    When(
        [form] {
            return form->IsModal() && gtk_widget_get_mapped(GTK_WIDGET(form->NativeWindow())) &&
                   HasProperty(XidOf(form->NativeWindow()), "_NET_FRAME_EXTENTS");
        },
        [form, Action = std::move(Action)] {
            PresentAndWait(form->NativeWindow());
            Action();
        },
        8000, timedOut.get());
    auto started = std::chrono::steady_clock::now();
    auto done = std::make_shared<bool>(false);
    When(
        [started, done, form, timedOut] {
            return *done ||
                   (std::chrono::steady_clock::now() - started > std::chrono::seconds(20) && form->IsModal());
        },
        [done, form] {
            if (!*done)
                form->SetModalResult(-1);
        },
        60000);
    auto result = Form.ShowModal();
    *done = true;
    EXPECT_FALSE(*timedOut);
    return result;
}

void* XDisplay() {
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

namespace {
Display* Dpy() {
    return static_cast<Display*>(XDisplay());
}
} // namespace

unsigned long XidOf(void* Window) {
    GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(Window));
    return gdk ? GDK_WINDOW_XID(gdk) : 0;
}

bool WaitActive(void* Window, int TimeoutMs) {
    return WaitFor(
        [&] {
            return gtk_widget_get_mapped(GTK_WIDGET(Window)) && gtk_window_is_active(GTK_WINDOW(Window)) &&
                   HasProperty(XidOf(Window), "_NET_FRAME_EXTENTS");
        },
        TimeoutMs);
}

void PresentAndWait(void* Window) {
    gtk_window_present(GTK_WINDOW(Window));
    if (!WaitActive(Window, 1500)) {
        // Focus stealing prevention: ask the window manager directly.
        SendActivate(XidOf(Window));
        WaitActive(Window);
    }
    Pump(50);
}

void TapKey(const std::string& Key, const std::vector<std::string>& Modifiers) {
    Display* dpy = Dpy();
    std::vector<KeyCode> mods;
    for (const auto& m : Modifiers) {
        const char* sym = m == "ctrl"    ? "Control_L"
                          : m == "shift" ? "Shift_L"
                          : m == "alt"   ? "Alt_L"
                                         : m.c_str();
        mods.push_back(XKeysymToKeycode(dpy, XStringToKeysym(sym)));
    }
    KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(Key.c_str()));
    for (KeyCode m : mods)
        XTestFakeKeyEvent(dpy, m, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    for (auto it = mods.rbegin(); it != mods.rend(); ++it)
        XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
    XFlush(dpy);
    Pump(60);
}

int KeycodeOf(const std::string& Key) {
    return XKeysymToKeycode(Dpy(), XStringToKeysym(Key.c_str()));
}

void ClickAt(int X, int Y) {
    Display* dpy = Dpy();
    XTestFakeMotionEvent(dpy, -1, X, Y, CurrentTime);
    XFlush(dpy);
    Pump(40);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XFlush(dpy);
    Pump(60);
}

void ClickWidget(GtkWidget* Widget) {
    GtkAllocation a;
    gtk_widget_get_allocation(Widget, &a);
    GdkWindow* window = gtk_widget_get_window(Widget);
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    if (!gtk_widget_get_has_window(Widget)) {
        x += a.x;
        y += a.y;
    }
    ClickAt(x + a.width / 2, y + a.height / 2);
}

namespace {
bool ReadProperty(unsigned long Xid, const char* Name, Atom Type, std::vector<long>& Out) {
    Display* dpy = Dpy();
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    int status = XGetWindowProperty(dpy, Xid, XInternAtom(dpy, Name, False), 0, 4096, False, Type, &actual,
                                    &format, &count, &after, &data);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
    if (status != Success || !data)
        return false;
    bool ok = format == 32 && actual != None;
    if (ok)
        Out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    XFree(data);
    return ok;
}
} // namespace

std::vector<std::string> AtomListProperty(unsigned long Xid, const char* Name) {
    std::vector<long> atoms;
    std::vector<std::string> names;
    if (!ReadProperty(Xid, Name, XA_ATOM, atoms))
        return names;
    for (long a : atoms) {
        char* n = XGetAtomName(Dpy(), static_cast<Atom>(a));
        names.emplace_back(n ? n : "");
        if (n)
            XFree(n);
    }
    return names;
}

std::vector<long> CardinalProperty(unsigned long Xid, const char* Name) {
    std::vector<long> values;
    ReadProperty(Xid, Name, XA_CARDINAL, values);
    return values;
}

bool HasProperty(unsigned long Xid, const char* Name) {
    std::vector<long> values;
    return Xid && ReadProperty(Xid, Name, AnyPropertyType, values);
}

std::vector<long> FrameExtents(unsigned long Xid) {
    return CardinalProperty(Xid, "_NET_FRAME_EXTENTS");
}

TGeometry ClientGeometry(unsigned long Xid) {
    Display* dpy = Dpy();
    ::Window root = 0, child = 0;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(dpy, Xid, &root, &x, &y, &w, &h, &border, &depth);
    int rx = 0, ry = 0;
    XTranslateCoordinates(dpy, Xid, root, 0, 0, &rx, &ry, &child);
    return TGeometry{rx, ry, static_cast<int>(w), static_cast<int>(h)};
}

bool WindowViewable(unsigned long Xid) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Dpy(), Xid, &attributes))
        return false;
    return attributes.map_state == IsViewable;
}

TSizeHints NormalHints(unsigned long Xid) {
    XSizeHints hints{};
    long supplied = 0;
    TSizeHints result;
    if (XGetWMNormalHints(Dpy(), Xid, &hints, &supplied)) {
        if (hints.flags & PMinSize) {
            result.MinWidth = hints.min_width;
            result.MinHeight = hints.min_height;
        }
        if (hints.flags & PMaxSize) {
            result.MaxWidth = hints.max_width;
            result.MaxHeight = hints.max_height;
        }
    }
    return result;
}

namespace {
void SendRootMessage(unsigned long Xid, const char* Type, long A0, long A1, long A2, long A3) {
    Display* dpy = Dpy();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Xid;
    e.xclient.message_type = XInternAtom(dpy, Type, False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = A0;
    e.xclient.data.l[1] = A1;
    e.xclient.data.l[2] = A2;
    e.xclient.data.l[3] = A3;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy);
}
} // namespace

void SendNetWmState(unsigned long Xid, bool Add, const char* State1, const char* State2) {
    Display* dpy = Dpy();
    SendRootMessage(Xid, "_NET_WM_STATE", Add ? 1 : 0, static_cast<long>(XInternAtom(dpy, State1, False)),
                    State2 ? static_cast<long>(XInternAtom(dpy, State2, False)) : 0, 2);
}

void SendCloseRequest(unsigned long Xid) {
    SendRootMessage(Xid, "_NET_CLOSE_WINDOW", CurrentTime, 2, 0, 0);
}

void SendIconify(unsigned long Xid) {
    SendRootMessage(Xid, "WM_CHANGE_STATE", IconicState, 0, 0, 0);
}

void SendActivate(unsigned long Xid) {
    SendRootMessage(Xid, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0, 0);
}

std::vector<GtkWindow*> ToplevelsOfType(GType Type) {
    std::vector<GtkWindow*> result;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        if (G_TYPE_CHECK_INSTANCE_TYPE(l->data, Type) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            result.push_back(GTK_WINDOW(l->data));
    g_list_free(list);
    return result;
}

namespace {
void FindButtonIn(GtkWidget* Widget, const std::string& Label, GtkWidget** Found) {
    if (*Found)
        return;
    if (GTK_IS_BUTTON(Widget)) {
        const char* l = gtk_button_get_label(GTK_BUTTON(Widget));
        std::string text = l ? l : "";
        std::string plain;
        for (char c : text)
            if (c != '_')
                plain += c;
        if (plain == Label) {
            *Found = Widget;
            return;
        }
    }
    if (GTK_IS_CONTAINER(Widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(Widget));
        for (GList* c = children; c; c = c->next)
            FindButtonIn(GTK_WIDGET(c->data), Label, Found);
        g_list_free(children);
    }
}
} // namespace

GtkWidget* FindButton(GtkWidget* Root, const std::string& Label) {
    GtkWidget* found = nullptr;
    FindButtonIn(Root, Label, &found);
    return found;
}

std::string MessageDialogText(GtkWindow* Dialog) {
    gchar* text = nullptr;
    g_object_get(Dialog, "text", &text, nullptr);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

TPixel ScreenPixel(int X, int Y) {
    Pump(100);
    GdkWindow* root = gdk_get_default_root_window();
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, X, Y, 1, 1);
    TPixel p;
    if (pixbuf) {
        const guchar* data = gdk_pixbuf_read_pixels(pixbuf);
        p = TPixel{data[0], data[1], data[2]};
        g_object_unref(pixbuf);
    }
    return p;
}

} // namespace Norvane::Testing::Ui

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    Norvane::Platform::Ui::Application().Initialize();
    return RUN_ALL_TESTS();
}
