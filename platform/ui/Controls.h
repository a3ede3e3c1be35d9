// Controls: the control base, the windowed-control base that hosts native
// content (TWinControl), and the standard controls the windows use.
#pragma once

#include "platform/ui/Graphics.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

class TWinControl;
class TCustomForm;
class TCustomImageList;

// Window commands passed to SysCommand (the values of the WM_SYSCOMMAND commands).
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_MAXIMIZE = 0xF030;
inline constexpr unsigned SC_CLOSE = 0xF060;
inline constexpr unsigned SC_RESTORE = 0xF120;

// A visible element with a native widget, a parent, bounds and alignment.
// Bounds are relative to the parent's client area. A control is freed by its
// owner or, failing that, by its parent (both remove it from the other).
class TControl : public TComponent {
public:
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);

    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    virtual void Show() { SetVisible(true); }
    virtual void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a shown top-level window.
    bool Showing() const;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    void SetLeft(int Value) { SetBounds(Value, Top(), Width(), Height()); }
    void SetTop(int Value) { SetBounds(Left(), Value, Width(), Height()); }
    void SetWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }
    void SetHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }
    virtual int ClientWidth() const { return Width(); }
    virtual int ClientHeight() const { return Height(); }

    TColor Color() const { return FColor; }
    virtual void SetColor(TColor Value);
    TCursor Cursor() const { return FCursor; }
    virtual void SetCursor(TCursor Value);

    // The form that contains this control (the top-most form of the parent chain).
    TCustomForm* GetParentForm() const;

    // The native widget (GtkWidget*; the control's HWND on Windows).
    void* Widget() const { return FWidget; }
    // The control a native widget belongs to (the nearest one upwards), or null.
    static TControl* FromWidget(void* Widget);

    TNotifyEvent OnResize;
    // The control's place (Left, Top) changed; for a form, the window moved.
    TNotifyEvent OnMove;

    // Called by the layout when the control's place changed (framework use).
    void UpdateBoundsFromLayout(int ALeft, int ATop, int AWidth, int AHeight);

protected:
    // Takes over a new native widget (floating references are sunk).
    TControl(TComponent* AOwner, void* AWidget);

    // Framework hook after a size change; the base raises OnResize.
    virtual void Resize();
    // Framework hook after Visible changed (the base does nothing).
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    // Shows or hides the native widget (forms show their window).
    virtual void ApplyVisible();
    virtual void ApplyColor();
    void ApplyCursor();
    void RequestLayout();

    void* FWidget = nullptr;

private:
    friend class TWinControl;
    TWinControl* FParent = nullptr;
    TAlign FAlign = TAlign::alNone;
    bool FVisible = true;
    bool FEnabled = true;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TColor FColor = clDefault;
    TCursor FCursor = TCursor::crDefault;
    void* FColorProvider = nullptr;
};

// A control with its own native container. Its Handle() is a GtkContainer that
// lays out the framework children by their Align and bounds, and gives any
// native child that belongs to no control (for example a browser engine's
// view) the whole of its allocation.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner = nullptr);
    ~TWinControl() override;

    // The native handle: the GtkContainer* described above (on Windows the HWND
    // of a window that lays out its children the same way).
    void* Handle() const { return FContainer; }
    // True once the native window exists (the container is realized).
    bool HandleAllocated() const;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(static_cast<std::size_t>(Index)); }

    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    int TabOrder() const;
    void SetTabOrder(int Value);

    bool Focused() const;
    bool CanFocus() const;
    virtual void SetFocus();
    // Moves the focus to the next (or previous) windowed control after
    // CurControl among this control's descendants, in tab order; only tab stops
    // when CheckTabStop. Nothing happens when there is no other candidate.
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    // The next candidate SelectNext would pick, or null.
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop) const;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // Framework hooks, called by the form.
    virtual void DoEnter();
    virtual void DoExit();
    // A window command of the containing top-level window: SC_MINIMIZE when it
    // is minimized, SC_RESTORE when it comes back from minimized, SC_MAXIMIZE.
    // The form passes it to every windowed control it contains. Base: nothing.
    virtual void SysCommand(unsigned Command) { (void)Command; }

    void NotifySysCommand(unsigned Command);
    void HandleRealized();
    // Resolves the colours of this control and all it holds again (system
    // colours follow the active style).
    void ReapplyColors();

protected:
    TWinControl(TComponent* AOwner, void* AWidget, void* AContainer);
    // Whether the control takes the focus itself when it has no child that
    // can (a plain windowed control does; panels do not).
    void SetTakesFocus(bool Value);
    // Runs each time the native window has been created (the first time and
    // again whenever the toolkit re-creates it). The base does nothing.
    virtual void CreateWnd() {}
    void ApplyColor() override;

    void* FContainer = nullptr;

private:
    friend class TControl;
    void InsertControl(TControl* Control);
    void RemoveControl(TControl* Control);
    void CollectTabList(std::vector<TWinControl*>& List) const;
    void ConnectContainer();

    std::vector<TControl*> FControls;
    bool FTabStop = false;
};

// A plain panel (a windowed control with a background colour).
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* AOwner = nullptr) : TWinControl(AOwner) { SetTakesFocus(false); }
};

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* AOwner = nullptr);
    std::string Caption() const;
    void SetCaption(const std::string& Value);
    void SetWordWrap(bool Value);
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner = nullptr);
    std::string Caption() const;
    void SetCaption(const std::string& Value);
    // Clicking sets the containing form's ModalResult to this when not 0.
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Value) { FModalResult = Value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    void Click();
    TNotifyEvent OnClick;

private:
    int FModalResult = 0;
    bool FDefault = false;
    bool FCancel = false;
};

// Single-line edit with an optional password character, an optional button
// area at its left showing an image of an image list, and key events.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner = nullptr);
    ~TEdit() override;
    std::string Text() const;
    void SetText(const std::string& Value);
    // 0 shows the text; any other character hides each typed character behind it.
    char32_t PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char32_t Value);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    bool LeftButtonVisible() const { return FLeftButtonVisible; }
    void SetLeftButtonVisible(bool Value);
    int LeftButtonImageIndex() const { return FLeftButtonImageIndex; }
    void SetLeftButtonImageIndex(int Value);

    TNotifyEvent OnChange;
    TNotifyEvent OnLeftButtonClick;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;

    void UpdateLeftButton();

private:
    char32_t FPasswordChar = 0;
    TCustomImageList* FImages = nullptr;
    bool FLeftButtonVisible = false;
    int FLeftButtonImageIndex = -1;
    std::weak_ptr<TChangeNotifier> FImagesNotifier;
};

enum class TProgressBarStyle { pbstNormal, pbstMarquee };

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* AOwner = nullptr);
    ~TProgressBar() override;
    TProgressBarStyle Style() const { return FStyle; }
    void SetStyle(TProgressBarStyle Value);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    void SetRange(int AMin, int AMax);
    void SetPosition(int Value);
    // Milliseconds between marquee steps.
    int MarqueeInterval() const { return FMarqueeInterval; }
    void SetMarqueeInterval(int Value);
    // Steps the marquee has moved (it moves only while shown).
    int MarqueeSteps() const { return FMarqueeSteps; }

    void MarqueeTick();

protected:
    void VisibleChanged() override { UpdateTimer(); }

private:
    void UpdateTimer();
    void UpdateFraction();
    TProgressBarStyle FStyle = TProgressBarStyle::pbstNormal;
    int FMin = 0, FMax = 100, FPosition = 0;
    int FMarqueeInterval = 50;
    int FMarqueeSteps = 0;
    unsigned FTimer = 0;
};

enum class TActivityIndicatorType { aitMomentumDots, aitRotatingSector, aitSectorRing };
enum class TActivityIndicatorColor { aicBlack, aicWhite };
enum class TActivityIndicatorSize { aisSmall, aisMedium, aisLarge, aisXLarge };

// An animated activity indicator drawn by the framework.
class TActivityIndicator : public TWinControl {
public:
    explicit TActivityIndicator(TComponent* AOwner = nullptr);
    ~TActivityIndicator() override;
    TActivityIndicatorType IndicatorType() const { return FType; }
    void SetIndicatorType(TActivityIndicatorType Value);
    TActivityIndicatorColor IndicatorColor() const { return FIndicatorColor; }
    void SetIndicatorColor(TActivityIndicatorColor Value);
    TActivityIndicatorSize IndicatorSize() const { return FSize; }
    void SetIndicatorSize(TActivityIndicatorSize Value);
    bool Animate() const { return FAnimate; }
    void SetAnimate(bool Value);
    int FrameIndex() const { return FFrame; }
    static int SizeInPixels(TActivityIndicatorSize Size);
    // Frames of one full cycle.
    static constexpr int FrameCount = 60;

    void NextFrame();
    // Draws the current frame on a cairo context (cairo_t*; an HDC on Windows)
    // of Width x Height.
    void Draw(void* Cairo) const;

private:
    void UpdateTimer();
    TActivityIndicatorType FType = TActivityIndicatorType::aitMomentumDots;
    TActivityIndicatorColor FIndicatorColor = TActivityIndicatorColor::aicBlack;
    TActivityIndicatorSize FSize = TActivityIndicatorSize::aisMedium;
    bool FAnimate = true;
    int FFrame = 0;
    unsigned FTimer = 0;
};

// Shows a bitmap (or a named theme icon).
class TImage : public TControl {
public:
    explicit TImage(TComponent* AOwner = nullptr);
    const TBitmap& Picture() const { return FPicture; }
    void SetPicture(const TBitmap& Value);
    // A named icon of the toolkit theme ("dialog-error", ...) at the given size.
    void SetIconName(const std::string& Name, int Size);
    const std::string& IconName() const { return FIconName; }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);

private:
    void UpdateNative();
    TBitmap FPicture;
    std::string FIconName;
    bool FStretch = false;
};

} // namespace Norvane::Platform::Ui
