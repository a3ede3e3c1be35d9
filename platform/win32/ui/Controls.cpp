// Control bases on Win32: every control is a child window; a windowed
// control's Handle() is a window of the framework's box class that lays out
// its children by Align and bounds.
#include "platform/win32/ui/Win32Ui.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <set>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

// Windowed controls whose box does not take the focus itself (panels).
std::set<const TWinControl*>& NoFocusBoxes() {
    static auto* boxes = new std::set<const TWinControl*>();
    return *boxes;
}

// Boxes being laid out, and those asked again meanwhile.
std::set<TWinControl*> InLayout;
std::set<TWinControl*> LayoutAgain;

bool IsBox(HWND Window) {
    wchar_t name[32] = {};
    return Window && GetClassNameW(Window, name, 32) > 0 && std::wstring(name) == BoxClass;
}

void Place(HWND Child, HWND Parent, RECT Rect) {
    if (TControl* control = ControlOf(Child)) {
        SIZE minimum = MinimumSize(control);
        Rect.right = std::max<LONG>(Rect.right, Rect.left + minimum.cx);
        Rect.bottom = std::max<LONG>(Rect.bottom, Rect.top + minimum.cy);
    }
    RECT now{};
    GetWindowRect(Child, &now);
    MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&now), 2);
    if (EqualRect(&now, &Rect))
        return;
    SetWindowPos(Child, nullptr, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK NativeSubclassProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                    DWORD_PTR) {
    switch (Message) {
    case WM_SETFOCUS:
        Guard([&] {
            if (TControl* control = ControlOf(Window))
                if (TCustomForm* form = control->GetParentForm())
                    form->HandleFocusWidget(Window);
        });
        break;
    case WM_KEYDOWN:
    case WM_KEYUP: {
        auto* edit = dynamic_cast<TEdit*>(ControlOf(Window));
        if (!edit)
            break;
        bool swallowed = GuardOr(false, [&] {
            TKeyEvent& handler = Message == WM_KEYUP ? edit->OnKeyUp : edit->OnKeyDown;
            if (!handler)
                return false;
            auto key = static_cast<std::uint16_t>(WParam);
            handler(edit, key, KeyboardShift());
            return key == 0;
        });
        if (swallowed) {
            // The character the key would type goes too.
            MSG pending;
            if (Message == WM_KEYDOWN)
                PeekMessageW(&pending, Window, WM_CHAR, WM_CHAR, PM_REMOVE);
            return 0;
        }
        break;
    }
    case WM_CHAR:
        // A one-line edit has no use for Enter or Escape and would only beep.
        if ((WParam == L'\r' || WParam == L'\n' || WParam == 0x1B) && dynamic_cast<TEdit*>(ControlOf(Window)))
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(Window, NativeSubclassProc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(Window, Message, WParam, LParam);
}

} // namespace

std::set<const TWinControl*>& Realized() {
    return RealizedControls();
}

// Helpers.

std::set<const TWinControl*>& Win32Ui::RealizedControls() {
    static auto* realized = new std::set<const TWinControl*>();
    return *realized;
}

HINSTANCE Win32Ui::Instance() {
    return GetModuleHandleW(nullptr);
}

TControl* Win32Ui::ControlOf(HWND Window) {
    return Window ? static_cast<TControl*>(GetPropW(Window, ControlProperty)) : nullptr;
}

void Win32Ui::SetControlOf(HWND Window, TControl* Control) {
    if (Control)
        SetPropW(Window, ControlProperty, Control);
    else
        RemovePropW(Window, ControlProperty);
}

void Win32Ui::RegisterClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = WindowProc;
    c.hInstance = Instance();
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    c.style = CS_DBLCLKS;
    c.lpszClassName = BoxClass;
    RegisterClassExW(&c);
    c.lpszClassName = PaintClass;
    c.style = CS_HREDRAW | CS_VREDRAW;
    RegisterClassExW(&c);
    c.lpszClassName = FormClass;
    c.style = CS_DBLCLKS;
    c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassExW(&c);
    c.lpszClassName = ShadowFormClass;
    c.style = CS_DBLCLKS | CS_DROPSHADOW;
    RegisterClassExW(&c);
    c.lpszClassName = ParkingClass;
    c.lpfnWndProc = DefWindowProcW;
    RegisterClassExW(&c);
}

HWND Win32Ui::ParkingWindow() {
    static HWND parking = nullptr;
    if (!parking) {
        EnsureToolkit();
        parking = CreateWindowExW(WS_EX_TOOLWINDOW, ParkingClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 1, 1,
                                  nullptr, nullptr, Instance(), nullptr);
        if (!parking)
            throw EUiError("Cannot create the framework's parking window");
    }
    return parking;
}

HWND Win32Ui::NewChild(const wchar_t* ClassName, DWORD Style, DWORD ExStyle, const wchar_t* Text) {
    HWND parent = ParkingWindow();
    HWND window = CreateWindowExW(ExStyle, ClassName, Text, WS_CHILD | WS_CLIPSIBLINGS | Style, 0, 0, 0, 0,
                                  parent, nullptr, Instance(), nullptr);
    if (!window)
        throw EUiError("Cannot create a window");
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
    return window;
}

UINT Win32Ui::WindowDpi(HWND Window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static auto get = reinterpret_cast<TGetDpiForWindow>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = get && Window ? get(Window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : 96;
}

// The system's message font at a scale (one font per scale, kept).
HFONT Win32Ui::FontForDpi(UINT Dpi) {
    static auto* fonts = new std::map<UINT, HFONT>();
    if (auto it = fonts->find(Dpi); it != fonts->end())
        return it->second;
    using TParametersForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static auto forDpi = reinterpret_cast<TParametersForDpi>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, Dpi)) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // The metrics are those of the system's scale.
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(Dpi),
                                                static_cast<int>(WindowDpi(nullptr)));
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (!font)
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    (*fonts)[Dpi] = font;
    return font;
}

HFONT Win32Ui::DefaultFont() {
    return FontForDpi(WindowDpi(nullptr));
}

namespace {
BOOL CALLBACK SetFontOfChild(HWND Window, LPARAM Font) {
    if (!IsBox(Window))
        SendMessageW(Window, WM_SETFONT, static_cast<WPARAM>(Font), TRUE);
    return TRUE;
}
} // namespace

void Win32Ui::ApplyFonts(HWND Window) {
    EnumChildWindows(Window, SetFontOfChild, reinterpret_cast<LPARAM>(FontForDpi(WindowDpi(Window))));
}

HBRUSH Win32Ui::SolidBrush(COLORREF Color) {
    static auto* brushes = new std::map<COLORREF, HBRUSH>();
    auto it = brushes->find(Color);
    if (it != brushes->end())
        return it->second;
    HBRUSH brush = CreateSolidBrush(Color);
    (*brushes)[Color] = brush;
    return brush;
}

COLORREF Win32Ui::ToColorRef(TColor Color) {
    TRgb rgb = ColorToRgb(Color);
    return RGB(rgb.R, rgb.G, rgb.B);
}

HBITMAP Win32Ui::BitmapToHbitmap(const TBitmap& Bitmap) {
    if (Bitmap.Empty())
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Bitmap.Width();
    info.bmiHeader.biHeight = -Bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP result = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!result || !bits)
        return result;
    auto* out = static_cast<std::uint8_t*>(bits);
    const auto& in = Bitmap.Pixels();
    for (std::size_t i = 0; i + 3 < in.size(); i += 4) {
        unsigned a = in[i + 3];
        out[i + 0] = static_cast<std::uint8_t>(in[i + 2] * a / 255);
        out[i + 1] = static_cast<std::uint8_t>(in[i + 1] * a / 255);
        out[i + 2] = static_cast<std::uint8_t>(in[i + 0] * a / 255);
        out[i + 3] = static_cast<std::uint8_t>(a);
    }
    return result;
}

HCURSOR Win32Ui::CursorHandle(TCursor Cursor) {
    const wchar_t* id = nullptr;
    switch (Cursor) {
    case TCursor::crDefault:
        return nullptr;
    case TCursor::crArrow:
        id = MAKEINTRESOURCEW(32512);
        break;
    case TCursor::crAppStart:
        id = MAKEINTRESOURCEW(32650);
        break;
    case TCursor::crHourGlass:
        id = MAKEINTRESOURCEW(32514);
        break;
    case TCursor::crIBeam:
        id = MAKEINTRESOURCEW(32513);
        break;
    case TCursor::crHandPoint:
        id = MAKEINTRESOURCEW(32649);
        break;
    case TCursor::crCross:
        id = MAKEINTRESOURCEW(32515);
        break;
    case TCursor::crNo:
        id = MAKEINTRESOURCEW(32648);
        break;
    }
    return id ? LoadCursorW(nullptr, id) : nullptr;
}

void Win32Ui::SubclassNative(HWND Window) {
    SetWindowSubclass(Window, NativeSubclassProc, 0, 0);
}

void Win32Ui::LayoutChildren(TWinControl* Parent) {
    HWND box = H(Parent->Handle());
    if (!box)
        return;
    if (InLayout.count(Parent)) {
        LayoutAgain.insert(Parent);
        return;
    }
    InLayout.insert(Parent);
    do {
        LayoutAgain.erase(Parent);
        RECT whole{};
        GetClientRect(box, &whole);
        RECT rest = whole;
        struct TPlaced {
            HWND Child;
            TControl* Control;
            RECT Rect;
        };
        std::vector<TPlaced> placed;
        std::vector<TControl*> controls;
        for (int i = 0; i < Parent->ControlCount(); ++i)
            controls.push_back(Parent->Controls(i));
        auto dock = [&](TAlign Align) {
            for (TControl* control : controls) {
                if (control->Align() != Align || !control->Visible() || !control->Widget())
                    continue;
                RECT r = rest;
                switch (Align) {
                case TAlign::alTop:
                    r.bottom = r.top + std::min<LONG>(control->Height(), rest.bottom - rest.top);
                    rest.top = r.bottom;
                    break;
                case TAlign::alBottom:
                    r.top = r.bottom - std::min<LONG>(control->Height(), rest.bottom - rest.top);
                    rest.bottom = r.top;
                    break;
                case TAlign::alLeft:
                    r.right = r.left + std::min<LONG>(control->Width(), rest.right - rest.left);
                    rest.left = r.right;
                    break;
                case TAlign::alRight:
                    r.left = r.right - std::min<LONG>(control->Width(), rest.right - rest.left);
                    rest.right = r.left;
                    break;
                default:
                    break;
                }
                placed.push_back({H(control->Widget()), control, r});
            }
        };
        dock(TAlign::alTop);
        dock(TAlign::alBottom);
        dock(TAlign::alLeft);
        dock(TAlign::alRight);
        for (TControl* control : controls) {
            if (!control->Visible() || !control->Widget())
                continue;
            if (control->Align() == TAlign::alClient) {
                placed.push_back({H(control->Widget()), control, rest});
            } else if (control->Align() == TAlign::alNone) {
                RECT r{control->Left(), control->Top(), control->Left() + std::max(control->Width(), 1),
                       control->Top() + std::max(control->Height(), 1)};
                Place(H(control->Widget()), box, r);
            }
        }
        // Native content that belongs to no control (a browser engine's view)
        // fills the whole area.
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (!ControlOf(child))
                placed.push_back({child, nullptr, whole});
        // The controls learn their new bounds before their windows move: a
        // control that places content of its own on a resize has it placed in
        // this same pass.
        for (auto& p : placed)
            if (p.Control)
                p.Control->UpdateBoundsFromLayout(p.Rect.left, p.Rect.top, p.Rect.right - p.Rect.left,
                                                  p.Rect.bottom - p.Rect.top);
        for (auto& p : placed)
            if (IsWindow(p.Child))
                Place(p.Child, box, p.Rect);
    } while (LayoutAgain.count(Parent));
    InLayout.erase(Parent);
}

// TControl.

TControl::TControl(TComponent* AOwner, void* AWidget) : TComponent(AOwner), FWidget(AWidget) {
    SetControlOf(H(FWidget), this);
    if (!IsBox(H(FWidget))) {
        wchar_t name[32] = {};
        GetClassNameW(H(FWidget), name, 32);
        if (std::wstring(name) != PaintClass)
            SubclassNative(H(FWidget));
    }
    ShowWindow(H(FWidget), SW_SHOWNA);
}

TControl::~TControl() {
    // The active control goes without being told it lost the focus: only its
    // base part is left by now.
    if (TCustomForm* form = GetParentForm(); form && form != this)
        form->ControlDestroyed(this);
    TWinControl* parent = FParent;
    if (FParent)
        FParent->RemoveControl(this);
    if (FWidget) {
        SetControlOf(H(FWidget), nullptr);
        DestroyWindow(H(FWidget));
        FWidget = nullptr;
    }
    if (parent)
        LayoutChildren(parent);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent)
        return;
    if (AParent && !AParent->Handle())
        throw EUiError("The control cannot hold other controls");
    if (FParent) {
        TWinControl* old = FParent;
        old->RemoveControl(this);
        ::SetParent(H(FWidget), ParkingWindow());
        LayoutChildren(old);
    }
    if (AParent) {
        AParent->InsertControl(this);
        ::SetParent(H(FWidget), H(AParent->Handle()));
        // Text at the scale of the parent's monitor.
        if (UINT dpi = WindowDpi(H(AParent->Handle())); dpi != WindowDpi(ParkingWindow())) {
            if (!IsBox(H(FWidget)))
                SendMessageW(H(FWidget), WM_SETFONT, reinterpret_cast<WPARAM>(FontForDpi(dpi)), TRUE);
            ApplyFonts(H(FWidget));
        }
        LayoutChildren(AParent);
        if (auto* windowed = dynamic_cast<TWinControl*>(this))
            windowed->HandleRealized();
    }
}

void TControl::ApplyVisible() {
    ShowWindow(H(FWidget), FVisible ? SW_SHOWNA : SW_HIDE);
}

bool TControl::Showing() const {
    return FWidget && IsWindowVisible(H(FWidget));
}

void TControl::SetEnabled(bool Value) {
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    EnableWindow(H(FWidget), Value);
    EnabledChanged();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    bool resized = AWidth != FWidth || AHeight != FHeight;
    bool moved = ALeft != FLeft || ATop != FTop;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (!FParent && FWidget && (resized || moved))
        SetWindowPos(H(FWidget), nullptr, ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (resized || moved)
        RequestLayout();
    if (resized)
        Resize();
}

void TControl::RequestLayout() {
    if (FParent && FParent->Handle())
        LayoutChildren(FParent);
}

void TControl::ApplyColor() {
    if (FWidget)
        InvalidateRect(H(FWidget), nullptr, TRUE);
}

void TControl::ApplyCursor() {
    // WM_SETCURSOR asks for the control's cursor each time the pointer moves.
    POINT p{};
    if (FWidget && GetCursorPos(&p) && WindowFromPoint(p) == H(FWidget))
        SetCursorPos(p.x, p.y);
}

TControl* TControl::FromWidget(void* Widget) {
    auto window = H(Widget);
    while (window) {
        if (TControl* control = ControlOf(window))
            return control;
        if (!(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
            break;
        window = GetParent(window);
    }
    return nullptr;
}

// TWinControl.

TWinControl::TWinControl(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(BoxClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT), nullptr) {
    FContainer = FWidget;
}

void TWinControl::SetTakesFocus(bool Value) {
    if (Value)
        NoFocusBoxes().erase(this);
    else
        NoFocusBoxes().insert(this);
}

TWinControl::TWinControl(TComponent* AOwner, void* AWidget, void* AContainer)
    : TControl(AOwner, AWidget), FContainer(AContainer) {}

void TWinControl::ConnectContainer() {}

TWinControl::~TWinControl() {
    while (!FControls.empty())
        delete FControls.back();
    NoFocusBoxes().erase(this);
    Realized().erase(this);
}

bool TWinControl::HandleAllocated() const {
    if (auto* form = dynamic_cast<const TCustomForm*>(this); form && !form->IsEmbedded())
        return form->NativeWindow() && Realized().count(this);
    return FWidget && Realized().count(this);
}

// The first time the control is placed in a form whose window has been
// created (shown once), CreateWnd runs, here and for everything it holds.
void TWinControl::HandleRealized() {
    TCustomForm* form = GetParentForm();
    if (!form || !Realized().count(form))
        return;
    if (!Realized().count(this)) {
        Realized().insert(this);
        if (auto* self = dynamic_cast<TCustomForm*>(this); !self || self->IsEmbedded()) {
            ApplyCursor();
            CreateWnd();
        }
    }
    auto copy = FControls;
    for (TControl* c : copy)
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->HandleRealized();
}

void TWinControl::ApplyColor() {
    TControl::ApplyColor();
}

bool TWinControl::Focused() const {
    HWND focus = GetFocus();
    return focus && FromWidget(focus) == this;
}

bool TWinControl::CanFocus() const {
    return Visible() && Enabled() && FWidget && IsWindowEnabled(H(FWidget)) && IsWindowVisible(H(FWidget));
}

void TWinControl::SetFocus() {
    if (!CanFocus() || Focused())
        return;
    if (FContainer == FWidget && NoFocusBoxes().count(this)) {
        if (TWinControl* first = FindNextControl(nullptr, true, false))
            first->SetFocus();
        return;
    }
    ::SetFocus(H(FWidget));
}

} // namespace Norvane::Platform::Ui
