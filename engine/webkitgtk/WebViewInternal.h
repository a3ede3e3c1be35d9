// What the view's source files share and nobody else uses.
#pragma once

#include <gtk/gtk.h>

#include <cstring>

namespace Norvane::Engine::ViewInternal {

// The key under which a WebKit view knows its TWebView.
inline constexpr const char* ViewKey = "norvane-engine-view";

// The zoom steps of Ctrl+Plus and Ctrl+Minus.
inline constexpr double ZoomSteps[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                       1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};

// NORVANE_ENGINE_TRACE=1 prints the view's load events on standard error.
inline bool Tracing() {
    static const bool Enabled = g_getenv("NORVANE_ENGINE_TRACE") != nullptr;
    return Enabled;
}

inline bool SameText(const char* Text, const char* Exact) {
    return Text && std::strcmp(Text, Exact) == 0;
}

} // namespace Norvane::Engine::ViewInternal
