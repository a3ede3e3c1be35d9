// X11 details: frame extents, window properties and the list of top-level
// windows of the display.
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Application.h"

#include <gdk/gdkx.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

namespace Norvane::Platform::Ui {
namespace {

Display* XDisplayOf(GdkWindow* Window) {
    return GDK_WINDOW_XDISPLAY(Window);
}

// A property as 32-bit items (longs on the client side).
bool ReadLongs(Display* Dpy, ::Window Win, Atom Property, Atom Type, std::vector<long>& Out) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(Dpy, Win, Property, 0, 1 << 16, False, Type, &actualType, &actualFormat, &count,
                           &after, &data) != Success ||
        !data) {
        return false;
    }
    bool ok = actualFormat == 32 && actualType != None;
    if (ok) {
        auto* items = reinterpret_cast<long*>(data);
        Out.assign(items, items + count);
    }
    XFree(data);
    return ok;
}

std::string ReadTitle(Display* Dpy, ::Window Win) {
    Atom netName = XInternAtom(Dpy, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(Dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(Dpy, Win, netName, 0, 1 << 14, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (type == utf8 && format == 8)
            title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (!title.empty())
            return title;
    }
    data = nullptr;
    if (XGetWindowProperty(Dpy, Win, XA_WM_NAME, 0, 1 << 14, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (format == 8)
            title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

namespace Gtk {

bool IsX11Window(GdkWindow* Window) {
    return Window && GDK_IS_X11_WINDOW(Window);
}

guint32 ServerTime(GdkWindow* Window) {
    return IsX11Window(Window) ? gdk_x11_get_server_time(Window) : GDK_CURRENT_TIME;
}

bool ReadFrameExtents(GdkWindow* Window, int& Left, int& Right, int& Top, int& Bottom) {
    if (!IsX11Window(Window))
        return false;
    Display* dpy = XDisplayOf(Window);
    std::vector<long> extents;
    if (!ReadLongs(dpy, GDK_WINDOW_XID(Window), XInternAtom(dpy, "_NET_FRAME_EXTENTS", False), XA_CARDINAL,
                   extents) ||
        extents.size() < 4)
        return false;
    Left = static_cast<int>(extents[0]);
    Right = static_cast<int>(extents[1]);
    Top = static_cast<int>(extents[2]);
    Bottom = static_cast<int>(extents[3]);
    return true;
}

bool SynthesizeKeyPress(int VirtualKey) {
    EnsureToolkit();
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display))
        return false;
    unsigned keyval = VirtualKeyToKeyval(static_cast<std::uint16_t>(VirtualKey));
    if (!keyval)
        return false;
    Display* dpy = GDK_DISPLAY_XDISPLAY(display);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor))
        return false;
    KeyCode code = XKeysymToKeycode(dpy, keyval);
    if (!code)
        return false;
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    XFlush(dpy);
    return true;
}

bool WindowManagerReportsFrames(GdkWindow* Window) {
    if (!IsX11Window(Window))
        return false;
    return gdk_x11_screen_supports_net_wm_hint(gdk_window_get_screen(Window),
                                               gdk_atom_intern_static_string("_NET_FRAME_EXTENTS"));
}

void SetCardinalProperty(GdkWindow* Window, const char* Name, long Value) {
    if (!IsX11Window(Window))
        return;
    Display* dpy = XDisplayOf(Window);
    XChangeProperty(dpy, GDK_WINDOW_XID(Window), XInternAtom(dpy, Name, False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&Value), 1);
    XFlush(dpy);
}

void DeleteProperty(GdkWindow* Window, const char* Name) {
    if (!IsX11Window(Window))
        return;
    Display* dpy = XDisplayOf(Window);
    XDeleteProperty(dpy, GDK_WINDOW_XID(Window), XInternAtom(dpy, Name, False));
    XFlush(dpy);
}

} // namespace Gtk

std::vector<std::string> GetTopLevelWindowCaptions() {
    Gtk::EnsureToolkit();
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display))
        return {};
    gdk_display_sync(display);
    Display* dpy = GDK_DISPLAY_XDISPLAY(display);
    ::Window root = DefaultRootWindow(dpy);
    std::vector<::Window> windows; // bottom to top
    std::vector<long> clients;
    if (ReadLongs(dpy, root, XInternAtom(dpy, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW, clients) ||
        ReadLongs(dpy, root, XInternAtom(dpy, "_NET_CLIENT_LIST", False), XA_WINDOW, clients)) {
        for (long w : clients)
            windows.push_back(static_cast<::Window>(w));
    } else {
        ::Window rootReturn = 0, parentReturn = 0;
        ::Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(dpy, root, &rootReturn, &parentReturn, &children, &count) && children) {
            windows.assign(children, children + count);
            XFree(children);
        }
    }
    std::vector<std::string> titles;
    auto* previous = XSetErrorHandler(IgnoreErrors); // windows may vanish meanwhile
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        std::string title = ReadTitle(dpy, *it);
        if (title.find_first_not_of(" \t\r\n\v\f") != std::string::npos)
            titles.push_back(title);
    }
    XSync(dpy, False);
    XSetErrorHandler(previous);
    return titles;
}

} // namespace Norvane::Platform::Ui
