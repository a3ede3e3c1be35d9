// The GLib main loop of GTK: an idle source of the default context.
#include "tests/fakeengine/UiLoop.h"

#include <glib.h>

namespace Norvane::Testing::FakeEngine {

void BindUiLoop() {}

void PostToUiLoop(std::function<void()> Piece) {
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer Data) -> gboolean {
            (*static_cast<std::function<void()>*>(Data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(Piece)),
        [](gpointer Data) { delete static_cast<std::function<void()>*>(Data); });
}

} // namespace Norvane::Testing::FakeEngine
