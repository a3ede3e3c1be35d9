// Keys on Win32: the system's key values are the virtual-key codes
// themselves, a native key event is a key message (MSG), and the native
// modifier state is the MK_ flags of the mouse messages.
#include "platform/ui/Keys.h"
#include "platform/ui/KeyParts.h"
#include "platform/win32/ui/Win32Graphics.h"

namespace Norvane::Platform::Ui {
namespace {

// The MK_ flags have no bit for Alt; this layer uses one they leave free.
constexpr unsigned NativeAlt = 0x1000;

bool Down(int Key) {
    return (::GetKeyState(Key) & 0x8000) != 0;
}

} // namespace

std::uint16_t KeyvalToVirtualKey(unsigned Keyval) {
    switch (Keyval) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        break;
    }
    return Keyval > 0 && Keyval < 0xFF ? static_cast<std::uint16_t>(Keyval) : 0;
}

unsigned VirtualKeyToKeyval(std::uint16_t Key, TShiftState Shift) {
    (void)Shift; // the key value is the key, whatever the modifiers
    return Key > 0 && Key < 0xFF ? Key : 0;
}

std::span<const KeyParts::TModifierBit> KeyParts::NativeModifierBits() {
    static constexpr TModifierBit bits[] = {
        {ssShift, MK_SHIFT},  {ssCtrl, MK_CONTROL},  {ssAlt, NativeAlt},
        {ssLeft, MK_LBUTTON}, {ssRight, MK_RBUTTON}, {ssMiddle, MK_MBUTTON},
    };
    return bits;
}

TShiftState GetKeyboardShiftState() {
    TShiftState shift = 0;
    if (Down(VK_SHIFT))
        shift |= ssShift;
    if (Down(VK_CONTROL))
        shift |= ssCtrl;
    if (Down(VK_MENU))
        shift |= ssAlt;
    return shift;
}

// Event: a const MSG* of a key message. GetKeyState answers for the moment
// the message was posted, so the modifiers are those of the key press.
TWMKey NativeKeyEventToMessage(const void* Event) {
    const auto* msg = static_cast<const MSG*>(Event);
    TWMKey message;
    message.Msg = msg->message;
    message.CharCode = static_cast<std::uint16_t>(msg->wParam & 0xFFFF);
    auto data = static_cast<std::int32_t>(msg->lParam);
    data &= ~(KeyDataCtrl | KeyDataShift | KeyDataModifiersValid);
    data |= KeyDataModifiersValid;
    if (Down(VK_CONTROL))
        data |= KeyDataCtrl;
    if (Down(VK_SHIFT))
        data |= KeyDataShift;
    message.KeyData = data;
    return message;
}

// A new MSG for the window (HWND), to free with Win32Ui::FreeNativeKeyEvent.
void* MessageToNativeKeyEvent(const TWMKey& Message, void* Window) {
    auto* msg = new MSG{};
    msg->hwnd = static_cast<HWND>(Window);
    msg->message = Message.Msg;
    msg->wParam = Message.CharCode;
    auto data = static_cast<std::uint32_t>(Message.KeyData);
    // The layer's own modifier bits are reserved to the system.
    data &= ~static_cast<std::uint32_t>(KeyDataCtrl | KeyDataShift | KeyDataModifiersValid);
    if ((data & 0xFFFF) == 0)
        data |= 1;
    if (((data >> 16) & 0xFF) == 0)
        data |= (::MapVirtualKeyW(Message.CharCode, MAPVK_VK_TO_VSC) & 0xFF) << 16;
    msg->lParam = static_cast<LPARAM>(data);
    msg->time = ::GetMessageTime();
    return msg;
}

namespace Win32Ui {

void FreeNativeKeyEvent(void* Event) {
    delete static_cast<MSG*>(Event);
}

} // namespace Win32Ui
} // namespace Norvane::Platform::Ui
