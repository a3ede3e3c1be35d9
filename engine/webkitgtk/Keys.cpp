#include "engine/webkitgtk/Keys.h"

#include <gdk/gdkkeysyms.h>

namespace Norvane::Engine {

namespace {

// Scan codes (set 1) of the keys whose Linux key code differs from it; the
// flag tells an extended (E0-prefixed) key.
struct TScan {
    guint16 Code;
    bool Extended;
};

TScan ScanCodeFromHardwareKeycode(guint16 HardwareKeycode) {
    // X servers with evdev report the Linux key code plus 8.
    const int Code = HardwareKeycode >= 8 ? HardwareKeycode - 8 : 0;
    switch (Code) {
    case 96: // KPENTER
        return {0x1C, true};
    case 97: // RIGHTCTRL
        return {0x1D, true};
    case 98: // KPSLASH
        return {0x35, true};
    case 99: // SYSRQ
        return {0x37, true};
    case 100: // RIGHTALT
        return {0x38, true};
    case 102: // HOME
        return {0x47, true};
    case 103: // UP
        return {0x48, true};
    case 104: // PAGEUP
        return {0x49, true};
    case 105: // LEFT
        return {0x4B, true};
    case 106: // RIGHT
        return {0x4D, true};
    case 107: // END
        return {0x4F, true};
    case 108: // DOWN
        return {0x50, true};
    case 109: // PAGEDOWN
        return {0x51, true};
    case 110: // INSERT
        return {0x52, true};
    case 111: // DELETE
        return {0x53, true};
    case 119: // PAUSE
        return {0x45, false};
    case 125: // LEFTMETA
        return {0x5B, true};
    case 126: // RIGHTMETA
        return {0x5C, true};
    case 127: // COMPOSE (menu key)
        return {0x5D, true};
    default:
        return {static_cast<guint16>(Code < 0x80 ? Code : 0), false};
    }
}

} // namespace

UINT32 VirtualKeyFromKeyval(guint Keyval) {
    if (Keyval >= GDK_KEY_a && Keyval <= GDK_KEY_z)
        return 'A' + (Keyval - GDK_KEY_a);
    if (Keyval >= GDK_KEY_A && Keyval <= GDK_KEY_Z)
        return 'A' + (Keyval - GDK_KEY_A);
    if (Keyval >= GDK_KEY_0 && Keyval <= GDK_KEY_9)
        return '0' + (Keyval - GDK_KEY_0);
    if (Keyval >= GDK_KEY_F1 && Keyval <= GDK_KEY_F24)
        return 0x70 + (Keyval - GDK_KEY_F1);
    if (Keyval >= GDK_KEY_KP_0 && Keyval <= GDK_KEY_KP_9)
        return 0x60 + (Keyval - GDK_KEY_KP_0);
    switch (Keyval) {
    case GDK_KEY_BackSpace:
        return 0x08;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
    case GDK_KEY_KP_Tab:
        return 0x09;
    case GDK_KEY_Clear:
    case GDK_KEY_KP_Begin:
        return 0x0C;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return 0x0D;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return 0x10;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return 0x11;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R:
    case GDK_KEY_ISO_Level3_Shift:
        return 0x12;
    case GDK_KEY_Pause:
        return 0x13;
    case GDK_KEY_Caps_Lock:
        return 0x14;
    case GDK_KEY_Escape:
        return 0x1B;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
        return 0x20;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        return 0x21;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        return 0x22;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
        return 0x23;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
        return 0x24;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return 0x25;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return 0x26;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return 0x27;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return 0x28;
    case GDK_KEY_Select:
        return 0x29;
    case GDK_KEY_Print:
        return 0x2C;
    case GDK_KEY_Execute:
        return 0x2B;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert:
        return 0x2D;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
        return 0x2E;
    case GDK_KEY_Help:
        return 0x2F;
    case GDK_KEY_Super_L:
        return 0x5B;
    case GDK_KEY_Super_R:
        return 0x5C;
    case GDK_KEY_Menu:
        return 0x5D;
    case GDK_KEY_KP_Multiply:
        return 0x6A;
    case GDK_KEY_KP_Add:
        return 0x6B;
    case GDK_KEY_KP_Separator:
        return 0x6C;
    case GDK_KEY_KP_Subtract:
        return 0x6D;
    case GDK_KEY_KP_Decimal:
        return 0x6E;
    case GDK_KEY_KP_Divide:
        return 0x6F;
    case GDK_KEY_Num_Lock:
        return 0x90;
    case GDK_KEY_Scroll_Lock:
        return 0x91;
    case GDK_KEY_semicolon:
        return 0xBA;
    case GDK_KEY_equal:
    case GDK_KEY_plus:
        return 0xBB;
    case GDK_KEY_comma:
        return 0xBC;
    case GDK_KEY_minus:
        return 0xBD;
    case GDK_KEY_period:
        return 0xBE;
    case GDK_KEY_slash:
        return 0xBF;
    case GDK_KEY_grave:
        return 0xC0;
    case GDK_KEY_bracketleft:
        return 0xDB;
    case GDK_KEY_backslash:
        return 0xDC;
    case GDK_KEY_bracketright:
        return 0xDD;
    case GDK_KEY_apostrophe:
        return 0xDE;
    case GDK_KEY_less:
        return 0xE2;
    default:
        return 0;
    }
}

TKeyDescription DescribeKeyEvent(const GdkEventKey* Event, bool WasDown) {
    TKeyDescription Result;
    const bool Released = Event->type == GDK_KEY_RELEASE;
    const bool Ctrl = (Event->state & GDK_CONTROL_MASK) != 0;
    const bool Shift = (Event->state & GDK_SHIFT_MASK) != 0;
    const bool Alt = (Event->state & GDK_MOD1_MASK) != 0;

    // The key of the base level (no Shift): Shift+1 is still the key '1'.
    guint BaseKeyval = Event->keyval;
    GdkKeymap* Keymap = gdk_keymap_get_for_display(gdk_window_get_display(Event->window));
    guint Translated = 0;
    if (Keymap && gdk_keymap_translate_keyboard_state(Keymap, Event->hardware_keycode, GdkModifierType(0),
                                                      Event->group, &Translated, nullptr, nullptr, nullptr))
        BaseKeyval = Translated;
    Result.VirtualKey = VirtualKeyFromKeyval(BaseKeyval);
    if (Result.VirtualKey == 0)
        Result.VirtualKey = VirtualKeyFromKeyval(Event->keyval);

    const bool System = Alt || Event->keyval == GDK_KEY_F10;
    if (Released)
        Result.Kind = System ? COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP : COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP;
    else
        Result.Kind =
            System ? COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN : COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;

    const TScan Scan = ScanCodeFromHardwareKeycode(Event->hardware_keycode);
    const bool Previous = Released || WasDown;
    std::uint32_t LParam = 1u | (static_cast<std::uint32_t>(Scan.Code & 0xFF) << 16);
    if (Scan.Extended)
        LParam |= 1u << 24;
    if (Ctrl)
        LParam |= 1u << 25;
    if (Shift)
        LParam |= 1u << 26;
    LParam |= 1u << 27;
    if (Alt)
        LParam |= 1u << 29;
    if (Previous)
        LParam |= 1u << 30;
    if (Released)
        LParam |= 1u << 31;
    Result.LParam = static_cast<std::int32_t>(LParam);

    Result.Status.RepeatCount = 1;
    Result.Status.ScanCode = Scan.Code;
    Result.Status.IsExtendedKey = ToBOOL(Scan.Extended);
    Result.Status.IsMenuKeyDown = ToBOOL(Alt);
    Result.Status.WasKeyDown = ToBOOL(Previous);
    Result.Status.IsKeyReleased = ToBOOL(Released);

    Result.IsAccelerator = Ctrl || Alt || gdk_keyval_to_unicode(Event->keyval) == 0;
    return Result;
}

} // namespace Norvane::Engine
