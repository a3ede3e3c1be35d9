// Translation between GDK key values and virtual keys.
#include "platform/ui/Keys.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/KeyParts.h"

#include <gdk/gdkkeysyms.h>

#include <unordered_map>

namespace Norvane::Platform::Ui {
namespace {

struct TKeyPair {
    unsigned Keyval;
    std::uint16_t Key;
};

// Keys whose virtual key does not follow from a letter or digit. The first
// key value of a virtual key is the one VirtualKeyToKeyval gives.
const TKeyPair FixedKeys[] = {
    {GDK_KEY_BackSpace, VK_BACK},
    {GDK_KEY_Tab, VK_TAB},
    {GDK_KEY_ISO_Left_Tab, VK_TAB},
    {GDK_KEY_Clear, VK_CLEAR},
    {GDK_KEY_Return, VK_RETURN},
    {GDK_KEY_KP_Enter, VK_RETURN},
    {GDK_KEY_Shift_L, VK_SHIFT},
    {GDK_KEY_Shift_R, VK_SHIFT},
    {GDK_KEY_Control_L, VK_CONTROL},
    {GDK_KEY_Control_R, VK_CONTROL},
    {GDK_KEY_Alt_L, VK_MENU},
    {GDK_KEY_Alt_R, VK_MENU},
    {GDK_KEY_Meta_L, VK_MENU},
    {GDK_KEY_Meta_R, VK_MENU},
    {GDK_KEY_ISO_Level3_Shift, VK_MENU},
    {GDK_KEY_Pause, VK_PAUSE},
    {GDK_KEY_Caps_Lock, VK_CAPITAL},
    {GDK_KEY_Escape, VK_ESCAPE},
    {GDK_KEY_space, VK_SPACE},
    {GDK_KEY_KP_Space, VK_SPACE},
    {GDK_KEY_Page_Up, VK_PRIOR},
    {GDK_KEY_KP_Page_Up, VK_PRIOR},
    {GDK_KEY_Page_Down, VK_NEXT},
    {GDK_KEY_KP_Page_Down, VK_NEXT},
    {GDK_KEY_End, VK_END},
    {GDK_KEY_KP_End, VK_END},
    {GDK_KEY_Home, VK_HOME},
    {GDK_KEY_KP_Home, VK_HOME},
    {GDK_KEY_Left, VK_LEFT},
    {GDK_KEY_KP_Left, VK_LEFT},
    {GDK_KEY_Up, VK_UP},
    {GDK_KEY_KP_Up, VK_UP},
    {GDK_KEY_Right, VK_RIGHT},
    {GDK_KEY_KP_Right, VK_RIGHT},
    {GDK_KEY_Down, VK_DOWN},
    {GDK_KEY_KP_Down, VK_DOWN},
    {GDK_KEY_Select, VK_SELECT},
    {GDK_KEY_Print, VK_SNAPSHOT},
    {GDK_KEY_Execute, VK_EXECUTE},
    {GDK_KEY_Insert, VK_INSERT},
    {GDK_KEY_KP_Insert, VK_INSERT},
    {GDK_KEY_Delete, VK_DELETE},
    {GDK_KEY_KP_Delete, VK_DELETE},
    {GDK_KEY_Help, VK_HELP},
    {GDK_KEY_Super_L, VK_LWIN},
    {GDK_KEY_Super_R, VK_RWIN},
    {GDK_KEY_Menu, VK_APPS},
    {GDK_KEY_KP_Multiply, VK_MULTIPLY},
    {GDK_KEY_KP_Add, VK_ADD},
    {GDK_KEY_KP_Separator, VK_SEPARATOR},
    {GDK_KEY_KP_Subtract, VK_SUBTRACT},
    {GDK_KEY_KP_Decimal, VK_DECIMAL},
    {GDK_KEY_KP_Divide, VK_DIVIDE},
    {GDK_KEY_Num_Lock, VK_NUMLOCK},
    {GDK_KEY_Scroll_Lock, VK_SCROLL},
    {GDK_KEY_semicolon, VK_OEM_1},
    {GDK_KEY_colon, VK_OEM_1},
    {GDK_KEY_equal, VK_OEM_PLUS},
    {GDK_KEY_plus, VK_OEM_PLUS},
    {GDK_KEY_comma, VK_OEM_COMMA},
    {GDK_KEY_less, VK_OEM_COMMA},
    {GDK_KEY_minus, VK_OEM_MINUS},
    {GDK_KEY_underscore, VK_OEM_MINUS},
    {GDK_KEY_period, VK_OEM_PERIOD},
    {GDK_KEY_greater, VK_OEM_PERIOD},
    {GDK_KEY_slash, VK_OEM_2},
    {GDK_KEY_question, VK_OEM_2},
    {GDK_KEY_grave, VK_OEM_3},
    {GDK_KEY_asciitilde, VK_OEM_3},
    {GDK_KEY_bracketleft, VK_OEM_4},
    {GDK_KEY_braceleft, VK_OEM_4},
    {GDK_KEY_backslash, VK_OEM_5},
    {GDK_KEY_bar, VK_OEM_5},
    {GDK_KEY_bracketright, VK_OEM_6},
    {GDK_KEY_braceright, VK_OEM_6},
    {GDK_KEY_apostrophe, VK_OEM_7},
    {GDK_KEY_quotedbl, VK_OEM_7},
    {GDK_KEY_exclam, '1'},
    {GDK_KEY_at, '2'},
    {GDK_KEY_numbersign, '3'},
    {GDK_KEY_dollar, '4'},
    {GDK_KEY_percent, '5'},
    {GDK_KEY_asciicircum, '6'},
    {GDK_KEY_ampersand, '7'},
    {GDK_KEY_asterisk, '8'},
    {GDK_KEY_parenleft, '9'},
    {GDK_KEY_parenright, '0'},
    {GDK_KEY_Back, VK_BROWSER_BACK},
    {GDK_KEY_Forward, VK_BROWSER_FORWARD},
    {GDK_KEY_Refresh, VK_BROWSER_REFRESH},
    {GDK_KEY_Stop, VK_BROWSER_STOP},
    {GDK_KEY_Search, VK_BROWSER_SEARCH},
    {GDK_KEY_Favorites, VK_BROWSER_FAVORITES},
    {GDK_KEY_HomePage, VK_BROWSER_HOME},
    {GDK_KEY_AudioMute, VK_VOLUME_MUTE},
    {GDK_KEY_AudioLowerVolume, VK_VOLUME_DOWN},
    {GDK_KEY_AudioRaiseVolume, VK_VOLUME_UP},
    {GDK_KEY_AudioNext, VK_MEDIA_NEXT_TRACK},
    {GDK_KEY_AudioPrev, VK_MEDIA_PREV_TRACK},
    {GDK_KEY_AudioStop, VK_MEDIA_STOP},
    {GDK_KEY_AudioPlay, VK_MEDIA_PLAY_PAUSE},
    {GDK_KEY_Sleep, VK_SLEEP},
};

// Shifted US-layout symbols of the keys that have one.
const TKeyPair ShiftedKeys[] = {
    {GDK_KEY_parenright, '0'},
    {GDK_KEY_exclam, '1'},
    {GDK_KEY_at, '2'},
    {GDK_KEY_numbersign, '3'},
    {GDK_KEY_dollar, '4'},
    {GDK_KEY_percent, '5'},
    {GDK_KEY_asciicircum, '6'},
    {GDK_KEY_ampersand, '7'},
    {GDK_KEY_asterisk, '8'},
    {GDK_KEY_parenleft, '9'},
    {GDK_KEY_colon, VK_OEM_1},
    {GDK_KEY_plus, VK_OEM_PLUS},
    {GDK_KEY_less, VK_OEM_COMMA},
    {GDK_KEY_underscore, VK_OEM_MINUS},
    {GDK_KEY_greater, VK_OEM_PERIOD},
    {GDK_KEY_question, VK_OEM_2},
    {GDK_KEY_asciitilde, VK_OEM_3},
    {GDK_KEY_braceleft, VK_OEM_4},
    {GDK_KEY_bar, VK_OEM_5},
    {GDK_KEY_braceright, VK_OEM_6},
    {GDK_KEY_quotedbl, VK_OEM_7},
};

bool IsExtendedKeyval(unsigned Keyval) {
    switch (Keyval) {
    case GDK_KEY_Control_R:
    case GDK_KEY_Alt_R:
    case GDK_KEY_ISO_Level3_Shift:
    case GDK_KEY_Insert:
    case GDK_KEY_Delete:
    case GDK_KEY_Home:
    case GDK_KEY_End:
    case GDK_KEY_Page_Up:
    case GDK_KEY_Page_Down:
    case GDK_KEY_Left:
    case GDK_KEY_Right:
    case GDK_KEY_Up:
    case GDK_KEY_Down:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_KP_Divide:
    case GDK_KEY_Num_Lock:
    case GDK_KEY_Print:
    case GDK_KEY_Super_L:
    case GDK_KEY_Super_R:
    case GDK_KEY_Menu:
        return true;
    default:
        return false;
    }
}

GdkKeymap* Keymap() {
    GdkDisplay* display = gdk_display_get_default();
    return display ? gdk_keymap_get_for_display(display) : nullptr;
}

} // namespace

std::uint16_t KeyvalToVirtualKey(unsigned Keyval) {
    if (Keyval >= GDK_KEY_a && Keyval <= GDK_KEY_z)
        return static_cast<std::uint16_t>('A' + (Keyval - GDK_KEY_a));
    if (Keyval >= GDK_KEY_A && Keyval <= GDK_KEY_Z)
        return static_cast<std::uint16_t>('A' + (Keyval - GDK_KEY_A));
    if (Keyval >= GDK_KEY_0 && Keyval <= GDK_KEY_9)
        return static_cast<std::uint16_t>('0' + (Keyval - GDK_KEY_0));
    if (Keyval >= GDK_KEY_KP_0 && Keyval <= GDK_KEY_KP_9)
        return static_cast<std::uint16_t>(VK_NUMPAD0 + (Keyval - GDK_KEY_KP_0));
    if (Keyval >= GDK_KEY_F1 && Keyval <= GDK_KEY_F24)
        return static_cast<std::uint16_t>(VK_F1 + (Keyval - GDK_KEY_F1));
    for (const auto& pair : FixedKeys)
        if (pair.Keyval == Keyval)
            return pair.Key;
    // Letters of other scripts: the upper-case Latin-1 letters keep their code.
    return 0;
}

unsigned VirtualKeyToKeyval(std::uint16_t Key, TShiftState Shift) {
    bool shifted = (Shift & ssShift) != 0;
    if (Key >= 'A' && Key <= 'Z')
        return shifted ? GDK_KEY_A + (Key - 'A') : GDK_KEY_a + (Key - 'A');
    if (shifted)
        for (const auto& pair : ShiftedKeys)
            if (pair.Key == Key)
                return pair.Keyval;
    if (Key >= '0' && Key <= '9')
        return GDK_KEY_0 + (Key - '0');
    if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD9)
        return GDK_KEY_KP_0 + (Key - VK_NUMPAD0);
    if (Key >= VK_F1 && Key <= VK_F24)
        return GDK_KEY_F1 + (Key - VK_F1);
    switch (Key) {
    case VK_LSHIFT:
        return GDK_KEY_Shift_L;
    case VK_RSHIFT:
        return GDK_KEY_Shift_R;
    case VK_LCONTROL:
        return GDK_KEY_Control_L;
    case VK_RCONTROL:
        return GDK_KEY_Control_R;
    case VK_LMENU:
        return GDK_KEY_Alt_L;
    case VK_RMENU:
        return GDK_KEY_Alt_R;
    case VK_TAB:
        return shifted ? GDK_KEY_ISO_Left_Tab : GDK_KEY_Tab;
    default:
        break;
    }
    for (const auto& pair : FixedKeys)
        if (pair.Key == Key)
            return pair.Keyval;
    return 0;
}

std::span<const KeyParts::TModifierBit> KeyParts::NativeModifierBits() {
    static constexpr TModifierBit bits[] = {
        {ssShift, GDK_SHIFT_MASK},  {ssCtrl, GDK_CONTROL_MASK},  {ssAlt, GDK_MOD1_MASK},
        {ssLeft, GDK_BUTTON1_MASK}, {ssRight, GDK_BUTTON3_MASK}, {ssMiddle, GDK_BUTTON2_MASK},
    };
    return bits;
}

TShiftState GetKeyboardShiftState() {
    GdkModifierType state{};
    if (gtk_get_current_event_state(&state))
        return NativeStateToShiftState(state) & (ssShift | ssCtrl | ssAlt);
    if (GdkKeymap* keymap = Keymap())
        return NativeStateToShiftState(gdk_keymap_get_modifier_state(keymap)) & (ssShift | ssCtrl | ssAlt);
    return 0;
}

TWMKey NativeKeyEventToMessage(const void* Event) {
    const auto* e = static_cast<const GdkEventKey*>(Event);
    bool release = e->type == GDK_KEY_RELEASE;
    // The key's value without modifiers on the active layout, then on the first
    // layout (so that short-cuts work with non-Latin layouts too).
    std::uint16_t key = 0;
    unsigned baseKeyval = e->keyval;
    if (GdkKeymap* keymap = Keymap()) {
        for (int group : {static_cast<int>(e->group), 0}) {
            guint keyval = 0;
            if (gdk_keymap_translate_keyboard_state(keymap, e->hardware_keycode,
                                                    static_cast<GdkModifierType>(0), group, &keyval, nullptr,
                                                    nullptr, nullptr)) {
                // The numeric keypad follows Num Lock: keep the event's own value there.
                if (keyval >= GDK_KEY_KP_Space && keyval <= GDK_KEY_KP_9)
                    keyval = e->keyval;
                if (std::uint16_t k = KeyvalToVirtualKey(keyval)) {
                    key = k;
                    baseKeyval = keyval;
                    break;
                }
            }
        }
    }
    if (!key)
        key = KeyvalToVirtualKey(e->keyval);

    TShiftState shift = NativeStateToShiftState(e->state);
    bool alt = (shift & ssAlt) != 0 || (key == VK_MENU && !release);
    bool sys = alt || key == VK_F10;
    TWMKey message;
    message.Msg = release ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
    message.CharCode = key;
    std::int32_t data = 1;
    data |= static_cast<std::int32_t>((e->hardware_keycode >= 8 ? e->hardware_keycode - 8 : 0) & 0xFF) << 16;
    if (IsExtendedKeyval(baseKeyval) || IsExtendedKeyval(e->keyval))
        data |= KeyDataExtended;
    data |= KeyDataModifiersValid;
    if (shift & ssCtrl)
        data |= KeyDataCtrl;
    if (shift & ssShift)
        data |= KeyDataShift;
    if (alt)
        data |= KeyDataAlt;
    if (release)
        data |= KeyDataPrevious | KeyDataReleased;
    message.KeyData = data;
    return message;
}

void* MessageToNativeKeyEvent(const TWMKey& Message, void* Window) {
    bool release = Message.Msg == WM_KEYUP || Message.Msg == WM_SYSKEYUP;
    TShiftState shift = KeyDataToShiftState(Message.KeyData);
    GdkEvent* event = gdk_event_new(release ? GDK_KEY_RELEASE : GDK_KEY_PRESS);
    auto* key = &event->key;
    key->window = Window ? GDK_WINDOW(g_object_ref(Window)) : nullptr;
    key->send_event = TRUE;
    key->time = GDK_CURRENT_TIME;
    key->state = ShiftStateToNativeState(shift);
    key->keyval = VirtualKeyToKeyval(Message.CharCode, shift);
    key->string = g_strdup("");
    key->length = 0;
    unsigned scan = (static_cast<unsigned>(Message.KeyData) >> 16) & 0xFF;
    key->hardware_keycode = static_cast<guint16>(scan ? scan + 8 : 0);
    if (GdkKeymap* keymap = Keymap()) {
        GdkKeymapKey* keys = nullptr;
        gint count = 0;
        if (!scan && gdk_keymap_get_entries_for_keyval(keymap, key->keyval, &keys, &count) && count > 0) {
            key->hardware_keycode = static_cast<guint16>(keys[0].keycode);
            key->group = static_cast<guint8>(keys[0].group);
        }
        g_free(keys);
    }
    key->is_modifier =
        Message.CharCode == VK_SHIFT || Message.CharCode == VK_CONTROL || Message.CharCode == VK_MENU;
    if (GdkDisplay* display = gdk_display_get_default())
        if (GdkSeat* seat = gdk_display_get_default_seat(display))
            if (GdkDevice* keyboard = gdk_seat_get_keyboard(seat))
                gdk_event_set_device(event, keyboard);
    return event;
}

} // namespace Norvane::Platform::Ui
