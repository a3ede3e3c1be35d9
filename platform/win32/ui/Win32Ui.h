// Shared pieces of the Win32 backend of the user-interface framework: window
// classes, the parking window that holds controls without a parent, the
// align layout, timers, key dispatch and conversions.
//
// The portable headers name key messages, virtual keys and window commands as
// constants that <windows.h> defines as macros, so they come first and the
// system header after them.
#pragma once

#include "platform/ui/Application.h"
#include "platform/ui/BackendInternal.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Menus.h"
#include "platform/ui/Styles.h"
#include "platform/ui/Types.h"

#include "platform/win32/Win32Internal.h"

// The framework has a MessageBox function of its own.
#undef MessageBox

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui::Win32Ui {

// Window classes of the framework.
inline constexpr const wchar_t* BoxClass = L"NorvaneBox";               // TWinControl::Handle()
inline constexpr const wchar_t* FormClass = L"NorvaneForm";             // top-level form window
inline constexpr const wchar_t* ShadowFormClass = L"NorvaneFormShadow"; // the same with a drop shadow
inline constexpr const wchar_t* PaintClass = L"NorvanePaint";           // drawn controls (image, indicator)
inline constexpr const wchar_t* QueueClass = L"NorvaneQueue";           // message-only thread queue
inline constexpr const wchar_t* ParkingClass = L"NorvaneParking";       // parent of unplaced controls
inline constexpr const wchar_t* ControlProperty = L"NorvaneControl";    // window property: TControl*

// Starts the toolkit (initialises the application object; raises EUiError
// when it cannot).
void EnsureToolkit();
// Registers the window classes (once).
void RegisterClasses();
HINSTANCE Instance();
// The hidden window that holds controls until they get a parent.
HWND ParkingWindow();
// A new child window of the parking window, made once the toolkit runs.
HWND NewChild(const wchar_t* ClassName, DWORD Style, DWORD ExStyle = 0, const wchar_t* Text = L"");

// The control a window itself belongs to (no search upwards), or null.
TControl* ControlOf(HWND Window);
void SetControlOf(HWND Window, TControl* Control);

// Places the children of a windowed control by Align and bounds; native
// children without a control get the whole client area.
void LayoutChildren(TWinControl* Parent);

// Windowed controls whose CreateWnd has run (a top-level form: its window
// has been shown once).
std::set<const TWinControl*>& RealizedControls();

// A notification of a native control (WM_COMMAND from its parent).
void ControlNotify(TControl* Control, unsigned Code);
// Paints a control of the framework's paint class.
void PaintControl(TControl* Control, HDC Dc, const RECT& Rect);

// The smallest size a control is shown at whatever its bounds (the text of
// labels and buttons, a line of an edit), as the GTK backend's natural minimum.
SIZE MinimumSize(TControl* Control);

// Messages of an edit's left button window; false for other windows.
bool EditButtonMessage(HWND Window, UINT Message, LRESULT& Result);

// The font of native controls: the system's message font at the scale of a
// monitor (dots per inch), or at the system's scale.
HFONT FontForDpi(UINT Dpi);
HFONT DefaultFont();
// The scale of a window's monitor (the system's for null or on systems
// without per-monitor scales).
UINT WindowDpi(HWND Window);
// Gives the native controls inside a window the font of its scale.
void ApplyFonts(HWND Window);
// A solid brush of a colour (cached for the life of the process).
HBRUSH SolidBrush(COLORREF Color);
COLORREF ToColorRef(TColor Color);
// A 32-bit top-down DIB section with premultiplied alpha (for menus and
// drawing); null for an empty picture.
HBITMAP BitmapToHbitmap(const TBitmap& Bitmap);
HCURSOR CursorHandle(TCursor Cursor);
// The screen cursor when one is set (crDefault otherwise).
TCursor ScreenCursorValue();

// Thread timers; the piece runs on the user-interface thread until stopped.
unsigned StartTimer(unsigned Milliseconds, std::function<void()> Piece);
void StopTimer(unsigned Id);

// The window procedure shared by the framework's classes.
LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
// Subclasses a native control: focus tracking and key events.
void SubclassNative(HWND Window);

// Gives a key message to the form of its window first (key preview, short-cuts,
// default and cancel buttons, Tab); true when that took it.
bool PreTranslateKey(MSG& Message);
// The key message as the framework's TWMKey, the modifier bits filled in.
TWMKey KeyMessage(UINT Message, WPARAM WParam, LPARAM LParam);
TShiftState KeyboardShift();

// A menu command (WM_COMMAND from a menu or accelerator).
void HandleMenuCommand(unsigned Id);

// Gives a window the application's icon when one is set.
void ApplyApplicationIcon(HWND Window);

// Services behind the optional hooks of platform/Ui.h (Screen.cpp).
// Presses and releases a virtual key (SendInput).
bool PressKey(int VirtualKey);
// The icon of a file, 32 x 32, as R, G, B, A bytes.
bool FileIcon(const std::string& Path, int& Width, int& Height, std::vector<std::uint8_t>& Pixels);
// Width in pixels of a text in a font (size in points) on the screen.
int TextWidth(const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text);

// Forms that exist, in order of creation (IsLiveForm: BackendInternal.h).
std::vector<TCustomForm*> LiveForms();

inline HWND H(void* Pointer) {
    return static_cast<HWND>(Pointer);
}

} // namespace Norvane::Platform::Ui::Win32Ui
