// Forms on Win32: a top-level window of the framework's form class whose
// client area (below the menu bar) holds the form's box; the shared window
// procedure of the framework's classes.

// Win32Ui.h first: it takes the portable headers in before the system's.
#include "platform/win32/ui/Win32Ui.h"

#include "platform/win32/ui/Win32Graphics.h"

#include <algorithm>
#include <string_view>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

std::vector<TCustomForm*>& FormList() {
    static auto* forms = new std::vector<TCustomForm*>();
    return *forms;
}

void StyleOf(TBorderStyle Border, DWORD& Style, DWORD& ExStyle) {
    ExStyle = 0;
    switch (Border) {
    case TBorderStyle::bsNone:
        Style = WS_POPUP;
        break;
    case TBorderStyle::bsSingle:
        Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    case TBorderStyle::bsSizeable:
        Style = WS_OVERLAPPEDWINDOW;
        break;
    case TBorderStyle::bsDialog:
        Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        ExStyle = WS_EX_DLGMODALFRAME;
        break;
    case TBorderStyle::bsToolWindow:
        Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        ExStyle = WS_EX_TOOLWINDOW;
        break;
    case TBorderStyle::bsSizeToolWin:
        Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        ExStyle = WS_EX_TOOLWINDOW;
        break;
    }
    Style |= WS_CLIPCHILDREN;
}

HWND CreateFormWindow(TCustomForm* Form, TBorderStyle Border, bool Shadow, int X, int Y, int W, int H) {
    EnsureToolkit();
    DWORD style = 0, exStyle = 0;
    StyleOf(Border, style, exStyle);
    HWND window = CreateWindowExW(exStyle, Shadow ? ShadowFormClass : FormClass, L"", style, X, Y, W, H,
                                  nullptr, nullptr, Instance(), nullptr);
    if (!window)
        throw EUiError("Cannot create a window");
    SetControlOf(window, Form);
    ApplyApplicationIcon(window);
    // A window made while a style is active takes its caption colours too.
    Win32Ui::ApplyStyleCaption(window);
    return window;
}

TWindowState StateOfWindow(HWND Window) {
    if (IsIconic(Window))
        return TWindowState::wsMinimized;
    return IsZoomed(Window) ? TWindowState::wsMaximized : TWindowState::wsNormal;
}

RECT MonitorWorkArea(HWND Window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(Window, MONITOR_DEFAULTTOPRIMARY);
    if (monitor && GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return r;
}

// DwmSetWindowAttribute, looked up once; null when the system has none.
using TDwmSetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
TDwmSetWindowAttribute DwmSetAttribute() {
    static bool looked = false;
    static TDwmSetWindowAttribute function = nullptr;
    if (!looked) {
        looked = true;
        if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll"))
            function = reinterpret_cast<TDwmSetWindowAttribute>(
                reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
    }
    return function;
}

// The window-corner attribute exists from Windows 11 (build 22000) on; older
// systems and compatibility layers take it without effect or refuse it.
bool SystemHasCornerAttribute() {
    static int known = -1;
    if (known < 0) {
        known = 0;
        using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        bool emulated = ntdll && GetProcAddress(ntdll, "wine_get_version");
        auto get = ntdll ? reinterpret_cast<TRtlGetVersion>(
                               reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")))
                         : nullptr;
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        if (!emulated && get && get(&version) == 0)
            known = version.dwMajorVersion > 10 ||
                    (version.dwMajorVersion == 10 && version.dwBuildNumber >= 22000);
    }
    return known == 1;
}

constexpr DWORD CornerPreferenceAttribute = 33;
// WM_DPICHANGED (the system headers define it only for newer targets).
constexpr UINT DpiChangedMessage = 0x02E0;

// Shows a window minimized, maximized or restored to its normal place.
void ShowInState(HWND Window, TWindowState State) {
    switch (State) {
    case TWindowState::wsNormal:
        if (IsIconic(Window) || IsZoomed(Window))
            ShowWindow(Window, SW_RESTORE);
        break;
    case TWindowState::wsMinimized:
        ShowWindow(Window, SW_MINIMIZE);
        break;
    case TWindowState::wsMaximized:
        ShowWindow(Window, SW_MAXIMIZE);
        break;
    }
}

} // namespace

std::vector<TCustomForm*> Win32Ui::LiveForms() {
    return FormList();
}

bool IsLiveForm(const TCustomForm* Form) {
    auto& list = FormList();
    return std::find(list.begin(), list.end(), Form) != list.end();
}

// Key messages.

TShiftState Win32Ui::KeyboardShift() {
    TShiftState shift = 0;
    if (GetKeyState(0x10) < 0)
        shift |= ssShift;
    if (GetKeyState(0x11) < 0)
        shift |= ssCtrl;
    if (GetKeyState(0x12) < 0)
        shift |= ssAlt;
    return shift;
}

TWMKey Win32Ui::KeyMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    TWMKey key;
    key.Msg = Message;
    key.CharCode = static_cast<std::uint16_t>(WParam);
    auto data = static_cast<std::int32_t>(LParam);
    if (!(data & KeyDataModifiersValid)) {
        // The state of the keyboard as of this message.
        TShiftState shift = KeyboardShift();
        data |= KeyDataModifiersValid;
        if (shift & ssCtrl)
            data |= KeyDataCtrl;
        if (shift & ssShift)
            data |= KeyDataShift;
    }
    key.KeyData = data;
    return key;
}

bool Win32Ui::PreTranslateKey(MSG& Message) {
    if (Message.message != WM_KEYDOWN && Message.message != WM_SYSKEYDOWN)
        return false;
    HWND root = Message.hwnd ? GetAncestor(Message.hwnd, GA_ROOT) : nullptr;
    auto* form = dynamic_cast<TCustomForm*>(ControlOf(root));
    if (!form)
        return false;
    return GuardOr(false, [&] { return form->HandleKeyPress(&Message); });
}

// TCustomForm.

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(BoxClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT), nullptr) {
    FContainer = FWidget;
    FWindow = CreateFormWindow(this, FBorderStyle, false, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300);
    FormList().push_back(this);
    ::SetParent(H(FWidget), H(FWindow));
    TControl::SetVisible(false);
    ShowWindow(H(FWidget), SW_SHOWNA);
    RECT r{};
    GetWindowRect(H(FWindow), &r);
    UpdateBoundsFromLayout(r.left, r.top, r.right - r.left, r.bottom - r.top);
    SetClientSize(320, 240);
}

TCustomForm::~TCustomForm() {
    BeforeDestruction();
    Application().FormDestroyed(this);
    auto& list = FormList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (FMenu)
        SetMenu(nullptr);
    while (ControlCount() > 0)
        delete Controls(ControlCount() - 1);
    RealizedControls().erase(this);
    if (FRegion)
        DeleteObject(static_cast<HRGN>(FRegion));
    if (FWindow) {
        HWND window = H(FWindow);
        FWindow = nullptr;
        SetControlOf(window, nullptr);
        if (GetParent(H(FWidget)) == window) {
            // The box goes with the window.
            SetControlOf(H(FWidget), nullptr);
            DestroyWindow(window);
            FWidget = nullptr;
            FContainer = nullptr;
        } else {
            DestroyWindow(window);
        }
    }
}

void TCustomForm::SetCaption(const std::string& Value) {
    FCaption = Value;
    SetWindowTextW(H(FWindow), Platform::Win32::Widen(Value).c_str());
}

// Geometry.

int TCustomForm::FrameWidth() const {
    RECT window{}, client{};
    GetWindowRect(H(FWindow), &window);
    GetClientRect(H(FWindow), &client);
    return (window.right - window.left) - client.right;
}

int TCustomForm::FrameHeight() const {
    RECT window{}, client{};
    GetWindowRect(H(FWindow), &window);
    GetClientRect(H(FWindow), &client);
    int menu = ::GetMenu(H(FWindow)) ? GetSystemMetrics(SM_CYMENU) : 0;
    return (window.bottom - window.top) - client.bottom - menu;
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (IsEmbedded()) {
        TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
        return;
    }
    ClampToConstraints(AWidth, AHeight);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (IsIconic(H(FWindow)) || IsZoomed(H(FWindow))) {
        // The place the window takes again when restored.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(H(FWindow), &placement);
        placement.rcNormalPosition = RECT{ALeft, ATop, ALeft + AWidth, ATop + AHeight};
        SetWindowPlacement(H(FWindow), &placement);
        return;
    }
    SetWindowPos(H(FWindow), nullptr, ALeft, ATop, std::max(AWidth, 1), std::max(AHeight, 1), flags);
    RECT r{};
    GetWindowRect(H(FWindow), &r);
    UpdateBoundsFromLayout(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TCustomForm::ApplyOuterSize() {}

int TCustomForm::ClientWidth() const {
    RECT r{};
    GetClientRect(IsEmbedded() ? H(FContainer) : H(FWindow), &r);
    return r.right;
}

int TCustomForm::ClientHeight() const {
    RECT r{};
    GetClientRect(IsEmbedded() ? H(FContainer) : H(FWindow), &r);
    return r.bottom;
}

void TCustomForm::SetClientSize(int AWidth, int AHeight) {
    if (IsEmbedded()) {
        TControl::SetBounds(Left(), Top(), AWidth, AHeight);
        return;
    }
    // The frame (and a menu bar that may wrap to more lines at the new width)
    // is measured from the window itself; twice, as the wrap follows the width.
    for (int pass = 0; pass < 2; ++pass) {
        RECT window{}, client{};
        GetWindowRect(H(FWindow), &window);
        GetClientRect(H(FWindow), &client);
        int outerW = AWidth + (window.right - window.left) - client.right;
        int outerH = AHeight + (window.bottom - window.top) - client.bottom;
        ClampToConstraints(outerW, outerH);
        SetBounds(window.left, window.top, outerW, outerH);
        if (ClientWidth() == AWidth && ClientHeight() == AHeight)
            break;
    }
}

void TCustomForm::SetConstraints(const TSizeConstraints& Value) {
    FConstraints = Value;
    ApplyGeometryHints();
}

// The limits reach the window through WM_GETMINMAXINFO; the present size is
// brought inside them at once.
void TCustomForm::ApplyGeometryHints() {
    if (IsEmbedded())
        return;
    int w = Width(), h = Height();
    ClampToConstraints(w, h);
    if (w != Width() || h != Height())
        SetBounds(Left(), Top(), w, h);
}

void TCustomForm::HandleConfigure(int X, int Y, int AWidth, int AHeight) {
    if (IsEmbedded() || IsIconic(H(FWindow)))
        return;
    UpdateBoundsFromLayout(X, Y, AWidth, AHeight);
}

void TCustomForm::ApplyPositionOnFirstShow() {
    TCustomForm* over = nullptr;
    switch (FPosition) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
        break;
    case TPosition::poMainFormCenter:
        over = Application().MainForm();
        break;
    case TPosition::poOwnerFormCenter:
        over = dynamic_cast<TCustomForm*>(Owner());
        if (!over)
            over = Application().MainForm();
        break;
    default:
        return;
    }
    RECT area{};
    if (over && over != this && !over->IsEmbedded() && IsWindowVisible(H(over->FWindow)))
        GetWindowRect(H(over->FWindow), &area);
    else
        area = MonitorWorkArea(over && over != this ? H(over->FWindow) : H(FWindow));
    int x = area.left + ((area.right - area.left) - Width()) / 2;
    int y = area.top + ((area.bottom - area.top) - Height()) / 2;
    RECT work = MonitorWorkArea(H(FWindow));
    x = std::max<int>(work.left, std::min<int>(x, work.right - Width()));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - Height()));
    SetBounds(x, y, Width(), Height());
}

void TCustomForm::ApplyBorderStyle() {
    DWORD style = 0, exStyle = 0;
    StyleOf(FBorderStyle, style, exStyle);
    HWND window = H(FWindow);
    auto old = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    style |= old & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_DISABLED);
    auto oldEx = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    exStyle |= oldEx & WS_EX_TOPMOST;
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyMenuVisibility();
}

void TCustomForm::ApplyWindowFunctions() {}

TWindowState TCustomForm::WindowState() const {
    if (!IsEmbedded() && IsWindowVisible(H(FWindow)))
        return StateOfWindow(H(FWindow));
    return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState Value) {
    if (IsEmbedded() || !IsWindowVisible(H(FWindow))) {
        FWindowState = Value; // applied when the window is shown
        return;
    }
    // The size message of the change finds the state before it, so that it
    // records the new one and tells the controls (HandleWindowState).
    ShowInState(H(FWindow), Value);
    FWindowState = Value;
}

void TCustomForm::ApplyWindowStateNative() {
    ShowInState(H(FWindow), FWindowState);
}

// A size message of the window: the box fills the client area; a change of
// state goes to the controls as a window command.
void TCustomForm::HandleWindowState(unsigned NewState, unsigned) {
    auto state = static_cast<TWindowState>(NewState);
    if (state == FWindowState)
        return;
    TWindowState old = FWindowState;
    FWindowState = state;
    if (state == TWindowState::wsMinimized)
        NotifySysCommand(SC_MINIMIZE);
    else if (state == TWindowState::wsMaximized)
        NotifySysCommand(SC_MAXIMIZE);
    else if (old != TWindowState::wsNormal)
        NotifySysCommand(SC_RESTORE);
    if (OnWindowStateChange)
        OnWindowStateChange(this);
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
    FFormStyle = Value;
    SetWindowPos(H(FWindow), Value == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetMenu(TMainMenu* Value) {
    if (FMenu == Value)
        return;
    TMainMenu* old = FMenu;
    FMenu = nullptr;
    if (old && old->OwnerForm() == this)
        old->SetOwnerForm(nullptr);
    if (Value) {
        if (TCustomForm* other = Value->OwnerForm())
            other->SetMenu(nullptr);
        FMenu = Value;
        Value->SetOwnerForm(this);
    }
    ApplyMenuVisibility();
}

void TCustomForm::ApplyMenuVisibility() {
    // A dialog frame, a borderless window and an embedded form show no menu bar.
    bool show = FMenu && FMenu->Widget() && FBorderStyle != TBorderStyle::bsDialog &&
                FBorderStyle != TBorderStyle::bsNone && !IsEmbedded();
    HMENU wanted = show ? static_cast<HMENU>(FMenu->Widget()) : nullptr;
    if (::GetMenu(H(FWindow)) != wanted) {
        ::SetMenu(H(FWindow), wanted);
        DrawMenuBar(H(FWindow));
    }
}

void TCustomForm::SetCursor(TCursor Value) {
    TControl::SetCursor(Value);
}

// Keys and focus.

// Event is the MSG of a key down message of one of the form's windows.
bool TCustomForm::HandleKeyPress(void* Event) {
    auto* msg = static_cast<MSG*>(Event);
    TWMKey message = KeyMessage(msg->message, msg->wParam, msg->lParam);
    if (FKeyPreview && OnKeyDown) {
        std::uint16_t key = message.CharCode;
        OnKeyDown(this, key, KeyDataToShiftState(message.KeyData));
        if (key == 0)
            return true;
    }
    if (IsShortCut(message))
        return true;
    TShiftState shift = KeyDataToShiftState(message.KeyData);
    // Tab moves between the framework's controls; native content of no
    // control (a browser engine's view) keeps its own Tab.
    if (message.Msg == WM_KEYDOWN && message.CharCode == VK_TAB && (shift & (ssCtrl | ssAlt)) == 0 &&
        ControlOf(msg->hwnd)) {
        SelectNext(FActiveControl, (shift & ssShift) == 0, true);
        return true;
    }
    // Alt and a button's access key click it (the menu bar's keys come after).
    if (message.Msg == WM_SYSKEYDOWN && (shift & ssAlt) && !(shift & ssCtrl) &&
        ((message.CharCode >= 'A' && message.CharCode <= 'Z') ||
         (message.CharCode >= '0' && message.CharCode <= '9'))) {
        std::vector<TButton*> buttons;
        CollectButtons(this, buttons);
        const auto key = static_cast<char32_t>(message.CharCode >= 'A' && message.CharCode <= 'Z'
                                                   ? message.CharCode - 'A' + 'a'
                                                   : message.CharCode);
        for (TButton* b : buttons)
            if (b->Showing() && b->Enabled() && CaptionAccessKey(b->Caption()) == key) {
                b->Click();
                return true;
            }
    }
    if ((message.CharCode == VK_ESCAPE || message.CharCode == VK_RETURN) && (shift & (ssCtrl | ssAlt)) == 0) {
        auto* focusedButton = dynamic_cast<TButton*>(TControl::FromWidget(GetFocus()));
        // A system button has no Enter of its own outside dialog boxes.
        if (message.CharCode == VK_RETURN && focusedButton && focusedButton->Enabled()) {
            focusedButton->Click();
            return true;
        }
        if (ClickDefaultOrCancelButton(this, message.CharCode, focusedButton != nullptr))
            return true;
    }
    return false;
}

void TCustomForm::HandleActiveChanged() {
    if (Active()) {
        if (OnActivate)
            OnActivate(this);
    } else if (OnDeactivate) {
        OnDeactivate(this);
    }
}

bool TCustomForm::Active() const {
    return FWindow && GetActiveWindow() == H(FWindow);
}

void TCustomForm::BringToFront() {
    if (IsEmbedded() || !Visible())
        return;
    if (IsIconic(H(FWindow)))
        ShowWindow(H(FWindow), SW_RESTORE);
    SetForegroundWindow(H(FWindow));
    BringWindowToTop(H(FWindow));
}

// Showing, closing, modal loop.

void TCustomForm::ApplyVisible() {
    if (IsEmbedded()) {
        ShowWindow(H(FWidget), Visible() ? SW_SHOWNA : SW_HIDE);
        return;
    }
    if (Visible()) {
        if (!FShownOnce) {
            FShownOnce = true;
            ApplyPositionOnFirstShow();
        }
        // Shown in the state asked for while hidden.
        int command = SW_SHOW;
        if (FWindowState == TWindowState::wsMaximized)
            command = SW_SHOWMAXIMIZED;
        else if (FWindowState == TWindowState::wsMinimized)
            command = SW_SHOWMINIMIZED;
        else if (IsZoomed(H(FWindow)) || IsIconic(H(FWindow)))
            command = SW_SHOWNORMAL;
        ShowWindow(H(FWindow), command);
        if (!RealizedControls().count(this))
            HandleWindowRealized();
        DoShow();
    } else {
        ShowWindow(H(FWindow), SW_HIDE);
        DoHide();
    }
}

void TCustomForm::SetModalResult(TModalResult Value) {
    FModalResult = Value;
    // The modal loop looks at the result after each message; this one wakes it.
    if (FModalLoop && Value != mrNone)
        PostMessageW(H(FWindow), WM_NULL, 0, 0);
}

namespace {
struct TModalLoop {
    std::vector<HWND> Disabled;
};

// Disables a shown window of the thread other than the modal one.
BOOL CALLBACK DisableWindowForModal(HWND Window, LPARAM Data) {
    auto* loop = reinterpret_cast<std::pair<TModalLoop*, HWND>*>(Data);
    if (Window != loop->second && IsWindowVisible(Window) && IsWindowEnabled(Window)) {
        EnableWindow(Window, FALSE);
        loop->first->Disabled.push_back(Window);
    }
    return TRUE;
}
} // namespace

TModalResult TCustomForm::ShowModal() {
    AfterConstruction();
    if (FModalLoop)
        throw EUiError("The window is already shown modally");
    if (IsEmbedded())
        throw EUiError("An embedded window cannot be shown modally");
    FModalResult = mrNone;
    TModalLoop loop;
    FModalLoop = &loop;
    Application().RegisterModalLoop(&loop);
    // The other windows of the thread take no input while the form is shown.
    TCustomForm* active = Application().ActiveForm();
    HWND owner = active && active != this && !active->IsEmbedded() ? H(active->FWindow) : nullptr;
    if (owner)
        SetWindowLongPtrW(H(FWindow), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    std::pair<TModalLoop*, HWND> enumData{&loop, H(FWindow)};
    EnumThreadWindows(GetCurrentThreadId(), DisableWindowForModal, reinterpret_cast<LPARAM>(&enumData));
    auto restore = [&] {
        for (HWND window : loop.Disabled)
            if (IsWindow(window))
                EnableWindow(window, TRUE);
        loop.Disabled.clear();
    };
    bool alive = true;
    try {
        Show();
        MSG message;
        for (;;) {
            if (Application().Terminated()) {
                FModalResult = mrCancel;
                break;
            }
            if (FModalResult != mrNone) {
                CloseModal();
                if (FModalResult != mrNone)
                    break;
                continue;
            }
            BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got <= 0) {
                Application().Terminate();
                continue;
            }
            if (!PreTranslateKey(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (!IsLiveForm(this)) {
                alive = false;
                break;
            }
        }
    } catch (...) {
        Application().UnregisterModalLoop(&loop);
        restore();
        if (IsLiveForm(this))
            FModalLoop = nullptr;
        throw;
    }
    Application().UnregisterModalLoop(&loop);
    restore();
    if (!alive)
        return mrCancel;
    FModalLoop = nullptr;
    Hide();
    if (owner) {
        SetWindowLongPtrW(H(FWindow), GWLP_HWNDPARENT, 0);
        if (IsWindow(owner) && IsWindowVisible(owner))
            SetActiveWindow(owner);
    }
    return FModalResult;
}

// Embedding.

void TCustomForm::SetParent(TWinControl* AParent) {
    if (AParent == Parent())
        return;
    if (AParent) {
        ShowWindow(H(FWindow), SW_HIDE);
        TControl::SetParent(AParent);
    } else {
        TControl::SetParent(nullptr);
        ::SetParent(H(FWidget), H(FWindow));
        RECT r{};
        GetClientRect(H(FWindow), &r);
        SetWindowPos(H(FWidget), nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(H(FWidget), SW_SHOWNA);
    }
    ApplyMenuVisibility();
    ApplyVisible();
}

// Native window.

void TCustomForm::HandleWindowRealized() {
    RealizedControls().insert(this);
    CreateWnd();
    HandleRealized(); // the controls it holds
}

void TCustomForm::HandleMapped() {}

void TCustomForm::ApplyTitleBar() {}

void TCustomForm::RecreateWnd() {
    if (IsEmbedded() || !RealizedControls().count(this))
        return;
    RebuildNativeWindow([] {});
}

// A new native window takes the old one's place, box, menu bar and state;
// the old one is destroyed and CreateWnd runs again.
void TCustomForm::RebuildNativeWindow(const std::function<void()>& Change) {
    HWND old = H(FWindow);
    const bool visible = IsWindowVisible(old);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(old, &placement);
    RECT r{};
    GetWindowRect(old, &r);
    HWND window =
        CreateFormWindow(this, FBorderStyle, FDropShadow, r.left, r.top, r.right - r.left, r.bottom - r.top);
    SetWindowTextW(window, Platform::Win32::Widen(FCaption).c_str());
    auto exStyle = GetWindowLongPtrW(old, GWL_EXSTYLE);
    if (exStyle & WS_EX_TOPMOST)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetMenu(old, nullptr);
    if (FRegion) {
        HRGN copy = CreateRectRgn(0, 0, 0, 0);
        if (copy && CombineRgn(copy, static_cast<HRGN>(FRegion), nullptr, RGN_COPY) != ERROR &&
            SetWindowRgn(window, copy, FALSE))
            copy = nullptr;
        if (copy)
            DeleteObject(copy);
    }
    FWindow = window;
    ::SetParent(H(FWidget), window);
    SetControlOf(old, nullptr);
    DestroyWindow(old);
    Change();
    ApplyMenuVisibility();
    placement.showCmd = visible ? placement.showCmd : SW_HIDE;
    SetWindowPlacement(window, &placement);
    RECT client{};
    GetClientRect(window, &client);
    SetWindowPos(H(FWidget), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    if (RealizedControls().count(this))
        CreateWnd();
}

bool TCustomForm::SetWindowRoundRectRegion(int X1, int Y1, int X2, int Y2, int AWidth, int AHeight) {
    if (!FWindow || X2 <= X1 || Y2 <= Y1)
        return false;
    HRGN region = CreateRoundRectRgn(X1, Y1, X2, Y2, AWidth, AHeight);
    if (!region)
        return false;
    if (!SetWindowRgn(H(FWindow), region, TRUE)) {
        DeleteObject(region);
        return false;
    }
    // The system owns the region now; a copy stays for a window made anew.
    if (FRegion)
        DeleteObject(static_cast<HRGN>(FRegion));
    FRegion = CreateRoundRectRgn(X1, Y1, X2, Y2, AWidth, AHeight);
    return true;
}

void TCustomForm::ClearWindowRegion() {
    if (FRegion) {
        DeleteObject(static_cast<HRGN>(FRegion));
        FRegion = nullptr;
    }
    if (FWindow)
        SetWindowRgn(H(FWindow), nullptr, TRUE);
}

// The shadow belongs to the window's class: a change makes the window anew.
void TCustomForm::SetDropShadow(bool Value) {
    if (FDropShadow == Value)
        return;
    FDropShadow = Value;
    if (!IsEmbedded())
        RebuildNativeWindow([] {});
}

bool TCustomForm::SetWindowCornerPreference(int Value) {
    if (!FWindow || Value < 0 || Value > 3)
        return false;
    auto set = DwmSetAttribute();
    if (!set || !SystemHasCornerAttribute())
        return false;
    DWORD preference = static_cast<DWORD>(Value);
    return SUCCEEDED(set(H(FWindow), CornerPreferenceAttribute, &preference, sizeof preference));
}

// The window procedure of the framework's classes.

LRESULT CALLBACK Win32Ui::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    TControl* control = ControlOf(Window);
    if (LRESULT result = 0; !control && EditButtonMessage(Window, Message, result))
        return result;
    auto* form = dynamic_cast<TCustomForm*>(control);
    const bool isFormWindow = form && form->NativeWindow() == Window;
    switch (Message) {
    case WM_SETTINGCHANGE:
        // Sent to every top-level window: the main form's alone reports it.
        if (isFormWindow && form == Application().MainForm() && LParam &&
            std::wstring_view(reinterpret_cast<const wchar_t*>(LParam)) == L"ImmersiveColorSet")
            if (auto handler = Application().OnSystemThemeChange)
                Guard([&] { handler(); });
        break;
    case WM_CLOSE:
        if (isFormWindow) {
            Guard([&] { form->HandleDeleteRequest(); });
            return 0;
        }
        break;
    case WM_GETMINMAXINFO:
        if (isFormWindow) {
            auto* info = reinterpret_cast<MINMAXINFO*>(LParam);
            const auto& c = form->Constraints();
            if (c.MinWidth > 0)
                info->ptMinTrackSize.x = c.MinWidth;
            if (c.MinHeight > 0)
                info->ptMinTrackSize.y = c.MinHeight;
            if (c.MaxWidth > 0)
                info->ptMaxTrackSize.x = c.MaxWidth;
            if (c.MaxHeight > 0)
                info->ptMaxTrackSize.y = c.MaxHeight;
            if (form->BorderStyle() == TBorderStyle::bsNone) {
                // Borderless and maximized: the whole monitor.
                MONITORINFO monitor{};
                monitor.cbSize = sizeof monitor;
                if (GetMonitorInfoW(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &monitor)) {
                    info->ptMaxPosition = POINT{monitor.rcMonitor.left - monitor.rcWork.left,
                                                monitor.rcMonitor.top - monitor.rcWork.top};
                    info->ptMaxSize = POINT{monitor.rcMonitor.right - monitor.rcMonitor.left,
                                            monitor.rcMonitor.bottom - monitor.rcMonitor.top};
                }
            }
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGED:
        if (isFormWindow) {
            RECT r{};
            GetWindowRect(Window, &r);
            Guard([&] { form->HandleConfigure(r.left, r.top, r.right - r.left, r.bottom - r.top); });
        }
        break;
    case WM_SIZE:
        if (isFormWindow) {
            if (WParam != SIZE_MINIMIZED && !form->IsEmbedded() && form->Handle())
                SetWindowPos(H(form->Handle()), nullptr, 0, 0, LOWORD(LParam), HIWORD(LParam),
                             SWP_NOZORDER | SWP_NOACTIVATE);
            TWindowState state = WParam == SIZE_MINIMIZED   ? TWindowState::wsMinimized
                                 : WParam == SIZE_MAXIMIZED ? TWindowState::wsMaximized
                                                            : TWindowState::wsNormal;
            // A hidden window keeps the state asked for.
            if (WParam <= SIZE_MAXIMIZED && IsWindowVisible(Window))
                Guard([&] { form->HandleWindowState(static_cast<unsigned>(state), 0); });
            return 0;
        }
        if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->Handle() == Window) {
            Guard([&] { LayoutChildren(windowed); });
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (isFormWindow) {
            Guard([&] { form->HandleActiveChanged(); });
            if (LOWORD(WParam) != WA_INACTIVE)
                if (TWinControl* active = form->ActiveControl(); active && active->CanFocus()) {
                    ::SetFocus(H(active->Widget()));
                    return 0;
                }
        }
        break;
    case WM_SETFOCUS:
        if (control && !isFormWindow)
            Guard([&] {
                if (TCustomForm* parentForm = control->GetParentForm())
                    parentForm->HandleFocusWidget(Window);
            });
        break;
    case WM_COMMAND:
        if (LParam == 0) {
            if (HIWORD(WParam) == 0 || HIWORD(WParam) == 1)
                Guard([&] { HandleMenuCommand(LOWORD(WParam)); });
            return 0;
        }
        if (TControl* child = ControlOf(reinterpret_cast<HWND>(LParam))) {
            Guard([&] { ControlNotify(child, HIWORD(WParam)); });
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        // Colours resolve through the active style: the control's own, else
        // (labels, buttons) the nearest parent's, else the system colours.
        TControl* child = ControlOf(reinterpret_cast<HWND>(LParam));
        auto* dc = reinterpret_cast<HDC>(WParam);
        const bool edit = Message == WM_CTLCOLOREDIT;
        TColor back = edit ? clWindow : clBtnFace;
        auto has = [](TColor Color) { return Color != clDefault && Color != clNone; };
        if (child && has(child->Color()))
            back = child->Color();
        else if (!edit)
            for (TControl* c = control; c; c = c->Parent())
                if (has(c->Color())) {
                    back = c->Color();
                    break;
                }
        COLORREF color = ToColorRef(back);
        SetBkColor(dc, color);
        SetTextColor(dc, ToColorRef(edit ? clWindowText : clBtnText));
        return reinterpret_cast<LRESULT>(SolidBrush(color));
    }
    case WM_ERASEBKGND:
        if (control && !isFormWindow) {
            RECT r{};
            GetClientRect(Window, &r);
            TColor color = control->Color();
            HBRUSH brush = SolidBrush(ToColorRef(color != clDefault && color != clNone ? color : clBtnFace));
            FillRect(reinterpret_cast<HDC>(WParam), &r, brush);
            return 1;
        }
        break;
    case WM_PAINT:
        if (control && !isFormWindow && !dynamic_cast<TWinControl*>(control)) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(Window, &paint);
            RECT r{};
            GetClientRect(Window, &r);
            Guard([&] { PaintControl(control, dc, r); });
            EndPaint(Window, &paint);
            return 0;
        }
        if (auto* indicator = dynamic_cast<TActivityIndicator*>(control)) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(Window, &paint);
            RECT r{};
            GetClientRect(Window, &r);
            Guard([&] { PaintControl(indicator, dc, r); });
            EndPaint(Window, &paint);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (LOWORD(LParam) == HTCLIENT) {
            TCursor cursor = ScreenCursorValue();
            if (cursor == TCursor::crDefault) {
                // The nearest control upwards that asks for a cursor.
                for (TControl* c = control; c && cursor == TCursor::crDefault; c = c->Parent())
                    cursor = c->Cursor();
            }
            if (HCURSOR handle = CursorHandle(cursor)) {
                ::SetCursor(handle);
                return TRUE;
            }
        }
        break;
    case DpiChangedMessage:
        if (isFormWindow) {
            // The size the system suggests for the new monitor's scale.
            const auto* r = reinterpret_cast<const RECT*>(LParam);
            ApplyFonts(Window);
            SetWindowPos(Window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}

} // namespace Norvane::Platform::Ui
