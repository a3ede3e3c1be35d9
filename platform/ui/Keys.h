// Keys in Windows terms: virtual-key codes, key messages with their key data,
// menu short-cuts, and the translation between the toolkit's key values and
// virtual keys in both directions, modifiers included.
#pragma once

#include "platform/ui/Types.h"

#include <cstdint>
#include <string>

namespace Norvane::Platform::Ui {

// Virtual-key codes.
inline constexpr std::uint16_t VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04;
inline constexpr std::uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13;
inline constexpr std::uint16_t VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20;
inline constexpr std::uint16_t VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
inline constexpr std::uint16_t VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
inline constexpr std::uint16_t VK_SELECT = 0x29, VK_PRINT = 0x2A, VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C;
inline constexpr std::uint16_t VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
inline constexpr std::uint16_t VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_SLEEP = 0x5F;
inline constexpr std::uint16_t VK_NUMPAD0 = 0x60, VK_NUMPAD9 = 0x69;
inline constexpr std::uint16_t VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D;
inline constexpr std::uint16_t VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F;
inline constexpr std::uint16_t VK_F1 = 0x70, VK_F10 = 0x79, VK_F12 = 0x7B, VK_F24 = 0x87;
inline constexpr std::uint16_t VK_NUMLOCK = 0x90, VK_SCROLL = 0x91;
inline constexpr std::uint16_t VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3;
inline constexpr std::uint16_t VK_LMENU = 0xA4, VK_RMENU = 0xA5;
inline constexpr std::uint16_t VK_BROWSER_BACK = 0xA6, VK_BROWSER_FORWARD = 0xA7, VK_BROWSER_REFRESH = 0xA8;
inline constexpr std::uint16_t VK_BROWSER_STOP = 0xA9, VK_BROWSER_SEARCH = 0xAA, VK_BROWSER_FAVORITES = 0xAB;
inline constexpr std::uint16_t VK_BROWSER_HOME = 0xAC, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE;
inline constexpr std::uint16_t VK_VOLUME_UP = 0xAF, VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr std::uint16_t VK_MEDIA_STOP = 0xB2, VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr std::uint16_t VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD;
inline constexpr std::uint16_t VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB;
inline constexpr std::uint16_t VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2;

// Key messages.
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105;

// Key data (the lParam of a key message): bits 0-15 repeat count, 16-23 scan
// code, 24 extended key, 29 Alt held, 30 key was down before, 31 key released.
// This layer also fills reserved bits: 25 Ctrl held, 26 Shift held, 27 set when
// bits 25 and 26 are valid, so that a message carries its whole modifier state.
inline constexpr std::int32_t KeyDataExtended = 1 << 24;
inline constexpr std::int32_t KeyDataCtrl = 1 << 25;
inline constexpr std::int32_t KeyDataShift = 1 << 26;
inline constexpr std::int32_t KeyDataModifiersValid = 1 << 27;
inline constexpr std::int32_t KeyDataAlt = 1 << 29;
inline constexpr std::int32_t KeyDataPrevious = 1 << 30;
inline constexpr std::int32_t KeyDataReleased = static_cast<std::int32_t>(0x80000000u);

struct TWMKey {
    std::uint32_t Msg = WM_KEYDOWN;
    std::uint16_t CharCode = 0; // virtual key
    std::int32_t KeyData = 0;
};

// Modifiers of a key message: Alt from bit 29; Ctrl and Shift from the
// layer's bits when they are valid, else the keyboard's state at this moment.
TShiftState KeyDataToShiftState(std::int32_t KeyData);
// The modifier keys held now (the keyboard state of the display).
TShiftState GetKeyboardShiftState();

// Menu short-cuts: the virtual key in the low byte plus modifier bits.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
inline constexpr TShortCut ShortCut(std::uint16_t Key, TShiftState Shift) {
    return static_cast<TShortCut>((Key & 0xFF) | ((Shift & ssShift) ? scShift : 0) |
                                  ((Shift & ssCtrl) ? scCtrl : 0) | ((Shift & ssAlt) ? scAlt : 0));
}
inline constexpr std::uint16_t ShortCutKey(TShortCut Value) {
    return static_cast<std::uint16_t>(Value & 0xFF);
}
inline constexpr TShiftState ShortCutShift(TShortCut Value) {
    return ((Value & scShift) ? ssShift : 0u) | ((Value & scCtrl) ? ssCtrl : 0u) |
           ((Value & scAlt) ? ssAlt : 0u);
}
// "Ctrl+Shift+S", "F5", "Alt+Enter", "Del"...; scNone for text that is none.
TShortCut TextToShortCut(const std::string& Text);
std::string ShortCutToText(TShortCut Value);
// The short-cut a key message stands for (key down messages only, else scNone).
TShortCut ShortCutFromMessage(const TWMKey& Message);

// Translation to and from the toolkit's key values (GDK key symbols).
std::uint16_t KeyvalToVirtualKey(unsigned Keyval);
// The key value a virtual key types with the given modifiers (Shift picks the
// upper-case letter or the shifted symbol of a US layout); 0 when none.
unsigned VirtualKeyToKeyval(std::uint16_t Key, TShiftState Shift = 0);
// Toolkit modifier masks <-> shift state.
TShiftState NativeStateToShiftState(unsigned State);
unsigned ShiftStateToNativeState(TShiftState Shift);
// A toolkit key event (GdkEventKey*) as a key message: WM_SYSKEYDOWN/UP when
// Alt is held or the key is F10, WM_KEYDOWN/UP otherwise; the virtual key is
// taken from the key's unshifted value on the active layout.
TWMKey NativeKeyEventToMessage(const void* GdkEventKey);
// A key message as a new toolkit key event (GdkEvent*, to free with
// gdk_event_free) for the given native window (GdkWindow*), e.g. to hand a key
// press back to the toolkit.
void* MessageToNativeKeyEvent(const TWMKey& Message, void* GdkWindow);

} // namespace Norvane::Platform::Ui
