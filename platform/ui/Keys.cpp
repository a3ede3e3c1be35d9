#include "platform/ui/Keys.h"
#include "platform/ui/KeyParts.h"

#include "platform/Text.h"

#include <cctype>
#include <utility>
#include <vector>

namespace Norvane::Platform::Ui {
namespace {

const std::vector<std::pair<std::uint16_t, const char*>>& KeyNames() {
    static const std::vector<std::pair<std::uint16_t, const char*>> names = {
        {VK_BACK, "BkSp"},     {VK_TAB, "Tab"},       {VK_ESCAPE, "Esc"},     {VK_RETURN, "Enter"},
        {VK_SPACE, "Space"},   {VK_PRIOR, "PgUp"},    {VK_NEXT, "PgDn"},      {VK_END, "End"},
        {VK_HOME, "Home"},     {VK_LEFT, "Left"},     {VK_UP, "Up"},          {VK_RIGHT, "Right"},
        {VK_DOWN, "Down"},     {VK_INSERT, "Ins"},    {VK_DELETE, "Del"},     {VK_BACK, "Backspace"},
        {VK_ESCAPE, "Escape"}, {VK_RETURN, "Return"}, {VK_PRIOR, "PageUp"},   {VK_NEXT, "PageDown"},
        {VK_INSERT, "Insert"}, {VK_DELETE, "Delete"}, {VK_OEM_PLUS, "="},     {VK_OEM_MINUS, "-"},
        {VK_OEM_COMMA, ","},   {VK_OEM_PERIOD, "."},  {VK_OEM_2, "/"},        {VK_OEM_1, ";"},
        {VK_OEM_4, "["},       {VK_OEM_6, "]"},       {VK_OEM_5, "\\"},       {VK_OEM_7, "'"},
        {VK_OEM_3, "`"},       {VK_ADD, "Num +"},     {VK_SUBTRACT, "Num -"}, {VK_MULTIPLY, "Num *"},
        {VK_DIVIDE, "Num /"},
    };
    return names;
}

using Text::EqualsNoCase;

std::uint16_t KeyFromName(const std::string& Name) {
    if (Name.size() == 1) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(Name[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return static_cast<std::uint16_t>(c);
    }
    if (Name.size() >= 2 && (Name[0] == 'F' || Name[0] == 'f')) {
        bool digits = true;
        for (std::size_t i = 1; i < Name.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(Name[i]));
        if (digits) {
            int n = std::stoi(Name.substr(1));
            if (n >= 1 && n <= 24)
                return static_cast<std::uint16_t>(VK_F1 + n - 1);
        }
    }
    for (const auto& [key, text] : KeyNames())
        if (EqualsNoCase(Name, text))
            return key;
    return 0;
}

} // namespace

TShortCut TextToShortCut(const std::string& Text) {
    TShiftState shift = 0;
    std::string rest = Text;
    for (;;) {
        auto take = [&](const char* prefix, TShiftState bit) {
            std::string p = prefix;
            if (rest.size() > p.size() && EqualsNoCase(rest.substr(0, p.size()), p)) {
                shift |= bit;
                rest = rest.substr(p.size());
                return true;
            }
            return false;
        };
        if (take("Ctrl+", ssCtrl) || take("Shift+", ssShift) || take("Alt+", ssAlt))
            continue;
        break;
    }
    std::uint16_t key = KeyFromName(rest);
    return key ? ShortCut(key, shift) : scNone;
}

std::string ShortCutToText(TShortCut Value) {
    std::uint16_t key = ShortCutKey(Value);
    std::string name;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        name = std::string(1, static_cast<char>(key));
    else if (key >= VK_F1 && key <= VK_F24)
        name = std::string("F").append(std::to_string(key - VK_F1 + 1));
    else
        for (const auto& [k, text] : KeyNames())
            if (k == key) {
                name = text;
                break;
            }
    if (name.empty())
        return {};
    std::string text;
    if (Value & scShift)
        text += "Shift+";
    if (Value & scCtrl)
        text += "Ctrl+";
    if (Value & scAlt)
        text += "Alt+";
    return text + name;
}

TShiftState KeyDataToShiftState(std::int32_t KeyData) {
    TShiftState shift = 0;
    if (KeyData & KeyDataModifiersValid) {
        if (KeyData & KeyDataCtrl)
            shift |= ssCtrl;
        if (KeyData & KeyDataShift)
            shift |= ssShift;
    } else {
        shift = GetKeyboardShiftState() & (ssCtrl | ssShift);
    }
    if (KeyData & KeyDataAlt)
        shift |= ssAlt;
    return shift;
}

TShortCut ShortCutFromMessage(const TWMKey& Message) {
    if (Message.Msg != WM_KEYDOWN && Message.Msg != WM_SYSKEYDOWN)
        return scNone;
    std::uint16_t key = Message.CharCode;
    if (key == 0 || key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU)
        return scNone;
    return ShortCut(key, KeyDataToShiftState(Message.KeyData));
}

TShiftState NativeStateToShiftState(unsigned State) {
    TShiftState shift = 0;
    for (const auto& bit : KeyParts::NativeModifierBits())
        if (State & bit.Native)
            shift |= bit.Shift;
    return shift;
}

unsigned ShiftStateToNativeState(TShiftState Shift) {
    unsigned state = 0;
    for (const auto& bit : KeyParts::NativeModifierBits())
        if (Shift & bit.Shift)
            state |= bit.Native;
    return state;
}

} // namespace Norvane::Platform::Ui
