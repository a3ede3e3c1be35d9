// Helpers of the user-interface tests: waiting on the event loop, real input
// through the X server (XTest), and reading what the window manager sees.
#pragma once

#include "platform/ui/Application.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace Norvane::Testing::Ui {

// Dispatches events until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs = 5000);
// Dispatches events for a while.
void Pump(int Milliseconds);
// Runs Action from the event loop as soon as Condition holds (checked every
// 20 ms, also inside nested loops such as a modal dialog's); gives up after
// the timeout and then sets *TimedOut when given.
void When(std::function<bool()> Condition, std::function<void()> Action, int TimeoutMs = 8000,
          bool* TimedOut = nullptr);

void* XDisplay();

// Shows the form modally and runs Action once it is on the screen and has the
// focus. A form still modal 20 s later is ended with the result -1, so that a
// lost event fails the test instead of blocking it.
Norvane::Platform::Ui::TModalResult RunModal(Norvane::Platform::Ui::TCustomForm& Form,
                                             std::function<void()> Action);
unsigned long XidOf(void* GtkWindowPointer);
// Shown, mapped by the window manager and holding the input focus.
bool WaitActive(void* GtkWindowPointer, int TimeoutMs = 5000);
void PresentAndWait(void* GtkWindowPointer);

// Real key and pointer input. Keys are X key symbol names ("a", "Return",
// "Escape", "Tab", "F10"); modifiers "ctrl", "shift", "alt".
void TapKey(const std::string& Key, const std::vector<std::string>& Modifiers = {});
void ClickAt(int RootX, int RootY);
// The X key code of a key symbol name.
int KeycodeOf(const std::string& Key);
// Clicks the middle of a widget.
void ClickWidget(GtkWidget* Widget);

// What the window manager knows of a top-level X window.
std::vector<std::string> AtomListProperty(unsigned long Xid, const char* Name);
std::vector<long> CardinalProperty(unsigned long Xid, const char* Name);
bool HasProperty(unsigned long Xid, const char* Name);
// The frame extents (left, right, top, bottom) or empty.
std::vector<long> FrameExtents(unsigned long Xid);
// Client area position (root coordinates) and size of an X window.
struct TGeometry {
    int X = 0, Y = 0, Width = 0, Height = 0;
};
TGeometry ClientGeometry(unsigned long Xid);
bool WindowViewable(unsigned long Xid);
// The size limits the window manager is given (WM_NORMAL_HINTS).
struct TSizeHints {
    int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};
TSizeHints NormalHints(unsigned long Xid);
// Asks the window manager, as a pager does, to change the window's state.
void SendNetWmState(unsigned long Xid, bool Add, const char* State1, const char* State2 = nullptr);
void SendCloseRequest(unsigned long Xid);
void SendIconify(unsigned long Xid);
void SendActivate(unsigned long Xid);

// Top-level GTK windows of a type (message dialogs, file choosers...).
std::vector<GtkWindow*> ToplevelsOfType(GType Type);
// The descendant buttons of a widget with the given label (underscores
// removed before comparing).
GtkWidget* FindButton(GtkWidget* Root, const std::string& Label);
std::string MessageDialogText(GtkWindow* Dialog);
// A pixel of what a window shows (root-window coordinates of the display).
struct TPixel {
    int R = 0, G = 0, B = 0;
};
TPixel ScreenPixel(int RootX, int RootY);

} // namespace Norvane::Testing::Ui
