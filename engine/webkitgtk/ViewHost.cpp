#include "engine/webkitgtk/ViewHost.h"

#include <algorithm>

namespace Norvane::Engine {

struct NorvaneViewHost {
    GtkContainer Parent;
    GtkWidget* Child;
    GdkRectangle Bounds;
};

struct NorvaneViewHostClass {
    GtkContainerClass ParentClass;
};

namespace {

GType ViewHostType();

NorvaneViewHost* AsHost(gpointer Object) {
    return G_TYPE_CHECK_INSTANCE_CAST(Object, ViewHostType(), NorvaneViewHost);
}

void GetPreferredNothing(GtkWidget*, gint* Minimum, gint* Natural) {
    *Minimum = 0;
    *Natural = 0;
}

void SizeAllocate(GtkWidget* Widget, GtkAllocation* Allocation) {
    gtk_widget_set_allocation(Widget, Allocation);
    NorvaneViewHost* Host = AsHost(Widget);
    if (!Host->Child || !gtk_widget_get_visible(Host->Child))
        return;
    // The part of the bounds inside the host's own area.
    const int Left = std::clamp(Host->Bounds.x, 0, Allocation->width);
    const int Top = std::clamp(Host->Bounds.y, 0, Allocation->height);
    const int Right = std::clamp(Host->Bounds.x + Host->Bounds.width, Left, Allocation->width);
    const int Bottom = std::clamp(Host->Bounds.y + Host->Bounds.height, Top, Allocation->height);
    GtkRequisition Minimum;
    gtk_widget_get_preferred_size(Host->Child, &Minimum, nullptr);
    GtkAllocation ChildArea{Allocation->x + Left, Allocation->y + Top, Right - Left, Bottom - Top};
    gtk_widget_size_allocate(Host->Child, &ChildArea);
}

void Add(GtkContainer* Container, GtkWidget* Widget) {
    NorvaneViewHost* Host = AsHost(Container);
    if (Host->Child) {
        g_warning("the view host holds one child only");
        return;
    }
    Host->Child = Widget;
    gtk_widget_set_parent(Widget, GTK_WIDGET(Container));
}

void Remove(GtkContainer* Container, GtkWidget* Widget) {
    NorvaneViewHost* Host = AsHost(Container);
    if (Host->Child != Widget)
        return;
    const bool WasVisible = gtk_widget_get_visible(Widget);
    gtk_widget_unparent(Widget);
    Host->Child = nullptr;
    if (WasVisible)
        gtk_widget_queue_resize(GTK_WIDGET(Container));
}

void Forall(GtkContainer* Container, gboolean, GtkCallback Callback, gpointer Data) {
    NorvaneViewHost* Host = AsHost(Container);
    if (Host->Child)
        Callback(Host->Child, Data);
}

GType ChildType(GtkContainer*) {
    return GTK_TYPE_WIDGET;
}

void ClassInit(gpointer Class, gpointer) {
    GtkWidgetClass* WidgetClass = GTK_WIDGET_CLASS(Class);
    WidgetClass->get_preferred_width = GetPreferredNothing;
    WidgetClass->get_preferred_height = GetPreferredNothing;
    WidgetClass->size_allocate = SizeAllocate;
    GtkContainerClass* ContainerClass = GTK_CONTAINER_CLASS(Class);
    ContainerClass->add = Add;
    ContainerClass->remove = Remove;
    ContainerClass->forall = Forall;
    ContainerClass->child_type = ChildType;
}

void InstanceInit(GTypeInstance* Instance, gpointer) {
    NorvaneViewHost* Host = AsHost(Instance);
    gtk_widget_set_has_window(GTK_WIDGET(Host), FALSE);
    Host->Child = nullptr;
    Host->Bounds = GdkRectangle{0, 0, 0, 0};
}

GType ViewHostType() {
    static const GType Type =
        g_type_register_static_simple(GTK_TYPE_CONTAINER, "NorvaneViewHost", sizeof(NorvaneViewHostClass),
                                      ClassInit, sizeof(NorvaneViewHost), InstanceInit, GTypeFlags(0));
    return Type;
}

} // namespace

GtkWidget* ViewHostNew() {
    GtkWidget* Widget = GTK_WIDGET(g_object_new(ViewHostType(), nullptr));
    gtk_widget_set_hexpand(Widget, TRUE);
    gtk_widget_set_vexpand(Widget, TRUE);
    return Widget;
}

void ViewHostSetBounds(GtkWidget* Widget, int X, int Y, int Width, int Height) {
    NorvaneViewHost* Host = AsHost(Widget);
    Host->Bounds = GdkRectangle{X, Y, std::max(Width, 0), std::max(Height, 0)};
    gtk_widget_queue_resize(Widget);
}

} // namespace Norvane::Engine
