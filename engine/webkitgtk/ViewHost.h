// The engine's own child in the host's parent window: a container that places
// its one child (the web view) at exactly the rectangle it is given and asks
// for no size of its own, so the window can shrink freely.
#pragma once

#include <gtk/gtk.h>

namespace Norvane::Engine {

GtkWidget* ViewHostNew();
// Rectangle relative to the host's own allocation; parts outside it are cut off.
void ViewHostSetBounds(GtkWidget* Host, int X, int Y, int Width, int Height);

} // namespace Norvane::Engine
