// GTK key events in Windows terms, for the accelerator-key notification.
#pragma once

#include "engine/webkitgtk/EngineCommon.h"

#include <gdk/gdk.h>

namespace Norvane::Engine {

struct TKeyDescription {
    COREWEBVIEW2_KEY_EVENT_KIND Kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    UINT32 VirtualKey = 0; // 0: no virtual key for this key
    std::int32_t LParam = 0;
    COREWEBVIEW2_PHYSICAL_KEY_STATUS Status{};
    // Ctrl or Alt held, or a key that types no character.
    bool IsAccelerator = false;
};

// The virtual-key code of a key value of the keyboard's base level.
UINT32 VirtualKeyFromKeyval(guint Keyval);

// Describes a press or release. WasDown tells whether the same physical key
// was already down (a repeat).
TKeyDescription DescribeKeyEvent(const GdkEventKey* Event, bool WasDown);

} // namespace Norvane::Engine
