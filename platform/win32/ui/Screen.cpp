// The screen on Win32 (the monitor of the main window), the desktop's
// top-level windows, and the services behind the optional hooks of
// platform/Ui.h: key presses, file icons and text widths.
#include "platform/win32/ui/Win32Ui.h"

#include <shellapi.h>

#include <algorithm>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

TCursor ScreenCursor = TCursor::crDefault;

MONITORINFO MainMonitor() {
    EnsureToolkit();
    MONITORINFO info{};
    info.cbSize = sizeof info;
    TCustomForm* main = Application().MainForm();
    HMONITOR monitor = main && main->NativeWindow()
                           ? MonitorFromWindow(H(main->NativeWindow()), MONITOR_DEFAULTTOPRIMARY)
                           : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) {
        info.rcMonitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        info.rcWork = info.rcMonitor;
    }
    return info;
}

BOOL CALLBACK AddWindowCaption(HWND Window, LPARAM Data) {
    auto* list = reinterpret_cast<std::vector<std::string>*>(Data);
    int length = GetWindowTextLengthW(Window);
    if (length <= 0)
        return TRUE;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(Window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    if (!text.empty())
        list->push_back(Win32::Narrow(text));
    return TRUE;
}

TRect ToRect(const RECT& R) {
    return TRect{R.left, R.top, R.right, R.bottom};
}

} // namespace

TRect TScreen::DesktopRect() {
    return ToRect(MainMonitor().rcMonitor);
}

TRect TScreen::WorkArea() {
    return ToRect(MainMonitor().rcWork);
}

TCursor TScreen::Cursor() {
    return ScreenCursor;
}

void TScreen::SetCursor(TCursor Value) {
    ScreenCursor = Value;
    if (HCURSOR cursor = CursorHandle(Value))
        ::SetCursor(cursor);
}

TCursor Win32Ui::ScreenCursorValue() {
    return ScreenCursor;
}

int TScreen::FormCount() {
    return static_cast<int>(LiveForms().size());
}

TCustomForm* TScreen::Forms(int Index) {
    auto forms = LiveForms();
    if (Index < 0 || Index >= static_cast<int>(forms.size()))
        return nullptr;
    return forms[static_cast<std::size_t>(Index)];
}

// EnumWindows goes through the top-level windows in their stacking order,
// front first.
std::vector<std::string> GetTopLevelWindowCaptions() {
    std::vector<std::string> captions;
    EnumWindows(AddWindowCaption, reinterpret_cast<LPARAM>(&captions));
    return captions;
}

bool Win32Ui::PressKey(int VirtualKey) {
    if (VirtualKey <= 0 || VirtualKey > 0xFE)
        return false;
    INPUT inputs[2]{};
    for (auto& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(VirtualKey);
        input.ki.wScan =
            static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(VirtualKey), 0)); // MAPVK_VK_TO_VSC
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool Win32Ui::FileIcon(const std::string& Path, int& Width, int& Height, std::vector<std::uint8_t>& Pixels) {
    HICON icon = nullptr;
    std::wstring path = Win32::Widen(Path);
    if (ExtractIconExW(path.c_str(), 0, &icon, nullptr, 1) == 0 || !icon)
        return false;
    constexpr int Size = 32;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Size;
    info.bmiHeader.biHeight = -Size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::fill_n(static_cast<std::uint8_t*>(bits), Size * Size * 4, std::uint8_t{0});
        ok = DrawIconEx(dc, 0, 0, icon, Size, Size, 0, nullptr, DI_NORMAL) != FALSE;
        SelectObject(dc, old);
        if (ok) {
            const auto* in = static_cast<const std::uint8_t*>(bits);
            bool anyAlpha = false;
            for (int i = 0; i < Size * Size; ++i)
                anyAlpha = anyAlpha || in[i * 4 + 3] != 0;
            Pixels.resize(static_cast<std::size_t>(Size) * Size * 4);
            for (int i = 0; i < Size * Size; ++i) {
                std::uint8_t a = anyAlpha ? in[i * 4 + 3] : 255;
                // From premultiplied B, G, R, A to straight R, G, B, A.
                auto straight = [&](std::uint8_t v) {
                    return a == 0 ? std::uint8_t{0} : static_cast<std::uint8_t>(std::min(255, v * 255 / a));
                };
                Pixels[static_cast<std::size_t>(i) * 4 + 0] =
                    anyAlpha ? straight(in[i * 4 + 2]) : in[i * 4 + 2];
                Pixels[static_cast<std::size_t>(i) * 4 + 1] =
                    anyAlpha ? straight(in[i * 4 + 1]) : in[i * 4 + 1];
                Pixels[static_cast<std::size_t>(i) * 4 + 2] =
                    anyAlpha ? straight(in[i * 4 + 0]) : in[i * 4 + 0];
                Pixels[static_cast<std::size_t>(i) * 4 + 3] = a;
            }
            Width = Size;
            Height = Size;
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(dc);
    DestroyIcon(icon);
    return ok;
}

int Win32Ui::TextWidth(const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text) {
    if (Text.empty() || Size <= 0 || Size > 1000)
        return 0;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 0;
    LOGFONTW face{};
    face.lfHeight = -MulDiv(Size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    face.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
    face.lfItalic = Italic ? TRUE : FALSE;
    face.lfCharSet = DEFAULT_CHARSET;
    std::wstring name = Win32::Widen(Font);
    name.resize(std::min<std::size_t>(name.size(), LF_FACESIZE - 1));
    std::copy(name.begin(), name.end(), face.lfFaceName);
    HFONT font = CreateFontIndirectW(&face);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    std::wstring text = Win32::Widen(Text);
    SIZE extent{};
    int width =
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent) ? extent.cx : 0;
    if (old)
        SelectObject(dc, old);
    if (font)
        DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return width;
}

} // namespace Norvane::Platform::Ui
