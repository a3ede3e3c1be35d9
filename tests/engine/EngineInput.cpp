// Real input for the engine tests, through the X server's test extension.
// Apart from the rest of the harness: the X11 headers define names (None,
// Status, True) that clash with the interface headers.

#include "tests/engine/EngineHarness.h"

#include <gdk/gdkx.h>

#include <X11/extensions/XTest.h>

namespace Norvane::Testing::EngineHarness {

namespace Input {

namespace {

Display* XDisplayOf() {
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

void Flush(double Seconds) {
    XFlush(XDisplayOf());
    RunFor(Seconds);
}

} // namespace

bool PresentAndWait(GtkWidget* Window) {
    gtk_window_present(GTK_WINDOW(Window));
    const bool Active = RunUntil(
        [&] { return gtk_widget_get_mapped(Window) && gtk_window_is_active(GTK_WINDOW(Window)); }, 10);
    RunFor(0.05);
    return Active;
}

void TapKey(guint Keyval, guint State) {
    Display* X = XDisplayOf();
    std::vector<KeyCode> Modifiers;
    if (State & GDK_CONTROL_MASK)
        Modifiers.push_back(XKeysymToKeycode(X, XK_Control_L));
    if (State & GDK_SHIFT_MASK)
        Modifiers.push_back(XKeysymToKeycode(X, XK_Shift_L));
    if (State & GDK_MOD1_MASK)
        Modifiers.push_back(XKeysymToKeycode(X, XK_Alt_L));
    const KeyCode Code = XKeysymToKeycode(X, static_cast<KeySym>(Keyval));
    for (KeyCode Modifier : Modifiers)
        XTestFakeKeyEvent(X, Modifier, True, CurrentTime);
    XTestFakeKeyEvent(X, Code, True, CurrentTime);
    XTestFakeKeyEvent(X, Code, False, CurrentTime);
    for (auto Modifier = Modifiers.rbegin(); Modifier != Modifiers.rend(); ++Modifier)
        XTestFakeKeyEvent(X, *Modifier, False, CurrentTime);
    Flush(0.1);
}

void Click(GtkWidget* Widget, int X, int Y, guint Button) {
    GdkWindow* Window = gtk_widget_get_window(Widget);
    int RootX = 0, RootY = 0;
    gdk_window_get_origin(Window, &RootX, &RootY);
    if (!gtk_widget_get_has_window(Widget)) {
        GtkAllocation Area;
        gtk_widget_get_allocation(Widget, &Area);
        RootX += Area.x;
        RootY += Area.y;
    }
    Display* Server = XDisplayOf();
    XTestFakeMotionEvent(Server, -1, RootX + X, RootY + Y, CurrentTime);
    Flush(0.05);
    XTestFakeButtonEvent(Server, Button, True, CurrentTime);
    Flush(0.05);
    XTestFakeButtonEvent(Server, Button, False, CurrentTime);
    Flush(0.1);
}

} // namespace Input

} // namespace Norvane::Testing::EngineHarness
