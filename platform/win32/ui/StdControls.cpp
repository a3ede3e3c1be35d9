// Standard controls on Win32: the system's static, button, edit and progress
// bar classes, and the framework's paint class for the image and the activity
// indicator.
#include "platform/ui/ControlParts.h"
#include "platform/win32/ui/Win32Ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

constexpr double Pi = 3.14159265358979323846;
// The window property of an edit's left button: the TEdit it belongs to.
constexpr const wchar_t* EditButtonProperty = L"NorvaneEditButton";
constexpr int EditButtonPadding = 2;

std::wstring WindowText(HWND Window) {
    int length = GetWindowTextLengthW(Window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    int got = GetWindowTextW(Window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void SetStyleBits(HWND Window, DWORD Bits, bool On) {
    auto style = static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_STYLE));
    style = On ? (style | Bits) : (style & ~Bits);
    SetWindowLongPtrW(Window, GWL_STYLE, static_cast<LONG_PTR>(style));
}

void DrawBitmap(HDC Dc, const TBitmap& Picture, int X, int Y, int W, int H) {
    HBITMAP bitmap = BitmapToHbitmap(Picture);
    if (!bitmap)
        return;
    HDC memory = CreateCompatibleDC(Dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(Dc, X, Y, W, H, memory, 0, 0, Picture.Width(), Picture.Height(), blend);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

COLORREF Mix(COLORREF Back, double C, double Alpha) {
    auto mix = [&](int b) { return static_cast<BYTE>(std::lround(b + (C * 255 - b) * Alpha)); };
    return RGB(mix(GetRValue(Back)), mix(GetGValue(Back)), mix(GetBValue(Back)));
}

COLORREF BackgroundOf(const TControl* Control) {
    for (const TControl* c = Control; c; c = c->Parent())
        if (c->Color() != clDefault && c->Color() != clNone)
            return ToColorRef(c->Color());
    return ToColorRef(clBtnFace);
}

} // namespace

unsigned ControlParts::StartTimer(unsigned Milliseconds, std::function<void()> Piece) {
    return Win32Ui::StartTimer(Milliseconds, std::move(Piece));
}

void ControlParts::StopTimer(unsigned Id) {
    Win32Ui::StopTimer(Id);
}

// Notifications and painting (the shared window procedure calls these).

void Win32Ui::ControlNotify(TControl* Control, unsigned Code) {
    if (auto* button = dynamic_cast<TButton*>(Control)) {
        if (Code == BN_CLICKED)
            button->Click();
    } else if (auto* edit = dynamic_cast<TEdit*>(Control)) {
        if (Code == EN_CHANGE && edit->OnChange)
            edit->OnChange(edit);
    }
}

void Win32Ui::PaintControl(TControl* Control, HDC Dc, const RECT& Rect) {
    FillRect(Dc, &Rect, SolidBrush(BackgroundOf(Control)));
    if (auto* image = dynamic_cast<TImage*>(Control)) {
        if (!image->IconName().empty()) {
            const std::string& name = image->IconName();
            int id = name == "dialog-error"         ? 32513
                     : name == "dialog-warning"     ? 32515
                     : name == "dialog-question"    ? 32514
                     : name == "dialog-information" ? 32516
                                                    : 32512;
            int size = std::min(Rect.right, Rect.bottom);
            auto* icon = static_cast<HICON>(
                LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_SHARED));
            if (icon)
                DrawIconEx(Dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        } else if (!image->Picture().Empty()) {
            const TBitmap& picture = image->Picture();
            if (image->Stretch())
                DrawBitmap(Dc, picture, 0, 0, Rect.right, Rect.bottom);
            else
                DrawBitmap(Dc, picture, 0, 0, picture.Width(), picture.Height());
        }
    } else if (auto* indicator = dynamic_cast<TActivityIndicator*>(Control)) {
        // Drawn off screen, then copied, so that the animation does not flicker.
        HDC memory = CreateCompatibleDC(Dc);
        HBITMAP bitmap =
            CreateCompatibleBitmap(Dc, std::max<int>(Rect.right, 1), std::max<int>(Rect.bottom, 1));
        HGDIOBJ old = SelectObject(memory, bitmap);
        FillRect(memory, &Rect, SolidBrush(BackgroundOf(Control)));
        indicator->Draw(memory);
        BitBlt(Dc, 0, 0, Rect.right, Rect.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
}

SIZE Win32Ui::MinimumSize(TControl* Control) {
    SIZE none{0, 0};
    HWND window = H(Control->Widget());
    const bool label = dynamic_cast<TLabel*>(Control) != nullptr;
    const bool button = dynamic_cast<TButton*>(Control) != nullptr;
    const bool edit = dynamic_cast<TEdit*>(Control) != nullptr;
    if (!window || (!label && !button && !edit))
        return none;
    // A wrapping label takes the width it is given.
    if (label && (GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT)
        return none;
    std::wstring text = edit ? std::wstring(L"Wg") : WindowText(window);
    HDC dc = GetDC(window);
    if (!dc)
        return none;
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : DefaultFont());
    RECT r{0, 0, 0, 0};
    UINT flags = DT_CALCRECT | DT_LEFT | (label ? DT_NOPREFIX : 0);
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, flags);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    SIZE size{r.right - r.left, r.bottom - r.top};
    if (button) {
        size.cx += 16;
        size.cy += 8;
    } else if (edit) {
        size.cx = 0;
        size.cy += 6;
    }
    return size;
}

// TLabel.

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner, NewChild(L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX)) {}

std::string TLabel::Caption() const {
    return Win32::Narrow(WindowText(H(FWidget)));
}

void TLabel::SetCaption(const std::string& Value) {
    SetWindowTextW(H(FWidget), Win32::Widen(Value).c_str());
    RequestLayout(); // the text may need more room
}

void TLabel::SetWordWrap(bool Value) {
    auto style = static_cast<DWORD>(GetWindowLongPtrW(H(FWidget), GWL_STYLE));
    style = (style & ~static_cast<DWORD>(SS_TYPEMASK)) | (Value ? SS_LEFT : SS_LEFTNOWORDWRAP);
    SetWindowLongPtrW(H(FWidget), GWL_STYLE, static_cast<LONG_PTR>(style));
    InvalidateRect(H(FWidget), nullptr, TRUE);
    RequestLayout();
}

// TButton.

TButton::TButton(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP), nullptr) {
    SetTabStop(true);
}

std::string TButton::Caption() const {
    return Win32::Narrow(WindowText(H(FWidget)));
}

void TButton::SetCaption(const std::string& Value) {
    SetWindowTextW(H(FWidget), Win32::Widen(Value).c_str());
    RequestLayout();
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    SendMessageW(H(FWidget), BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// TEdit.

TEdit::TEdit(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(L"EDIT", ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE),
                  nullptr) {
    SetTabStop(true);
}

std::string TEdit::Text() const {
    return Win32::Narrow(WindowText(H(FWidget)));
}

void TEdit::SetText(const std::string& Value) {
    SetWindowTextW(H(FWidget), Win32::Widen(Value).c_str());
}

void TEdit::SetPasswordChar(char32_t Value) {
    FPasswordChar = Value;
    // The edit shows one UTF-16 unit per character: a character beyond the
    // basic plane is shown as a bullet.
    wchar_t shown = Value == 0                                              ? 0
                    : Value < 0x10000 && (Value < 0xD800 || Value > 0xDFFF) ? static_cast<wchar_t>(Value)
                                                                            : L'\x25CF';
    SendMessageW(H(FWidget), EM_SETPASSWORDCHAR, shown, 0);
    InvalidateRect(H(FWidget), nullptr, TRUE);
}

// The left button is a window of the paint class inside the edit, with the
// edit's text moved to its right.
void TEdit::UpdateLeftButton() {
    HWND edit = H(FWidget);
    HWND button = nullptr;
    for (HWND child = GetWindow(edit, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetPropW(child, EditButtonProperty))
            button = child;
    if (!FLeftButtonVisible) {
        if (button) {
            RemovePropW(button, EditButtonProperty);
            DestroyWindow(button);
        }
        SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(0, 0));
        return;
    }
    TCustomImageList* images = FImagesNotifier.expired() ? nullptr : FImages;
    int size = images ? images->Width() : 16;
    RECT client{};
    GetClientRect(edit, &client);
    int width = size + 2 * EditButtonPadding;
    if (!button) {
        button = CreateWindowExW(0, PaintClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, client.bottom, edit,
                                 nullptr, Instance(), nullptr);
        if (!button)
            return;
        SetPropW(button, EditButtonProperty, this);
    }
    SetWindowPos(button, nullptr, 0, 0, width, std::max<int>(client.bottom, size),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(width + EditButtonPadding, 0));
    InvalidateRect(button, nullptr, TRUE);
}

bool Win32Ui::EditButtonMessage(HWND Window, UINT Message, LRESULT& Result) {
    auto* edit = static_cast<TEdit*>(GetPropW(Window, EditButtonProperty));
    if (!edit)
        return false;
    switch (Message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Window, &paint);
        RECT r{};
        GetClientRect(Window, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
        TCustomImageList* images = edit->Images();
        int index = edit->LeftButtonImageIndex();
        Guard([&] {
            if (images && index >= 0 && index < images->Count()) {
                TBitmap picture = images->GetBitmap(index, edit->Enabled());
                DrawBitmap(dc, picture, EditButtonPadding, (r.bottom - picture.Height()) / 2, picture.Width(),
                           picture.Height());
            }
        });
        EndPaint(Window, &paint);
        Result = 0;
        return true;
    }
    case WM_LBUTTONUP:
        Guard([&] {
            if (edit->OnLeftButtonClick)
                edit->OnLeftButtonClick(edit);
        });
        Result = 0;
        return true;
    case WM_SETCURSOR:
        ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
        Result = TRUE;
        return true;
    default:
        return false;
    }
}

// TProgressBar.

TProgressBar::TProgressBar(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(PROGRESS_CLASSW, PBS_SMOOTH), nullptr) {
    SetBounds(0, 0, 150, 17);
    UpdateFraction();
}

void TProgressBar::SetStyle(TProgressBarStyle Value) {
    FStyle = Value;
    bool marquee = Value == TProgressBarStyle::pbstMarquee;
    SetStyleBits(H(FWidget), PBS_MARQUEE, marquee);
    SendMessageW(H(FWidget), PBM_SETMARQUEE, marquee ? TRUE : FALSE, static_cast<LPARAM>(FMarqueeInterval));
    UpdateFraction();
    UpdateTimer();
}

void TProgressBar::SetMarqueeInterval(int Value) {
    FMarqueeInterval = std::max(Value, 1);
    if (FStyle == TProgressBarStyle::pbstMarquee)
        SendMessageW(H(FWidget), PBM_SETMARQUEE, TRUE, static_cast<LPARAM>(FMarqueeInterval));
    ControlParts::StopTimer(FTimer);
    FTimer = 0;
    UpdateTimer();
}

void TProgressBar::UpdateFraction() {
    if (FStyle == TProgressBarStyle::pbstNormal) {
        SendMessageW(H(FWidget), PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
        SendMessageW(H(FWidget), PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
    }
}

// The system moves the marquee itself; the steps are counted while it shows.
void TProgressBar::MarqueeTick() {
    if (!IsWindowVisible(H(FWidget)))
        return;
    ++FMarqueeSteps;
}

// TActivityIndicator.

TActivityIndicator::TActivityIndicator(TComponent* AOwner)
    : TWinControl(AOwner, NewChild(PaintClass, 0), nullptr) {
    SetIndicatorSize(TActivityIndicatorSize::aisMedium);
    UpdateTimer();
}

void TActivityIndicator::SetIndicatorType(TActivityIndicatorType Value) {
    FType = Value;
    InvalidateRect(H(FWidget), nullptr, FALSE);
}

void TActivityIndicator::SetIndicatorColor(TActivityIndicatorColor Value) {
    FIndicatorColor = Value;
    InvalidateRect(H(FWidget), nullptr, FALSE);
}

void TActivityIndicator::SetIndicatorSize(TActivityIndicatorSize Value) {
    FSize = Value;
    int size = SizeInPixels(Value);
    SetBounds(Left(), Top(), size, size);
}

void TActivityIndicator::NextFrame() {
    if (!IsWindowVisible(H(FWidget)))
        return;
    FFrame = (FFrame + 1) % FrameCount;
    InvalidateRect(H(FWidget), nullptr, FALSE);
}

// Draws on a device context (HDC) whose background is already painted.
void TActivityIndicator::Draw(void* Context) const {
    auto dc = static_cast<HDC>(Context);
    double size = std::min(Width(), Height());
    if (size <= 0)
        size = SizeInPixels(FSize);
    COLORREF back = BackgroundOf(this);
    double c = FIndicatorColor == TActivityIndicatorColor::aicWhite ? 1.0 : 0.0;
    double t = static_cast<double>(FFrame) / FrameCount; // 0 .. 1 over one cycle
    double cx = size / 2, cy = size / 2;
    auto fill = [&](double Alpha, auto&& Shape) {
        COLORREF color = Mix(back, c, Alpha);
        HBRUSH brush = SolidBrush(color);
        HPEN pen = CreatePen(PS_SOLID, 1, color);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        Shape();
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
    };
    auto round = [](double V) { return static_cast<int>(std::lround(V)); };
    switch (FType) {
    case TActivityIndicatorType::aitMomentumDots:
        for (const auto& dot : ControlParts::MomentumDots(size, t))
            fill(1.0, [&] {
                Ellipse(dc, round(dot.X - dot.Radius), round(dot.Y - dot.Radius), round(dot.X + dot.Radius),
                        round(dot.Y + dot.Radius));
            });
        break;
    case TActivityIndicatorType::aitRotatingSector: {
        // A faint ring with a quarter of it drawn solid, turning.
        double radius = size * 0.38, width = std::max(1.0, size * 0.1);
        auto arc = [&](double Alpha, double From, double To) {
            HPEN pen = CreatePen(PS_SOLID, round(width), Mix(back, c, Alpha));
            HGDIOBJ old = SelectObject(dc, pen);
            int steps = std::max(2, static_cast<int>((To - From) / (Pi / 48)));
            for (int i = 0; i <= steps; ++i) {
                double a = From + (To - From) * i / steps;
                int x = round(cx + radius * std::cos(a)), y = round(cy + radius * std::sin(a));
                if (i == 0)
                    MoveToEx(dc, x, y, nullptr);
                else
                    LineTo(dc, x, y);
            }
            SelectObject(dc, old);
            DeleteObject(pen);
        };
        arc(0.25, 0, 2 * Pi);
        double start = ControlParts::SectorStart(t);
        arc(1.0, start, start + Pi / 2);
        break;
    }
    case TActivityIndicatorType::aitSectorRing: {
        double inner = size * 0.24, outer = size * 0.45;
        for (const auto& sector : ControlParts::RingSectors(t)) {
            const double a0 = sector.From, a1 = sector.To;
            POINT points[4] = {
                {round(cx + outer * std::cos(a0)), round(cy + outer * std::sin(a0))},
                {round(cx + outer * std::cos(a1)), round(cy + outer * std::sin(a1))},
                {round(cx + inner * std::cos(a1)), round(cy + inner * std::sin(a1))},
                {round(cx + inner * std::cos(a0)), round(cy + inner * std::sin(a0))},
            };
            fill(sector.Alpha, [&] { Polygon(dc, points, 4); });
        }
        break;
    }
    }
}

// TImage.

TImage::TImage(TComponent* AOwner) : TControl(AOwner, NewChild(PaintClass, 0)) {}

void TImage::SetIconName(const std::string& Name, int Size) {
    FIconName = Name;
    FPicture = TBitmap();
    if (Width() < Size || Height() < Size)
        SetBounds(Left(), Top(), std::max(Width(), Size), std::max(Height(), Size));
    UpdateNative();
}

void TImage::UpdateNative() {
    InvalidateRect(H(FWidget), nullptr, TRUE);
}

} // namespace Norvane::Platform::Ui
