// Control bases on GTK.
#include "platform/ui/Controls.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Forms.h"

#include <algorithm>
#include <cstdio>

namespace Norvane::Platform::Ui {

using namespace Gtk;

namespace {

const char* CursorName(TCursor Cursor) {
    switch (Cursor) {
    case TCursor::crDefault:
        return nullptr;
    case TCursor::crArrow:
        return "default";
    case TCursor::crAppStart:
        return "progress";
    case TCursor::crHourGlass:
        return "wait";
    case TCursor::crIBeam:
        return "text";
    case TCursor::crHandPoint:
        return "pointer";
    case TCursor::crCross:
        return "crosshair";
    case TCursor::crNo:
        return "not-allowed";
    }
    return nullptr;
}

void OnControlRealize(GtkWidget*, gpointer Data) {
    Guard([&] { static_cast<TWinControl*>(Data)->HandleRealized(); });
}

std::string CssColor(TColor Color) {
    TRgb rgb = ColorToRgb(Color);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", rgb.R, rgb.G, rgb.B);
    return buffer;
}

} // namespace

// TControl.

TControl::TControl(TComponent* AOwner, void* AWidget) : TComponent(AOwner), FWidget(AWidget) {
    EnsureToolkit();
    g_object_ref_sink(FWidget);
    g_object_set_data(G_OBJECT(FWidget), ControlKey, this);
    gtk_widget_show(W(FWidget));
}

TControl::~TControl() {
    // The active control goes without being told it lost the focus: only its
    // base part is left by now.
    if (TCustomForm* form = GetParentForm(); form && form != this)
        form->ControlDestroyed(this);
    if (FParent)
        FParent->RemoveControl(this);
    if (FWidget) {
        g_signal_handlers_disconnect_matched(FWidget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        g_object_set_data(G_OBJECT(FWidget), ControlKey, nullptr);
        if (GtkWidget* parent = gtk_widget_get_parent(W(FWidget)))
            gtk_container_remove(GTK_CONTAINER(parent), W(FWidget));
        gtk_widget_destroy(W(FWidget));
        g_object_unref(FWidget);
        FWidget = nullptr;
    }
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent)
        return;
    if (AParent && !AParent->Handle())
        throw EUiError("The control cannot hold other controls");
    if (FParent) {
        TWinControl* old = FParent;
        old->RemoveControl(this);
        if (gtk_widget_get_parent(W(FWidget)) == W(old->Handle()))
            gtk_container_remove(GTK_CONTAINER(old->Handle()), W(FWidget));
    }
    if (AParent) {
        AParent->InsertControl(this);
        gtk_container_add(GTK_CONTAINER(AParent->Handle()), W(FWidget));
    }
}

void TControl::ApplyVisible() {
    gtk_widget_set_visible(W(FWidget), FVisible);
}

bool TControl::Showing() const {
    return FWidget && gtk_widget_is_visible(W(FWidget));
}

void TControl::SetEnabled(bool Value) {
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    gtk_widget_set_sensitive(W(FWidget), Value);
    EnabledChanged();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    bool resized = AWidth != FWidth || AHeight != FHeight;
    bool moved = ALeft != FLeft || ATop != FTop;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (resized || moved)
        RequestLayout();
    if (resized)
        Resize();
}

void TControl::RequestLayout() {
    if (FParent && FParent->Handle())
        gtk_widget_queue_resize(W(FParent->Handle()));
}

void TControl::ApplyColor() {
    if (FColor == clDefault || FColor == clNone)
        SetWidgetCss(W(FWidget), {});
    else
        SetWidgetCss(W(FWidget), "* { background-color: " + CssColor(FColor) + "; background-image: none; }");
}

void TControl::ApplyCursor() {
    GtkWidget* widget = W(FWidget);
    if (!gtk_widget_get_realized(widget) || !gtk_widget_get_has_window(widget))
        return;
    GdkWindow* window = gtk_widget_get_window(widget);
    const char* name = CursorName(FCursor);
    GdkCursor* cursor = name ? gdk_cursor_new_from_name(gdk_window_get_display(window), name) : nullptr;
    gdk_window_set_cursor(window, cursor);
    if (cursor)
        g_object_unref(cursor);
}

TControl* TControl::FromWidget(void* Widget) {
    auto* widget = static_cast<GtkWidget*>(Widget);
    while (widget) {
        if (auto* control = static_cast<TControl*>(g_object_get_data(G_OBJECT(widget), ControlKey)))
            return control;
        widget = gtk_widget_get_parent(widget);
    }
    return nullptr;
}

// TWinControl.

TWinControl::TWinControl(TComponent* AOwner) : TWinControl(AOwner, NewAlignBox(), nullptr) {
    FContainer = FWidget;
    AlignBoxSetTakesFocus(W(FWidget), true);
}

void TWinControl::SetTakesFocus(bool Value) {
    if (FContainer && FContainer == FWidget)
        AlignBoxSetTakesFocus(W(FContainer), Value);
}

TWinControl::TWinControl(TComponent* AOwner, void* AWidget, void* AContainer)
    : TControl(AOwner, AWidget), FContainer(AContainer) {
    ConnectContainer();
}

void TWinControl::ConnectContainer() {
    Connect(FWidget, "realize", OnControlRealize, this, true);
}

TWinControl::~TWinControl() {
    while (!FControls.empty())
        delete FControls.back();
}

bool TWinControl::HandleAllocated() const {
    if (auto* form = dynamic_cast<const TCustomForm*>(this); form && !form->IsEmbedded())
        return form->NativeWindow() && gtk_widget_get_realized(W(form->NativeWindow()));
    return FWidget && gtk_widget_get_realized(W(FWidget));
}

void TWinControl::HandleRealized() {
    if (auto* form = dynamic_cast<TCustomForm*>(this); form && !form->IsEmbedded())
        return; // a top-level form runs CreateWnd when its window is realized
    ApplyCursor();
    CreateWnd();
}

void TWinControl::ApplyColor() {
    if (FContainer && IsAlignBox(W(FContainer))) {
        bool has = Color() != clDefault && Color() != clNone;
        AlignBoxSetBackground(W(FContainer), has, has ? ColorToRgb(Color()) : TRgb{});
    } else {
        TControl::ApplyColor();
    }
}

bool TWinControl::Focused() const {
    GtkWidget* top = gtk_widget_get_toplevel(W(FWidget));
    if (!GTK_IS_WINDOW(top))
        return false;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
    return focus && FromWidget(focus) == this;
}

bool TWinControl::CanFocus() const {
    return Visible() && Enabled() && gtk_widget_is_sensitive(W(FWidget)) && gtk_widget_is_visible(W(FWidget));
}

void TWinControl::SetFocus() {
    if (!CanFocus() || Focused())
        return;
    if (gtk_widget_get_can_focus(W(FWidget)))
        gtk_widget_grab_focus(W(FWidget));
    else
        gtk_widget_child_focus(W(FWidget), GTK_DIR_TAB_FORWARD);
}

} // namespace Norvane::Platform::Ui
