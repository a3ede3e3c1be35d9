// Forms on GTK: a GtkWindow holding a vertical box with the menu bar and the
// client container.
#include "platform/ui/Forms.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Application.h"
#include "platform/ui/Menus.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace Norvane::Platform::Ui {

using namespace Gtk;

namespace {

std::set<TCustomForm*>& LiveForms() {
    static std::set<TCustomForm*> forms;
    return forms;
}

// Frame sizes learned from shown windows, by whether they are decorated: the
// estimate for a window not yet managed.
int LearnedFrameW[2] = {0, 0};
int LearnedFrameH[2] = {0, 0};

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer Data) {
    Guard([&] { static_cast<TCustomForm*>(Data)->HandleDeleteRequest(); });
    return TRUE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* Event, gpointer Data) {
    Guard([&] {
        static_cast<TCustomForm*>(Data)->HandleWindowState(Event->new_window_state, Event->changed_mask);
    });
    return FALSE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* Event, gpointer Data) {
    Guard([&] {
        static_cast<TCustomForm*>(Data)->HandleConfigure(Event->x, Event->y, Event->width, Event->height);
    });
    return FALSE;
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* Event, gpointer Data) {
    return GuardOr<gboolean>(FALSE, [&] { return static_cast<TCustomForm*>(Data)->HandleKeyPress(Event); });
}

void OnSetFocus(GtkWindow*, GtkWidget* Widget, gpointer Data) {
    Guard([&] { static_cast<TCustomForm*>(Data)->HandleFocusWidget(Widget); });
}

void OnWindowRealize(GtkWidget*, gpointer Data) {
    Guard([&] { static_cast<TCustomForm*>(Data)->HandleWindowRealized(); });
}

gboolean OnMap(GtkWidget*, GdkEvent*, gpointer Data) {
    Guard([&] { static_cast<TCustomForm*>(Data)->HandleMapped(); });
    return FALSE;
}

void OnActiveChanged(GObject*, GParamSpec*, gpointer Data) {
    Guard([&] { static_cast<TCustomForm*>(Data)->HandleActiveChanged(); });
}

int MenuBarHeight(TMainMenu* Menu) {
    if (!Menu || !Menu->Widget() || !gtk_widget_get_visible(W(Menu->Widget())))
        return 0;
    if (gtk_widget_get_mapped(W(Menu->Widget())))
        return gtk_widget_get_allocated_height(W(Menu->Widget()));
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(W(Menu->Widget()), &minimum, &natural);
    return natural;
}

// The window-manager state bits that make a window maximized (or, for the
// borderless style, full screen).
constexpr unsigned FilledStates = GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN;

// What the window manager draws around the window: nothing for a window that
// draws its own title bar, else what its border style asks for.
GdkWMDecoration WindowManagerDecorations(GtkWindow* Window) {
    if (gtk_window_get_titlebar(Window))
        return static_cast<GdkWMDecoration>(0);
    return static_cast<GdkWMDecoration>(
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(Window), "norvane-decorations")));
}

TWindowState StateOfNative(unsigned State) {
    if (State & GDK_WINDOW_STATE_ICONIFIED)
        return TWindowState::wsMinimized;
    return (State & FilledStates) ? TWindowState::wsMaximized : TWindowState::wsNormal;
}

} // namespace

bool IsLiveForm(const TCustomForm* Form) {
    return LiveForms().count(const_cast<TCustomForm*>(Form)) != 0;
}

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner, NewWidget([] { return gtk_box_new(GTK_ORIENTATION_VERTICAL, 0); }), NewAlignBox()) {
    LiveForms().insert(this);
    FOuterBox = FWidget;
    gtk_box_pack_end(GTK_BOX(FOuterBox), W(FContainer), TRUE, TRUE, 0);
    gtk_widget_show(W(FContainer));

    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(FWindow);
    g_object_set_data(G_OBJECT(FWindow), ControlKey, this);
    gtk_container_add(GTK_CONTAINER(FWindow), W(FOuterBox));
    Connect(FWindow, "delete-event", OnDelete, this);
    Connect(FWindow, "window-state-event", OnWindowState, this);
    Connect(FWindow, "configure-event", OnConfigure, this);
    Connect(FWindow, "key-press-event", OnKeyPress, this);
    Connect(FWindow, "set-focus", OnSetFocus, this, true);
    Connect(FWindow, "realize", OnWindowRealize, this, true);
    Connect(FWindow, "map-event", OnMap, this);
    Connect(FWindow, "notify::is-active", OnActiveChanged, this);

    TControl::SetVisible(false);
    FClientW = 320;
    FClientH = 240;
    gtk_window_set_default_size(GTK_WINDOW(FWindow), FClientW, FClientH);
    UpdateBoundsFromLayout(0, 0, FClientW, FClientH);
    FOuterSizePending = false;
    gtk_style_context_add_class(gtk_widget_get_style_context(W(FWindow)), StyledWindowClass);
    ApplyBorderStyle();
    ApplyGeometryHints();
    ApplyTitleBar();
}

TCustomForm::~TCustomForm() {
    BeforeDestruction();
    if (FModalLoop)
        g_main_loop_quit(static_cast<GMainLoop*>(FModalLoop));
    Application().FormDestroyed(this);
    LiveForms().erase(this);
    if (FMenu)
        SetMenu(nullptr);
    while (ControlCount() > 0)
        delete Controls(ControlCount() - 1);
    if (FRegion)
        cairo_region_destroy(static_cast<cairo_region_t*>(FRegion));
    if (FWindow) {
        g_signal_handlers_disconnect_matched(FWindow, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        if (gtk_widget_get_parent(W(FOuterBox)) == W(FWindow))
            gtk_container_remove(GTK_CONTAINER(FWindow), W(FOuterBox));
        g_object_set_data(G_OBJECT(FWindow), ControlKey, nullptr);
        gtk_widget_destroy(W(FWindow));
        g_object_unref(FWindow);
        FWindow = nullptr;
    }
}

void TCustomForm::SetCaption(const std::string& Value) {
    FCaption = Value;
    gtk_window_set_title(GTK_WINDOW(FWindow), Value.c_str());
}

// Geometry.

int TCustomForm::FrameWidth() const {
    return FFrameKnown ? FFrameW : LearnedFrameW[FBorderStyle != TBorderStyle::bsNone];
}
int TCustomForm::FrameHeight() const {
    return FFrameKnown ? FFrameH : LearnedFrameH[FBorderStyle != TBorderStyle::bsNone];
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (IsEmbedded()) {
        TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
        return;
    }
    ClampToConstraints(AWidth, AHeight);
    bool moved = ALeft != Left() || ATop != Top();
    UpdateBoundsFromLayout(ALeft, ATop, AWidth, AHeight);
    RememberNormalPlace();
    FOuterSizePending = !FFrameKnown;
    ApplyOuterSize();
    if (moved && FShownOnce && Visible())
        gtk_window_move(GTK_WINDOW(FWindow), ALeft, ATop);
}

void TCustomForm::ApplyOuterSize() {
    int windowW = std::max(1, Width() - FrameWidth());
    int windowH = std::max(1, Height() - FrameHeight());
    FClientW = windowW;
    FClientH = std::max(0, windowH - MenuBarHeight(FMenu));
    gtk_window_set_default_size(GTK_WINDOW(FWindow), windowW, windowH);
    gtk_window_resize(GTK_WINDOW(FWindow), windowW, windowH);
    FFixedW = windowW;
    FFixedH = windowH;
    FResizesUndone = 0;
}

int TCustomForm::ClientWidth() const {
    if (IsEmbedded())
        return gtk_widget_get_realized(W(FContainer)) ? gtk_widget_get_allocated_width(W(FContainer))
                                                      : Width();
    return FClientW;
}

int TCustomForm::ClientHeight() const {
    if (IsEmbedded())
        return gtk_widget_get_realized(W(FContainer)) ? gtk_widget_get_allocated_height(W(FContainer))
                                                      : Height();
    return FClientH;
}

void TCustomForm::SetClientSize(int AWidth, int AHeight) {
    if (IsEmbedded()) {
        TControl::SetBounds(Left(), Top(), AWidth, AHeight);
        return;
    }
    int menu = MenuBarHeight(FMenu);
    int outerW = AWidth + FrameWidth(), outerH = AHeight + menu + FrameHeight();
    ClampToConstraints(outerW, outerH);
    FClientW = outerW - FrameWidth();
    FClientH = outerH - FrameHeight() - menu;
    FOuterSizePending = false;
    UpdateBoundsFromLayout(Left(), Top(), outerW, outerH);
    gtk_window_set_default_size(GTK_WINDOW(FWindow), FClientW, FClientH + menu);
    gtk_window_resize(GTK_WINDOW(FWindow), std::max(1, FClientW), std::max(1, FClientH + menu));
}

void TCustomForm::SetConstraints(const TSizeConstraints& Value) {
    FConstraints = Value;
    ApplyGeometryHints();
    int w = Width(), h = Height();
    ClampToConstraints(w, h);
    if (w != Width() || h != Height())
        SetBounds(Left(), Top(), w, h);
}

void TCustomForm::ApplyGeometryHints() {
    GdkGeometry geometry{};
    int fw = FrameWidth(), fh = FrameHeight();
    geometry.min_width = FConstraints.MinWidth > 0 ? std::max(1, FConstraints.MinWidth - fw) : 1;
    geometry.min_height = FConstraints.MinHeight > 0 ? std::max(1, FConstraints.MinHeight - fh) : 1;
    geometry.max_width =
        FConstraints.MaxWidth > 0 ? std::max(geometry.min_width, FConstraints.MaxWidth - fw) : G_MAXSHORT;
    geometry.max_height =
        FConstraints.MaxHeight > 0 ? std::max(geometry.min_height, FConstraints.MaxHeight - fh) : G_MAXSHORT;
    gtk_window_set_geometry_hints(GTK_WINDOW(FWindow), nullptr, &geometry,
                                  static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
}

void TCustomForm::HandleConfigure(int, int, int AWidth, int AHeight) {
    GdkWindow* window = gtk_widget_get_window(W(FWindow));
    if (!window || IsEmbedded())
        return;
    int l = 0, r = 0, t = 0, b = 0;
    bool managed = ReadFrameExtents(window, l, r, t, b);
    // A window that draws its own title bar holds that bar and its frame
    // inside the native window: they count as frame, and the content starts
    // inside them. The toolkit's size of the window leaves them out.
    if (gtk_window_get_titlebar(GTK_WINDOW(FWindow)) && gtk_window_get_decorated(GTK_WINDOW(FWindow))) {
        int contentW = 0, contentH = 0;
        gtk_window_get_size(GTK_WINDOW(FWindow), &contentW, &contentH);
        const int dw = std::max(0, AWidth - contentW), dh = std::max(0, AHeight - contentH);
        const int side = dw / 2, bottom = std::min(side, dh);
        AWidth -= dw;
        AHeight -= dh;
        l += side;
        r += dw - side;
        b += bottom;
        t += dh - bottom;
        FOwnFrameLeft = side;
        FOwnFrameTop = dh - bottom;
    } else {
        FOwnFrameLeft = FOwnFrameTop = 0;
    }
    bool frameChanged = false;
    if (managed || !WindowManagerReportsFrames(window)) {
        frameChanged = !FFrameKnown || FFrameW != l + r || FFrameH != t + b;
        FFrameKnown = true;
        FFrameW = l + r;
        FFrameH = t + b;
        LearnedFrameW[FBorderStyle != TBorderStyle::bsNone] = FFrameW;
        LearnedFrameH[FBorderStyle != TBorderStyle::bsNone] = FFrameH;
    }
    if (frameChanged)
        ApplyGeometryHints();
    if (FFrameKnown && FOuterSizePending) {
        FOuterSizePending = false;
        ApplyOuterSize();
        if (AWidth != FClientW || AHeight != FClientH + MenuBarHeight(FMenu))
            return; // the window follows with the corrected size
    }
    if (FFrameKnown && FPositionPending) {
        FPositionPending = false;
        ApplyPositionOnFirstShow();
    }
    // The single border keeps its size in the normal state. X11 window
    // managers maximize only a window they may resize, so it is resizable
    // for them but has no resize handles, and a resize that reaches it
    // anyway (a key binding, a client's request) is undone; a window manager
    // that insists (a tiling one) wins after three tries.
    if (FBorderStyle == TBorderStyle::bsSingle && FFrameKnown && FFixedW > 0 &&
        FWindowState == TWindowState::wsNormal &&
        !(gdk_window_get_state(window) & (FilledStates | GDK_WINDOW_STATE_ICONIFIED))) {
        if (AWidth == FFixedW && AHeight == FFixedH) {
            FResizesUndone = 0;
        } else if (FResizesUndone < 3) {
            ++FResizesUndone;
            // Straight to the window: the toolkit sends nothing for a size
            // it asked for before.
            gdk_window_resize(window, FFixedW, FFixedH);
            return;
        }
    }
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    x += FOwnFrameLeft;
    y += FOwnFrameTop;
    if (!FFrameKnown) {
        // Not yet managed: the outer bounds asked for stay until the frame is known.
        FClientW = AWidth;
        FClientH = std::max(0, AHeight - MenuBarHeight(FMenu));
        return;
    }
    FClientW = AWidth;
    FClientH = std::max(0, AHeight - MenuBarHeight(FMenu));
    UpdateBoundsFromLayout(x - l, y - t, AWidth + FFrameW, AHeight + FFrameH);
    // The place in the normal state, for mapping the window again there.
    if (FWindowState == TWindowState::wsNormal &&
        !(gdk_window_get_state(window) & (FilledStates | GDK_WINDOW_STATE_ICONIFIED)))
        RememberNormalPlace();
}

void TCustomForm::ApplyPositionOnFirstShow() {
    int w = Width(), h = Height();
    auto centerOn = [&](TRect r) {
        int x = r.Left + (r.Width() - w) / 2;
        int y = r.Top + (r.Height() - h) / 2;
        UpdateBoundsFromLayout(x, y, w, h);
        RememberNormalPlace();
        gtk_window_move(GTK_WINDOW(FWindow), x, y);
        if (!FFrameKnown)
            FPositionPending = true;
    };
    switch (FPosition) {
    case TPosition::poDesigned:
    case TPosition::poDefaultSizeOnly:
        gtk_window_move(GTK_WINDOW(FWindow), Left(), Top());
        break;
    case TPosition::poDefault:
    case TPosition::poDefaultPosOnly:
        break;
    case TPosition::poScreenCenter:
        centerOn(TScreen::WorkArea());
        break;
    case TPosition::poDesktopCenter:
        centerOn(TScreen::DesktopRect());
        break;
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter: {
        TCustomForm* main = Application().MainForm();
        if (FPosition == TPosition::poOwnerFormCenter)
            if (auto* owner = dynamic_cast<TCustomForm*>(Owner()))
                main = owner;
        if (main && main != this && main->Visible() && !main->IsEmbedded())
            centerOn(
                TRect{main->Left(), main->Top(), main->Left() + main->Width(), main->Top() + main->Height()});
        else
            centerOn(TScreen::WorkArea());
        break;
    }
    }
}

// Border style, state and order.

void TCustomForm::ApplyBorderStyle() {
    auto* window = GTK_WINDOW(FWindow);
    GdkWindowTypeHint hint = GDK_WINDOW_TYPE_HINT_NORMAL;
    GdkWMDecoration decorations = GDK_DECOR_ALL;
    GdkWMFunction functions = GDK_FUNC_ALL;
    switch (FBorderStyle) {
    case TBorderStyle::bsNone:
        decorations = static_cast<GdkWMDecoration>(0);
        functions = static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE | GDK_FUNC_MAXIMIZE |
                                               GDK_FUNC_CLOSE);
        break;
    case TBorderStyle::bsSingle:
        // Resizable for the window manager, which maximizes nothing else; no
        // resize handles, and other resizes are undone (HandleConfigure).
        decorations = static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU |
                                                   GDK_DECOR_MINIMIZE | GDK_DECOR_MAXIMIZE);
        functions = static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_RESIZE | GDK_FUNC_MINIMIZE |
                                               GDK_FUNC_MAXIMIZE | GDK_FUNC_CLOSE);
        break;
    case TBorderStyle::bsSizeable:
        break;
    case TBorderStyle::bsDialog:
        hint = GDK_WINDOW_TYPE_HINT_DIALOG;
        decorations = static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU);
        functions = static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE);
        break;
    case TBorderStyle::bsToolWindow:
        hint = GDK_WINDOW_TYPE_HINT_UTILITY;
        decorations = static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE);
        functions = static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE);
        break;
    case TBorderStyle::bsSizeToolWin:
        hint = GDK_WINDOW_TYPE_HINT_UTILITY;
        decorations = static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_RESIZEH);
        functions = static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_RESIZE | GDK_FUNC_CLOSE);
        break;
    }
    bool mapped = gtk_widget_get_mapped(W(FWindow));
    // The window manager reads the window type when the window is mapped: a
    // shown window is unmapped and mapped again in place for a new type.
    bool remap = mapped && gtk_window_get_type_hint(window) != hint;
    // A maximized or full-screen window mapped again comes back at its place
    // in the normal state, which the window manager forgets when it is unmapped.
    bool filled = mapped && (gdk_window_get_state(gtk_widget_get_window(W(FWindow))) & FilledStates);
    int x = filled ? FNormalLeft : Left(), y = filled ? FNormalTop : Top();
    if (remap)
        gtk_widget_hide(W(FWindow));
    gtk_window_set_type_hint(window, hint);
    gtk_window_set_decorated(window, FBorderStyle != TBorderStyle::bsNone);
    gtk_window_set_skip_taskbar_hint(window, hint == GDK_WINDOW_TYPE_HINT_UTILITY);
    g_object_set_data(G_OBJECT(FWindow), "norvane-decorations", GINT_TO_POINTER(decorations));
    if (GdkWindow* native = gtk_widget_get_window(W(FWindow)))
        gdk_window_set_decorations(native, WindowManagerDecorations(window));
    FStyleFunctions = functions;
    FFunctions = -1;
    ApplyWindowFunctions();
    if (mapped)
        FFrameKnown = false; // read again from the window manager
    ApplyMenuVisibility();
    // Maximized means full screen for the borderless style only: a shown
    // maximized window takes the way that fits its new style.
    if (FShownOnce && FWindowState == TWindowState::wsMaximized)
        ApplyWindowStateNative();
    if (remap) {
        gtk_window_move(window, x, y);
        gtk_widget_show(W(FWindow));
    }
}

void TCustomForm::ApplyWindowFunctions() {
    // A window manager maximizes only a window that it may resize: a style of
    // a fixed size may be resized while the window is (or is asked to be)
    // maximized or full screen, and is fixed again once the window manager
    // reports it back in the normal state.
    int functions = FStyleFunctions;
    GdkWindow* native = gtk_widget_get_window(W(FWindow));
    bool filled = FWindowState == TWindowState::wsMaximized ||
                  (native && (gdk_window_get_state(native) & FilledStates));
    if (filled && functions != GDK_FUNC_ALL)
        functions |= GDK_FUNC_RESIZE | GDK_FUNC_MAXIMIZE;
    if (functions == FFunctions)
        return;
    FFunctions = functions;
    g_object_set_data(G_OBJECT(FWindow), "norvane-functions", GINT_TO_POINTER(functions));
    if (native)
        gdk_window_set_functions(native, static_cast<GdkWMFunction>(functions));
}

TWindowState TCustomForm::WindowState() const {
    // A shown window is in the state its window manager reports, which
    // catches up with a change asked for once the window manager has made it.
    GdkWindow* native = IsEmbedded() ? nullptr : gtk_widget_get_window(W(FWindow));
    if (!native || (gdk_window_get_state(native) & GDK_WINDOW_STATE_WITHDRAWN))
        return FWindowState;
    return StateOfNative(gdk_window_get_state(native));
}

void TCustomForm::SetWindowState(TWindowState Value) {
    FWindowState = Value;
    ApplyWindowFunctions(); // before the request, so that the window manager can grant it
    ApplyWindowStateNative();
}

void TCustomForm::ApplyWindowStateNative() {
    if (IsEmbedded())
        return;
    auto* window = GTK_WINDOW(FWindow);
    GdkWindow* native = gtk_widget_get_mapped(W(FWindow)) ? gtk_widget_get_window(W(FWindow)) : nullptr;
    FMaximizeAfterFullscreen = false;
    switch (FWindowState) {
    case TWindowState::wsMinimized:
        gtk_window_iconify(window);
        break;
    case TWindowState::wsMaximized:
        gtk_window_deiconify(window);
        // A borderless window maximized covers the whole screen, as on Windows;
        // any other fills the work area. A window manager that leaves full
        // screen may bring back the state from before it: a full-screen
        // window is maximized once it has left full screen.
        if (FBorderStyle == TBorderStyle::bsNone) {
            gtk_window_fullscreen(window);
        } else if (native && (gdk_window_get_state(native) & GDK_WINDOW_STATE_FULLSCREEN)) {
            FMaximizeAfterFullscreen = true;
            gtk_window_unfullscreen(window);
        } else {
            gtk_window_unfullscreen(window);
            gtk_window_maximize(window);
        }
        break;
    case TWindowState::wsNormal:
        gtk_window_deiconify(window);
        gtk_window_unfullscreen(window);
        gtk_window_unmaximize(window);
        break;
    }
}

void TCustomForm::HandleWindowState(unsigned NewState, unsigned Changed) {
    if (NewState & GDK_WINDOW_STATE_WITHDRAWN)
        return;
    constexpr unsigned StateBits = GDK_WINDOW_STATE_ICONIFIED | FilledStates;
    if (!(Changed & StateBits))
        return; // focus and the like
    if (FMaximizeAfterFullscreen && !(NewState & GDK_WINDOW_STATE_FULLSCREEN)) {
        FMaximizeAfterFullscreen = false;
        if (!(NewState & GDK_WINDOW_STATE_MAXIMIZED)) {
            gtk_window_maximize(GTK_WINDOW(FWindow));
            return; // the maximized window's report follows
        }
    }
    TWindowState before = StateOfNative(NewState ^ Changed);
    FWindowState = StateOfNative(NewState);
    ApplyWindowFunctions();
    if (FWindowState == before)
        return; // between maximized and full screen
    if (Changed & GDK_WINDOW_STATE_ICONIFIED)
        NotifySysCommand(FWindowState == TWindowState::wsMinimized ? SC_MINIMIZE : SC_RESTORE);
    else
        NotifySysCommand(FWindowState == TWindowState::wsMaximized ? SC_MAXIMIZE : SC_RESTORE);
    if (OnWindowStateChange)
        OnWindowStateChange(this);
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
    FFormStyle = Value;
    gtk_window_set_keep_above(GTK_WINDOW(FWindow), Value == TFormStyle::fsStayOnTop);
}

void TCustomForm::SetMenu(TMainMenu* Value) {
    if (FMenu == Value)
        return;
    if (FMenu && FMenu->Widget() && gtk_widget_get_parent(W(FMenu->Widget())) == W(FOuterBox))
        gtk_container_remove(GTK_CONTAINER(FOuterBox), W(FMenu->Widget()));
    TMainMenu* old = FMenu;
    FMenu = nullptr;
    if (old && old->OwnerForm() == this)
        old->SetOwnerForm(nullptr);
    if (Value) {
        if (TCustomForm* other = Value->OwnerForm())
            other->SetMenu(nullptr);
        FMenu = Value;
        Value->SetOwnerForm(this);
        gtk_box_pack_start(GTK_BOX(FOuterBox), W(Value->Widget()), FALSE, FALSE, 0);
    }
    ApplyMenuVisibility();
}

void TCustomForm::ApplyMenuVisibility() {
    if (!FMenu || !FMenu->Widget())
        return;
    // A dialog frame and an embedded form show no menu bar.
    gtk_widget_set_visible(W(FMenu->Widget()), FBorderStyle != TBorderStyle::bsDialog && !IsEmbedded());
}

void TCustomForm::SetCursor(TCursor Value) {
    TControl::SetCursor(Value);
    if (GdkWindow* window = gtk_widget_get_window(W(FWindow))) {
        const char* name = Value == TCursor::crAppStart    ? "progress"
                           : Value == TCursor::crHourGlass ? "wait"
                           : Value == TCursor::crArrow     ? "default"
                           : Value == TCursor::crHandPoint ? "pointer"
                           : Value == TCursor::crIBeam     ? "text"
                                                           : nullptr;
        GdkCursor* cursor = name ? gdk_cursor_new_from_name(gdk_window_get_display(window), name) : nullptr;
        gdk_window_set_cursor(window, cursor);
        if (cursor)
            g_object_unref(cursor);
    }
}

// Keys and focus.

bool TCustomForm::HandleKeyPress(void* Event) {
    auto* e = static_cast<GdkEventKey*>(Event);
    TWMKey message = NativeKeyEventToMessage(e);
    if (FKeyPreview && OnKeyDown) {
        std::uint16_t key = message.CharCode;
        OnKeyDown(this, key, KeyDataToShiftState(message.KeyData));
        if (key == 0)
            return true;
    }
    if (IsShortCut(message))
        return true;
    TShiftState shift = KeyDataToShiftState(message.KeyData);
    if ((message.CharCode == VK_ESCAPE || message.CharCode == VK_RETURN) && (shift & (ssCtrl | ssAlt)) == 0) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(FWindow));
        if (ClickDefaultOrCancelButton(this, message.CharCode, focus && GTK_IS_BUTTON(focus)))
            return true;
    }
    return false;
}

void TCustomForm::HandleActiveChanged() {
    if (gtk_window_is_active(GTK_WINDOW(FWindow))) {
        if (OnActivate)
            OnActivate(this);
    } else if (OnDeactivate) {
        OnDeactivate(this);
    }
}

bool TCustomForm::Active() const {
    return FWindow && gtk_window_is_active(GTK_WINDOW(FWindow));
}

void TCustomForm::BringToFront() {
    if (IsEmbedded() || !Visible())
        return;
    // Restored when minimized, raised and focused. A request that comes from
    // no input event of ours (another process asked) carries the X server's
    // time, which window managers take as a fresh request rather than one
    // older than the user's last action.
    guint32 time = gtk_get_current_event_time();
    if (time == GDK_CURRENT_TIME)
        time = ServerTime(gtk_widget_get_window(W(FWindow)));
    gtk_window_present_with_time(GTK_WINDOW(FWindow), time);
}

// Showing, closing, modal loop.

void TCustomForm::ApplyVisible() {
    if (IsEmbedded()) {
        gtk_widget_set_visible(W(FOuterBox), Visible());
        return;
    }
    if (Visible()) {
        if (!FShownOnce) {
            FShownOnce = true;
            if (FOuterSizePending)
                ApplyOuterSize();
            ApplyPositionOnFirstShow();
            ApplyWindowStateNative();
        }
        gtk_widget_show(W(FWindow));
        DoShow();
    } else {
        gtk_widget_hide(W(FWindow));
        DoHide();
    }
}

void TCustomForm::SetModalResult(TModalResult Value) {
    FModalResult = Value;
    if (FModalLoop && Value != mrNone)
        g_main_loop_quit(static_cast<GMainLoop*>(FModalLoop));
}

TModalResult TCustomForm::ShowModal() {
    AfterConstruction();
    if (FModalLoop)
        throw EUiError("The window is already shown modally");
    if (IsEmbedded())
        throw EUiError("An embedded window cannot be shown modally");
    FModalResult = mrNone;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    FModalLoop = loop;
    Application().RegisterModalLoop(loop);
    TCustomForm* active = Application().ActiveForm();
    if (active && active != this && !active->IsEmbedded())
        gtk_window_set_transient_for(GTK_WINDOW(FWindow), GTK_WINDOW(active->NativeWindow()));
    gtk_window_set_modal(GTK_WINDOW(FWindow), TRUE);
    bool alive = true;
    try {
        Show();
        for (;;) {
            if (Application().Terminated()) {
                FModalResult = mrCancel;
                break;
            }
            if (FModalResult != mrNone) {
                CloseModal();
                if (FModalResult != mrNone)
                    break;
                continue;
            }
            g_main_loop_run(loop);
            if (LiveForms().count(this) == 0) {
                alive = false;
                break;
            }
        }
    } catch (...) {
        Application().UnregisterModalLoop(loop);
        g_main_loop_unref(loop);
        // A handler that raised may have freed the form first.
        if (LiveForms().count(this) != 0) {
            FModalLoop = nullptr;
            gtk_window_set_modal(GTK_WINDOW(FWindow), FALSE);
        }
        throw;
    }
    Application().UnregisterModalLoop(loop);
    g_main_loop_unref(loop);
    if (!alive)
        return mrCancel;
    FModalLoop = nullptr;
    gtk_window_set_modal(GTK_WINDOW(FWindow), FALSE);
    gtk_window_set_transient_for(GTK_WINDOW(FWindow), nullptr);
    Hide();
    return FModalResult;
}

// Embedding.

void TCustomForm::SetParent(TWinControl* AParent) {
    if (AParent == Parent())
        return;
    if (AParent) {
        if (gtk_widget_get_parent(W(FOuterBox)) == W(FWindow)) {
            gtk_container_remove(GTK_CONTAINER(FWindow), W(FOuterBox));
            gtk_widget_hide(W(FWindow));
        }
        TControl::SetParent(AParent);
    } else {
        TControl::SetParent(nullptr);
        if (!gtk_widget_get_parent(W(FOuterBox)))
            gtk_container_add(GTK_CONTAINER(FWindow), W(FOuterBox));
        gtk_widget_show(W(FOuterBox));
    }
    ApplyMenuVisibility();
    ApplyVisible();
}

// Native window.

void TCustomForm::HandleWindowRealized() {
    GdkWindow* window = gtk_widget_get_window(W(FWindow));
    if (window) {
        gdk_window_set_decorations(window, WindowManagerDecorations(GTK_WINDOW(FWindow)));
        gdk_window_set_functions(window, static_cast<GdkWMFunction>(GPOINTER_TO_INT(
                                             g_object_get_data(G_OBJECT(FWindow), "norvane-functions"))));
        if (FDropShadow)
            SetCardinalProperty(window, "_NORVANE_DROP_SHADOW", 1);
    }
    if (Cursor() != TCursor::crDefault)
        SetCursor(Cursor());
    CreateWnd();
}

void TCustomForm::HandleMapped() {
    if (GdkWindow* window = gtk_widget_get_window(W(FWindow))) {
        gdk_window_set_decorations(window, WindowManagerDecorations(GTK_WINDOW(FWindow)));
        gdk_window_set_functions(window, static_cast<GdkWMFunction>(GPOINTER_TO_INT(
                                             g_object_get_data(G_OBJECT(FWindow), "norvane-functions"))));
    }
}

void TCustomForm::ApplyTitleBar() {
    if (IsEmbedded())
        return;
    auto* window = GTK_WINDOW(FWindow);
    const bool styled = StyleDrawsTitleBars();
    if (styled == (gtk_window_get_titlebar(window) != nullptr))
        return;
    const bool fixed = FBorderStyle == TBorderStyle::bsDialog || FBorderStyle == TBorderStyle::bsToolWindow ||
                       FBorderStyle == TBorderStyle::bsSizeToolWin;
    // The toolkit sets a title bar only on a window that is not realized.
    RebuildNativeWindow(
        [&] { SetStyledTitleBar(window, styled, fixed ? ":close" : ":minimize,maximize,close"); });
}

void Gtk::RestyleForms() {
    std::vector<TCustomForm*> forms(LiveForms().begin(), LiveForms().end());
    for (TCustomForm* form : forms)
        if (LiveForms().count(form)) {
            form->ApplyTitleBar();
            form->ReapplyColors();
        }
}

void TCustomForm::RecreateWnd() {
    if (IsEmbedded() || !gtk_widget_get_realized(W(FWindow)))
        return;
    RebuildNativeWindow([] {});
}

void TCustomForm::RebuildNativeWindow(const std::function<void()>& Change) {
    const bool realized = gtk_widget_get_realized(W(FWindow));
    const bool visible = gtk_widget_get_visible(W(FWindow));
    const int x = Left(), y = Top();
    if (visible)
        gtk_widget_hide(W(FWindow));
    if (realized)
        gtk_widget_unrealize(W(FWindow));
    Change();
    FFrameKnown = false;
    if (realized)
        gtk_widget_realize(W(FWindow));
    if (visible) {
        gtk_window_move(GTK_WINDOW(FWindow), x, y);
        gtk_widget_show(W(FWindow));
    }
}

bool TCustomForm::SetWindowRoundRectRegion(int X1, int Y1, int X2, int Y2, int Width, int Height) {
    if (X2 <= X1 || Y2 <= Y1)
        return false;
    cairo_region_t* region = cairo_region_create();
    double rx = Width / 2.0, ry = Height / 2.0;
    for (int y = Y1; y < Y2; ++y) {
        double inset = 0;
        double rowCenter = y + 0.5;
        double dy = 0;
        if (ry > 0 && rowCenter < Y1 + ry)
            dy = (Y1 + ry) - rowCenter;
        else if (ry > 0 && rowCenter > Y2 - ry)
            dy = rowCenter - (Y2 - ry);
        if (dy > 0 && rx > 0) {
            double f = std::min(1.0, dy / ry);
            inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - f * f));
        }
        int left = X1 + static_cast<int>(std::floor(inset + 0.5));
        int right = X2 - static_cast<int>(std::floor(inset + 0.5));
        if (right > left) {
            cairo_rectangle_int_t row{left, y, right - left, 1};
            cairo_region_union_rectangle(region, &row);
        }
    }
    if (FRegion)
        cairo_region_destroy(static_cast<cairo_region_t*>(FRegion));
    FRegion = region;
    gtk_widget_shape_combine_region(W(FWindow), region);
    return true;
}

void TCustomForm::ClearWindowRegion() {
    if (FRegion)
        cairo_region_destroy(static_cast<cairo_region_t*>(FRegion));
    FRegion = nullptr;
    gtk_widget_shape_combine_region(W(FWindow), nullptr);
}

void TCustomForm::SetDropShadow(bool Value) {
    FDropShadow = Value;
    if (GdkWindow* window = gtk_widget_get_window(W(FWindow))) {
        if (Value)
            SetCardinalProperty(window, "_NORVANE_DROP_SHADOW", 1);
        else
            DeleteProperty(window, "_NORVANE_DROP_SHADOW");
    }
}

bool TCustomForm::SetWindowCornerPreference(int Value) {
    GdkWindow* window = IsEmbedded() ? nullptr : gtk_widget_get_window(W(FWindow));
    if (!window)
        return false;
    SetCardinalProperty(window, "_NORVANE_WINDOW_CORNER_PREFERENCE", Value);
    auto* context = gtk_widget_get_style_context(W(FWindow));
    static const char* classes[] = {"norvane-corners-default", "norvane-corners-off", "norvane-corners-round",
                                    "norvane-corners-small"};
    for (const char* c : classes)
        gtk_style_context_remove_class(context, c);
    if (Value >= 0 && Value <= 3)
        gtk_style_context_add_class(context, classes[Value]);
    // Corners are drawn only by a decoration of the window's own (client-side)
    // on a compositing display; otherwise only the property remains.
    return gtk_style_context_has_class(context, "csd") &&
           gdk_screen_is_composited(gdk_window_get_screen(window));
}

} // namespace Norvane::Platform::Ui
