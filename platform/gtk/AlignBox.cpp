// The align container: children laid out like the framework's controls.
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Controls.h"

#include <algorithm>
#include <vector>

namespace {

using Norvane::Platform::Ui::TAlign;
using Norvane::Platform::Ui::TControl;

struct NorvaneAlignBox {
    GtkContainer Parent;
    GList* Children;
    gboolean HasBackground;
    GdkRGBA Background;
};

struct NorvaneAlignBoxClass {
    GtkContainerClass ParentClass;
};

GType norvane_align_box_get_type();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE(NorvaneAlignBox, norvane_align_box, GTK_TYPE_CONTAINER)
#pragma GCC diagnostic pop

NorvaneAlignBox* Self(gpointer Widget) {
    return reinterpret_cast<NorvaneAlignBox*>(Widget);
}

TControl* ControlOf(GtkWidget* Child) {
    return static_cast<TControl*>(g_object_get_data(G_OBJECT(Child), Norvane::Platform::Ui::Gtk::ControlKey));
}

void AlignBoxAdd(GtkContainer* Container, GtkWidget* Child) {
    auto* self = Self(Container);
    self->Children = g_list_append(self->Children, Child);
    gtk_widget_set_parent(Child, GTK_WIDGET(Container));
}

void AlignBoxRemove(GtkContainer* Container, GtkWidget* Child) {
    auto* self = Self(Container);
    GList* link = g_list_find(self->Children, Child);
    if (!link)
        return;
    bool wasVisible = gtk_widget_get_visible(Child);
    gtk_widget_unparent(Child);
    self->Children = g_list_delete_link(self->Children, link);
    if (wasVisible && gtk_widget_get_visible(GTK_WIDGET(Container)))
        gtk_widget_queue_resize(GTK_WIDGET(Container));
}

void AlignBoxForall(GtkContainer* Container, gboolean /*IncludeInternals*/, GtkCallback Callback,
                    gpointer Data) {
    // The callback may remove the child: walk a copy.
    GList* copy = g_list_copy(Self(Container)->Children);
    for (GList* l = copy; l; l = l->next)
        Callback(GTK_WIDGET(l->data), Data);
    g_list_free(copy);
}

GType AlignBoxChildType(GtkContainer*) {
    return GTK_TYPE_WIDGET;
}

// Natural size: the bounding box of the absolutely placed children and the
// sum of the docked ones.
void Measure(GtkWidget* Widget, bool Horizontal, gint* Minimum, gint* Natural) {
    int extent = 0;
    int docked = 0;
    for (GList* l = Self(Widget)->Children; l; l = l->next) {
        auto* child = GTK_WIDGET(l->data);
        if (!gtk_widget_get_visible(child))
            continue;
        TControl* control = ControlOf(child);
        if (!control)
            continue;
        switch (control->Align()) {
        case TAlign::alNone:
            extent = std::max(extent, Horizontal ? control->Left() + control->Width()
                                                 : control->Top() + control->Height());
            break;
        case TAlign::alTop:
        case TAlign::alBottom:
            if (!Horizontal)
                docked += control->Height();
            break;
        case TAlign::alLeft:
        case TAlign::alRight:
            if (Horizontal)
                docked += control->Width();
            break;
        case TAlign::alClient:
            break;
        }
    }
    *Minimum = 0;
    *Natural = std::max(extent, docked);
}

void AlignBoxPreferredWidth(GtkWidget* Widget, gint* Minimum, gint* Natural) {
    Measure(Widget, true, Minimum, Natural);
}
void AlignBoxPreferredHeight(GtkWidget* Widget, gint* Minimum, gint* Natural) {
    Measure(Widget, false, Minimum, Natural);
}

void Place(GtkWidget* Child, GdkRectangle Rect) {
    GtkRequisition minimum;
    gtk_widget_get_preferred_size(Child, &minimum, nullptr);
    // Widgets styled without borders (thin bars) take the size asked for.
    if (!gtk_style_context_has_class(gtk_widget_get_style_context(Child), "norvane-thin")) {
        Rect.width = std::max(Rect.width, minimum.width);
        Rect.height = std::max(Rect.height, minimum.height);
    }
    gtk_widget_size_allocate(Child, &Rect);
}

void AlignBoxSizeAllocate(GtkWidget* Widget, GtkAllocation* Allocation) {
    gtk_widget_set_allocation(Widget, Allocation);
    const GtkAllocation whole = *Allocation;
    GdkRectangle rest = whole;
    std::vector<GtkWidget*> children;
    for (GList* l = Self(Widget)->Children; l; l = l->next)
        children.push_back(GTK_WIDGET(l->data));

    struct TPlaced {
        GtkWidget* Child;
        TControl* Control; // null for native content
        GdkRectangle Rect;
    };
    std::vector<TPlaced> placed;
    auto dock = [&](TAlign align) {
        for (GtkWidget* child : children) {
            TControl* control = ControlOf(child);
            if (!control || control->Align() != align || !gtk_widget_get_visible(child))
                continue;
            GdkRectangle r = rest;
            switch (align) {
            case TAlign::alTop:
                r.height = std::min(control->Height(), rest.height);
                rest.y += r.height;
                rest.height -= r.height;
                break;
            case TAlign::alBottom:
                r.height = std::min(control->Height(), rest.height);
                r.y = rest.y + rest.height - r.height;
                rest.height -= r.height;
                break;
            case TAlign::alLeft:
                r.width = std::min(control->Width(), rest.width);
                rest.x += r.width;
                rest.width -= r.width;
                break;
            case TAlign::alRight:
                r.width = std::min(control->Width(), rest.width);
                r.x = rest.x + rest.width - r.width;
                rest.width -= r.width;
                break;
            default:
                break;
            }
            placed.push_back({child, control, r});
        }
    };
    dock(TAlign::alTop);
    dock(TAlign::alBottom);
    dock(TAlign::alLeft);
    dock(TAlign::alRight);
    for (GtkWidget* child : children) {
        if (!gtk_widget_get_visible(child))
            continue;
        TControl* control = ControlOf(child);
        if (!control) {
            placed.push_back({child, nullptr, whole}); // native content: the whole area
            continue;
        }
        if (control->Align() == TAlign::alClient) {
            placed.push_back({child, control, rest});
        } else if (control->Align() == TAlign::alNone) {
            GdkRectangle r{whole.x + control->Left(), whole.y + control->Top(), std::max(control->Width(), 1),
                           std::max(control->Height(), 1)};
            Place(child, r);
        }
    }
    // The controls learn their new bounds before their widgets are allocated:
    // a control that places content of its own on a resize (the browser
    // control sets the view's bounds) then has it placed in this same pass; a
    // resize queued from inside an allocation would wait for the next one.
    for (auto& p : placed)
        if (p.Control)
            p.Control->UpdateBoundsFromLayout(p.Rect.x - whole.x, p.Rect.y - whole.y, p.Rect.width,
                                              p.Rect.height);
    for (auto& p : placed)
        Place(p.Child, p.Rect);
}

gboolean AlignBoxDraw(GtkWidget* Widget, cairo_t* Cairo) {
    auto* self = Self(Widget);
    if (self->HasBackground) {
        gdk_cairo_set_source_rgba(Cairo, &self->Background);
        cairo_paint(Cairo);
    }
    return GTK_WIDGET_CLASS(norvane_align_box_parent_class)->draw(Widget, Cairo);
}

// Focus: children first; a box marked to take focus takes it itself when no
// child can (an empty host), and never while the focus is inside it.
gboolean AlignBoxFocus(GtkWidget* Widget, GtkDirectionType Direction) {
    auto* parentClass = GTK_WIDGET_CLASS(norvane_align_box_parent_class);
    if (!g_object_get_data(G_OBJECT(Widget), "norvane-takes-focus"))
        return parentClass->focus(Widget, Direction);
    if (gtk_widget_has_focus(Widget))
        return FALSE;
    bool inside = gtk_container_get_focus_child(GTK_CONTAINER(Widget)) != nullptr;
    gtk_widget_set_can_focus(Widget, FALSE);
    gboolean moved = parentClass->focus(Widget, Direction);
    gtk_widget_set_can_focus(Widget, TRUE);
    if (moved || inside)
        return moved;
    gtk_widget_grab_focus(Widget);
    return TRUE;
}

void AlignBoxFinalize(GObject* Object) {
    g_list_free(Self(Object)->Children);
    G_OBJECT_CLASS(norvane_align_box_parent_class)->finalize(Object);
}

void norvane_align_box_class_init(NorvaneAlignBoxClass* Class) {
    auto* objectClass = G_OBJECT_CLASS(Class);
    objectClass->finalize = AlignBoxFinalize;
    auto* widgetClass = GTK_WIDGET_CLASS(Class);
    widgetClass->get_preferred_width = AlignBoxPreferredWidth;
    widgetClass->get_preferred_height = AlignBoxPreferredHeight;
    widgetClass->size_allocate = AlignBoxSizeAllocate;
    widgetClass->draw = AlignBoxDraw;
    widgetClass->focus = AlignBoxFocus;
    auto* containerClass = GTK_CONTAINER_CLASS(Class);
    containerClass->add = AlignBoxAdd;
    containerClass->remove = AlignBoxRemove;
    containerClass->forall = AlignBoxForall;
    containerClass->child_type = AlignBoxChildType;
    gtk_widget_class_set_css_name(widgetClass, "norvane-alignbox");
}

void norvane_align_box_init(NorvaneAlignBox* Box) {
    gtk_widget_set_has_window(GTK_WIDGET(Box), FALSE);
    Box->Children = nullptr;
    Box->HasBackground = FALSE;
}

} // namespace

namespace Norvane::Platform::Ui::Gtk {

GtkWidget* NewAlignBox() {
    EnsureToolkit();
    return GTK_WIDGET(g_object_new(norvane_align_box_get_type(), nullptr));
}

bool IsAlignBox(GtkWidget* Widget) {
    return Widget && G_TYPE_CHECK_INSTANCE_TYPE(Widget, norvane_align_box_get_type());
}

void AlignBoxSetTakesFocus(GtkWidget* Box, bool Takes) {
    g_object_set_data(G_OBJECT(Box), "norvane-takes-focus", Takes ? GINT_TO_POINTER(1) : nullptr);
    gtk_widget_set_can_focus(Box, Takes);
}

void AlignBoxSetBackground(GtkWidget* Box, bool Has, TRgb Rgb) {
    if (!IsAlignBox(Box))
        return;
    auto* self = Self(Box);
    self->HasBackground = Has;
    self->Background = GdkRGBA{Rgb.R / 255.0, Rgb.G / 255.0, Rgb.B / 255.0, 1.0};
    gtk_widget_queue_draw(Box);
}

} // namespace Norvane::Platform::Ui::Gtk
