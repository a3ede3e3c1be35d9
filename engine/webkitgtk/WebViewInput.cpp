// The view: keyboard, wheel and focus.
#include "engine/webkitgtk/WebView.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "engine/webkitgtk/Keys.h"
#include "engine/webkitgtk/PageScripts.h"
#include "engine/webkitgtk/ViewHost.h"
#include "engine/webkitgtk/WebViewInternal.h"

#include <gdk/gdkkeysyms.h>

#include <cmath>
#include <memory>

#include <unistd.h>

namespace Norvane::Engine {

using namespace ViewInternal;

// ---------------------------------------------------------------------------
// Keyboard, wheel and focus
// ---------------------------------------------------------------------------

void TWebView::SetZoom(double Zoom) {
    if (FView)
        webkit_web_view_set_zoom_level(FView, Zoom);
}

void TWebView::StepZoom(int Direction) {
    const double Current = FView ? webkit_web_view_get_zoom_level(FView) : 1.0;
    double Target = Current;
    if (Direction > 0) {
        for (double Step : ZoomSteps)
            if (Step > Current + 0.001) {
                Target = Step;
                break;
            }
    } else {
        for (double Step : ZoomSteps)
            if (Step < Current - 0.001)
                Target = Step;
    }
    if (Target != Current)
        SetZoom(Target);
}

gboolean TWebView::OnKey(GtkWidget*, GdkEventKey* Event, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    const bool Press = Event->type == GDK_KEY_PRESS;
    if (Press && Event->time != 0) {
        // A press that the page did not handle comes back from WebKit as a
        // copy (same time stamp and key) to go on through the toolkit's own
        // handling. It was reported when it first arrived; it is no new press.
        const TKeyPress Id{Event->time, Event->hardware_keycode, Event->keyval};
        if (std::find(Self->FRecentPresses.begin(), Self->FRecentPresses.end(), Id) !=
            Self->FRecentPresses.end()) {
            if (Tracing())
                g_printerr("[engine] key keyval=%#x time=%u comes back unhandled\n", Event->keyval,
                           Event->time);
            return FALSE;
        }
        Self->FRecentPresses.push_back(Id);
        if (Self->FRecentPresses.size() > 32)
            Self->FRecentPresses.pop_front();
    }
    const bool WasDown = Self->FKeysDown.count(Event->hardware_keycode) > 0;
    if (Tracing())
        g_printerr("[engine] key %s keyval=%#x time=%u wasdown=%d\n", Press ? "press" : "release",
                   Event->keyval, Event->time, WasDown);
    if (Press)
        Self->FKeysDown.insert(Event->hardware_keycode);
    else
        Self->FKeysDown.erase(Event->hardware_keycode);

    const TKeyDescription Key = DescribeKeyEvent(Event, Press && WasDown);
    if (Key.IsAccelerator && Key.VirtualKey != 0 && !Self->FAcceleratorKeyPressed.Empty()) {
        auto Args =
            MakeComObject<TAcceleratorKeyPressedEventArgs>(Key.Kind, Key.VirtualKey, Key.LParam, Key.Status);
        Self->FAcceleratorKeyPressed.Fire([&](auto* H) { H->Invoke(Self->AsController(), Args.Get()); });
        if (Args->Handled() || !Self->Alive())
            return TRUE;
    }
    if (!Press)
        return FALSE;
    const bool Ctrl = (Event->state & GDK_CONTROL_MASK) != 0;
    const bool Shift = (Event->state & GDK_SHIFT_MASK) != 0;
    const bool Alt = (Event->state & GDK_MOD1_MASK) != 0;
    if (Self->FDevTools &&
        (Event->keyval == GDK_KEY_F12 ||
         (Ctrl && Shift && !Alt && (Event->keyval == GDK_KEY_I || Event->keyval == GDK_KEY_i)))) {
        webkit_web_inspector_show(webkit_web_view_get_inspector(Self->FView));
        return TRUE;
    }
    if (Self->FZoomControl && Ctrl && !Alt) {
        switch (Event->keyval) {
        case GDK_KEY_plus:
        case GDK_KEY_equal:
        case GDK_KEY_KP_Add:
            Self->StepZoom(+1);
            return TRUE;
        case GDK_KEY_minus:
        case GDK_KEY_underscore:
        case GDK_KEY_KP_Subtract:
            Self->StepZoom(-1);
            return TRUE;
        case GDK_KEY_0:
        case GDK_KEY_KP_0:
        case GDK_KEY_KP_Insert:
            Self->SetZoom(1.0);
            return TRUE;
        default:
            break;
        }
    }
    return FALSE;
}

gboolean TWebView::OnScroll(GtkWidget*, GdkEventScroll* Event, TWebView* Self) {
    if (!Self->FZoomControl || !(Event->state & GDK_CONTROL_MASK))
        return FALSE;
    switch (Event->direction) {
    case GDK_SCROLL_UP:
        Self->StepZoom(+1);
        break;
    case GDK_SCROLL_DOWN:
        Self->StepZoom(-1);
        break;
    case GDK_SCROLL_SMOOTH:
        Self->FScrollZoomDelta += Event->delta_y;
        while (Self->FScrollZoomDelta <= -1.0) {
            Self->StepZoom(+1);
            Self->FScrollZoomDelta += 1.0;
        }
        while (Self->FScrollZoomDelta >= 1.0) {
            Self->StepZoom(-1);
            Self->FScrollZoomDelta -= 1.0;
        }
        break;
    default:
        break;
    }
    return TRUE;
}

void TWebView::OnZoomChanged(GObject*, GParamSpec*, TWebView* Self) {
    const double Zoom = webkit_web_view_get_zoom_level(Self->FView);
    if (std::fabs(Zoom - Self->FZoom) < 1e-9)
        return;
    Self->FZoom = Zoom;
    const TComPtr<TWebView> Keep(Self);
    Self->FZoomFactorChanged.Fire([&](auto* H) { H->Invoke(Self->AsController(), nullptr); });
}

gboolean TWebView::OnFocusIn(GtkWidget*, GdkEventFocus*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FGotFocus.Fire([&](auto* H) { H->Invoke(Self->AsController(), nullptr); });
    return FALSE;
}

gboolean TWebView::OnFocusOut(GtkWidget*, GdkEventFocus*, TWebView* Self) {
    const TComPtr<TWebView> Keep(Self);
    Self->FLostFocus.Fire([&](auto* H) { H->Invoke(Self->AsController(), nullptr); });
    return FALSE;
}

// WebKit hands focus on (Tab past the page's last element) by asking the
// toplevel window to move focus; that is when the host is asked to take it.
gboolean TWebView::OnToplevelFocus(GtkWidget*, GtkDirectionType Direction, TWebView* Self) {
    if (Tracing())
        g_printerr("[engine] toplevel focus direction=%d view-focus=%d\n", static_cast<int>(Direction),
                   Self->FView ? gtk_widget_is_focus(GTK_WIDGET(Self->FView)) : -1);
    if (!Self->Alive() || !gtk_widget_is_focus(GTK_WIDGET(Self->FView)) ||
        (Direction != GTK_DIR_TAB_FORWARD && Direction != GTK_DIR_TAB_BACKWARD))
        return FALSE;
    // The Tab press that made the page hand focus over also comes back from
    // WebKit as unhandled; the toplevel must not move focus a second time for it.
    if (!Self->FRecentPresses.empty()) {
        const TKeyPress& Last = Self->FRecentPresses.back();
        if (Last.Keyval == GDK_KEY_Tab || Last.Keyval == GDK_KEY_ISO_Left_Tab ||
            Last.Keyval == GDK_KEY_KP_Tab)
            Self->FFocusHandedOverBy = Last;
    }
    const TComPtr<TWebView> Keep(Self);
    auto Args = MakeComObject<TMoveFocusRequestedEventArgs>(Direction == GTK_DIR_TAB_FORWARD
                                                                ? COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT
                                                                : COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS);
    Self->FMoveFocusRequested.Fire([&](auto* H) { H->Invoke(Self->AsController(), Args.Get()); });
    return Args->Handled() ? TRUE : FALSE;
}

gboolean TWebView::OnToplevelKey(GtkWidget*, GdkEventKey* Event, TWebView* Self) {
    if (!Self->FFocusHandedOverBy || Event->type != GDK_KEY_PRESS || Event->time == 0)
        return FALSE;
    const TKeyPress Id{Event->time, Event->hardware_keycode, Event->keyval};
    if (!(Id == *Self->FFocusHandedOverBy))
        return FALSE;
    Self->FFocusHandedOverBy.reset();
    return TRUE; // already turned into the hand-over
}

} // namespace Norvane::Engine
