// The style engine's hook points on Win32. Windows have no style sheets: a
// style acts through its system colours, which every form resolves again on
// a switch, and through the caption colours the desktop window manager
// offers.
#include "platform/ui/Styles.h"
#include "platform/ui/Application.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <cstring>
#include <initializer_list>

namespace Norvane::Platform::Ui {
namespace {

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

} // namespace

void TStyleManager::ApplyActive() {
    if (!Application().Initialized())
        return;
    for (int i = 0; i < TScreen::FormCount(); ++i) {
        TCustomForm* form = TScreen::Forms(i);
        if (!form)
            continue;
        form->ReapplyColors();
        if (!form->IsEmbedded() && form->NativeWindow()) {
            auto* window = static_cast<HWND>(form->NativeWindow());
            Win32Ui::ApplyStyleCaption(window);
            ::RedrawWindow(window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        }
    }
}

void Win32Ui::ApplyStyleCaption(HWND Window) {
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

} // namespace Norvane::Platform::Ui
