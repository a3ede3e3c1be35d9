// The style engine's hook points on Win32. Windows have no style sheets: a
// style acts through its system colours, which every form resolves again on
// a switch, and through the caption colours the desktop window manager
// offers.
#include "platform/ui/Styles.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <cstring>
#include <initializer_list>

namespace Norvane::Platform::Ui {
namespace {

struct TStyleState {
    std::vector<std::shared_ptr<TCustomStyle>> Styles;
    std::shared_ptr<TCustomStyle> Active;
    unsigned Hooks = shMenus | shDialogs | shToolTips;
};

TStyleState& State() {
    static TStyleState state;
    return state;
}

using Text::EqualsNoCase;

// The desktop window manager's attributes of the caption colours, and the
// value that gives the system's colour back.
constexpr DWORD CaptionColorAttribute = 35;
constexpr DWORD CaptionTextColorAttribute = 36;
constexpr DWORD DefaultColor = 0xFFFFFFFF;

using SetWindowAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

// DwmSetWindowAttribute, looked up on first use (null where there is none).
SetWindowAttributeFunction SetWindowAttribute() {
    static const SetWindowAttributeFunction function = []() -> SetWindowAttributeFunction {
        HMODULE dwm = ::LoadLibraryW(L"dwmapi.dll");
        if (!dwm)
            return nullptr;
        FARPROC address = ::GetProcAddress(dwm, "DwmSetWindowAttribute");
        SetWindowAttributeFunction result = nullptr;
        static_assert(sizeof(result) == sizeof(address));
        std::memcpy(&result, &address, sizeof(result));
        return result;
    }();
    return function;
}

// The style's colour of the first system colour it gives, as a COLORREF.
DWORD StyleColor(const TCustomStyle& Style, std::initializer_list<unsigned> Indexes) {
    for (unsigned index : Indexes) {
        TRgb rgb;
        if (Style.SystemColor(index, rgb))
            return RGB(rgb.R, rgb.G, rgb.B);
    }
    return DefaultColor;
}

void ApplyActive() {
    if (!Application().Initialized())
        return;
    for (int i = 0; i < TScreen::FormCount(); ++i) {
        TCustomForm* form = TScreen::Forms(i);
        if (!form)
            continue;
        form->ReapplyColors();
        if (!form->IsEmbedded() && form->NativeWindow()) {
            auto* window = static_cast<HWND>(form->NativeWindow());
            Win32::ApplyStyleCaption(window);
            ::RedrawWindow(window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        }
    }
}

} // namespace

void Win32::ApplyStyleCaption(HWND Window) {
    SetWindowAttributeFunction set = SetWindowAttribute();
    if (!set || !Window || !::IsWindow(Window))
        return;
    DWORD caption = DefaultColor, text = DefaultColor;
    if (auto style = TStyleManager::ActiveStyle()) {
        caption = StyleColor(*style, {clActiveCaption & 0xFF, clBtnFace & 0xFF});
        text = StyleColor(*style, {clCaptionText & 0xFF, clBtnText & 0xFF});
    }
    set(Window, CaptionColorAttribute, &caption, sizeof(caption));
    set(Window, CaptionTextColorAttribute, &text, sizeof(text));
}

void TStyleManager::Register(std::shared_ptr<TCustomStyle> Style) {
    if (!Style)
        return;
    auto& styles = State().Styles;
    for (auto& s : styles)
        if (EqualsNoCase(s->Name(), Style->Name())) {
            s = std::move(Style);
            return;
        }
    styles.push_back(std::move(Style));
}

void TStyleManager::UnregisterAll() {
    State().Styles.clear();
    State().Active.reset();
    ApplyActive();
}

std::vector<std::string> TStyleManager::StyleNames() {
    std::vector<std::string> names{SystemStyleName};
    for (auto& s : State().Styles)
        names.push_back(s->Name());
    return names;
}

bool TStyleManager::Exists(const std::string& Name) {
    return EqualsNoCase(Name, SystemStyleName) || Find(Name);
}

std::shared_ptr<TCustomStyle> TStyleManager::Find(const std::string& Name) {
    for (auto& s : State().Styles)
        if (EqualsNoCase(s->Name(), Name))
            return s;
    return nullptr;
}

bool TStyleManager::TrySetStyle(const std::string& Name) {
    if (EqualsNoCase(Name, SystemStyleName)) {
        State().Active.reset();
        ApplyActive();
        return true;
    }
    auto style = Find(Name);
    if (!style)
        return false;
    State().Active = style;
    ApplyActive();
    return true;
}

std::shared_ptr<TCustomStyle> TStyleManager::ActiveStyle() {
    return State().Active;
}

std::string TStyleManager::ActiveStyleName() {
    return State().Active ? State().Active->Name() : std::string(SystemStyleName);
}

unsigned TStyleManager::SystemHooks() {
    return State().Hooks;
}

void TStyleManager::SetSystemHooks(unsigned Hooks) {
    State().Hooks = Hooks;
    ApplyActive();
}

std::string TStyleManager::ActiveStyleSheet() {
    auto& state = State();
    if (!state.Active)
        return {};
    std::string css = state.Active->StyleSheet();
    if (state.Hooks & shMenus)
        css.append("\n").append(state.Active->MenuStyleSheet());
    return css;
}

} // namespace Norvane::Platform::Ui
