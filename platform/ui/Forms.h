// Forms: top-level windows (or forms embedded in another form's client area).
#pragma once

#include "platform/ui/Controls.h"

#include <functional>
#include <string>

namespace Norvane::Platform::Ui {

class TMainMenu;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                              mrYes = 6, mrNo = 7, mrClose = 8, mrHelp = 9, mrTryAgain = 10, mrContinue = 11,
                              mrAll = 12, mrNoToAll = 13, mrYesToAll = 14;

// Size limits of the outer window; 0 = no limit.
struct TSizeConstraints {
    int MinWidth = 0;
    int MinHeight = 0;
    int MaxWidth = 0;
    int MaxHeight = 0;
    bool operator==(const TSizeConstraints&) const = default;
};

using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

// Left, Top, Width and Height of a form are those of the outer window (frame
// included); ClientWidth/ClientHeight those of the area inside it, below the
// menu bar.
class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner = nullptr);
    ~TCustomForm() override;

    // Creates a form of type T and raises its OnCreate (after T's constructor).
    template <class T, class... A> static T* Create(A&&... Args) {
        T* form = new T(std::forward<A>(Args)...);
        form->AfterConstruction();
        return form;
    }
    // Raises OnCreate once (Create<T> and Application().CreateForm call it;
    // Show and ShowModal call it when nobody did).
    void AfterConstruction();
    // Raises OnDestroy once; a derived form whose OnDestroy uses its own members
    // calls it in its destructor (the base destructor calls it otherwise).
    void BeforeDestruction();

    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
    void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
    void SetClientSize(int AWidth, int AHeight);
    // Size of the frame the window manager adds: left + right, top + bottom.
    int FrameWidth() const;
    int FrameHeight() const;

    const TSizeConstraints& Constraints() const { return FConstraints; }
    void SetConstraints(const TSizeConstraints& Value);

    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);

    // The state asked for while the window is hidden; while it is shown, the
    // state the window manager reports (a change asked for shows once it is
    // made). A borderless window maximized is shown full screen.
    TWindowState WindowState() const;
    void SetWindowState(TWindowState Value);

    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);

    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* Value);

    void SetColor(TColor Value) override;
    void SetCursor(TCursor Value) override;

    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }
    // The form's short-cut check: OnShortCut first, then the main menu's items.
    // Takes key down messages (WM_KEYDOWN, WM_SYSKEYDOWN); true when a
    // short-cut took the key.
    virtual bool IsShortCut(const TWMKey& Message);
    std::function<void(const TWMKey& Message, bool& Handled)> OnShortCut;
    // With KeyPreview, the form sees key presses before the focused control.
    TKeyEvent OnKeyDown;

    // Embedding: with a parent the form's client area becomes a child of the
    // parent's client area, laid out by Align like any control.
    void SetParent(TWinControl* AParent) override;

    void Show() override;
    void Hide() override;
    // Shows the form modally (a nested loop) until ModalResult is set; closing
    // the window gives mrCancel.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value);
    bool IsModal() const { return FModalLoop != nullptr; }
    // Asks OnCloseQuery, then raises OnClose and acts on its action (hide by
    // default; free for the main form, which also ends the application).
    void Close();
    bool CloseQuery();
    // Frees the form from the event loop once the current event is done.
    void Release();

    bool Active() const;
    void BringToFront();
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);
    // Framework use: a control of this form is being destroyed; when it is the
    // active control, the form has none from now on (no exit notice).
    void ControlDestroyed(const TControl* Control);

    // A window region: the round rectangle from (X1, Y1) to (X2, Y2) with a
    // corner ellipse of W x H; outside it the window is cut away. False when
    // the window does not exist yet or the region cannot be applied.
    bool SetWindowRoundRectRegion(int X1, int Y1, int X2, int Y2, int W, int H);
    void ClearWindowRegion();
    // Asks for a shadow under the window (drawn by the compositing manager).
    void SetDropShadow(bool Value);
    bool DropShadow() const { return FDropShadow; }

    // The window-corner preference (values of the desktop window manager's
    // corner attribute: 0 default, 1 square, 2 round, 3 small round), recorded
    // on the native window as the property _NORVANE_WINDOW_CORNER_PREFERENCE
    // (for compositing managers) and drawn by the window's own decoration when
    // it draws one. False when the window does not exist or nothing on the
    // running system can draw the corners.
    bool SetWindowCornerPreference(int Value);

    // Re-creates the native window: the window is destroyed and made again (and
    // shown again when it was), so CreateWnd runs again.
    void RecreateWnd();
    // Gives the window a title bar of its own while a style is active (the
    // window manager's frame otherwise); a shown window is mapped again.
    void ApplyTitleBar();
    // The native top-level window (GtkWindow*; HWND on Windows).
    void* NativeWindow() const { return FWindow; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    // The window was minimized, maximized or restored (WindowState changed).
    TNotifyEvent OnWindowStateChange;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;

    // Framework use.
    void HandleDeleteRequest();
    void HandleWindowState(unsigned NewState, unsigned Changed);
    void HandleConfigure(int X, int Y, int W, int H);
    bool HandleKeyPress(void* Event);
    void HandleFocusWidget(void* Widget);
    void HandleMapped();
    void HandleWindowRealized();
    void HandleActiveChanged();
    bool IsEmbedded() const { return Parent() != nullptr; }
    void ApplyMenuVisibility();

protected:
    // Runs each time the native top-level window has been created.
    void CreateWnd() override {}
    virtual void DoClose(TCloseAction& Action);
    virtual void DoShow();
    virtual void DoHide();
    void ApplyVisible() override;

private:
    // Unmaps and unrealizes the native window, makes the change, and realizes
    // and shows it again at its place as it was.
    void RebuildNativeWindow(const std::function<void()>& Change);
    void ApplyBorderStyle();
    void ApplyGeometryHints();
    void ApplyPositionOnFirstShow();
    void ApplyWindowStateNative();
    void ApplyWindowFunctions();
    void RememberNormalPlace();
    void ApplyOuterSize();
    void CloseModal();
    void ClampToConstraints(int& W, int& H) const;

    void* FWindow = nullptr;   // GtkWindow
    void* FOuterBox = nullptr; // GtkBox: menu bar + client container
    std::string FCaption;
    TSizeConstraints FConstraints;
    TPosition FPosition = TPosition::poDefaultPosOnly;
    TBorderStyle FBorderStyle = TBorderStyle::bsSizeable;
    TWindowState FWindowState = TWindowState::wsNormal; // asked for, or last reported
    int FOwnFrameLeft = 0, FOwnFrameTop = 0;            // own title bar and frame inside the native window
    int FStyleFunctions = 0;                            // what the border style lets the window manager do
    int FFunctions = -1;                                // what it was last told
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    TMainMenu* FMenu = nullptr;
    bool FKeyPreview = false;
    TModalResult FModalResult = mrNone;
    void* FModalLoop = nullptr;
    bool FCreated = false;
    bool FDestroyed = false;
    bool FShownOnce = false;
    bool FDropShadow = false;
    bool FOuterSizePending = false;
    bool FMaximizeAfterFullscreen = false;
    bool FPositionPending = false;
    int FFrameW = 0, FFrameH = 0;
    bool FFrameKnown = false;
    int FClientW = 0, FClientH = 0;
    int FNormalLeft = 0, FNormalTop = 0; // outer place in the normal state
    // The single border's fixed size (the native window's, last asked for by
    // the form) and the window manager's resizes undone in a row.
    int FFixedW = 0, FFixedH = 0;
    int FResizesUndone = 0;
    TWinControl* FActiveControl = nullptr;
    void* FRegion = nullptr;

    friend class TApplication;
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* AOwner = nullptr) : TCustomForm(AOwner) {}
};

} // namespace Norvane::Platform::Ui
