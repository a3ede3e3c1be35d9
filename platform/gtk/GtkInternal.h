// Shared pieces of the GTK backend: the align container, signal helpers that
// keep C++ exceptions out of the toolkit's frames, and conversions.
#pragma once

#include "platform/ui/Application.h"
#include "platform/ui/BackendInternal.h"
#include "platform/ui/Graphics.h"

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui::Gtk {

// The container behind TWinControl::Handle(): lays out framework children by
// Align and bounds, gives native children without a control the whole area,
// and paints an optional background colour.
GtkWidget* NewAlignBox();
bool IsAlignBox(GtkWidget* Widget);
void AlignBoxSetBackground(GtkWidget* Box, bool Has, TRgb Rgb);
void AlignBoxSetTakesFocus(GtkWidget* Box, bool Takes);

// Key under which each widget of a control carries its TControl*.
inline constexpr const char* ControlKey = "norvane-control";

template <class T> T* As(void* Pointer) {
    return static_cast<T*>(Pointer);
}
inline GtkWidget* W(void* Pointer) {
    return static_cast<GtkWidget*>(Pointer);
}

// Connects a signal whose handler is a plain function; the handler must catch
// everything itself (use Guard / GuardOr).
template <class F>
gulong Connect(gpointer Instance, const char* Signal, F Handler, gpointer Data, bool After = false) {
    return g_signal_connect_data(Instance, Signal, reinterpret_cast<GCallback>(Handler), Data, nullptr,
                                 After ? G_CONNECT_AFTER : static_cast<GConnectFlags>(0));
}

GdkPixbuf* BitmapToPixbuf(const TBitmap& Bitmap);
TBitmap PixbufToBitmap(GdkPixbuf* Pixbuf);

// Makes sure the toolkit is running (initialises the application object;
// raises EUiError when no display can be opened).
void EnsureToolkit();

// A new widget, made once the toolkit runs: controls built before the
// application was initialised start the toolkit (or raise EUiError) instead
// of calling into a toolkit that is not there.
template <class F> GtkWidget* NewWidget(F&& Make) {
    EnsureToolkit();
    return Make();
}

// Per-widget style sheet (replaces the previous one given to the widget).
void SetWidgetCss(GtkWidget* Widget, const std::string& Css);

// The program's windows and dialogs carry this style class, to which a
// style's sheet is scoped (pop-up menus and other toolkit windows lack it).
inline constexpr const char* StyledWindowClass = "norvane";
// Whether a style is active, so windows draw their own title bar in it.
bool StyleDrawsTitleBars();
// A title bar of the window's own (a header bar with the caption and the
// buttons of the decoration layout), or the window manager's frame again.
void SetStyledTitleBar(GtkWindow* Window, bool Styled, const char* Layout);
// Every form takes the title bar and the colours of the active style.
void RestyleForms();

std::string MnemonicFromCaption(const std::string& Caption);

// Services behind the optional hooks of platform/Ui.h.
// Presses and releases a virtual key through the display server (as typed).
bool SynthesizeKeyPress(int VirtualKey);
// The icon the desktop shows for a file, 32 x 32, as R, G, B, A bytes.
bool FileIcon(const std::string& Path, int& Width, int& Height, std::vector<std::uint8_t>& Pixels);
// Width in pixels of a text in a font (size in points).
int TextWidth(const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text);

// X11 details of a top-level window (false / nothing on other displays).
bool IsX11Window(GdkWindow* Window);
// _NET_FRAME_EXTENTS set by the window manager: left, right, top, bottom.
bool ReadFrameExtents(GdkWindow* Window, int& Left, int& Right, int& Top, int& Bottom);
// Whether a window manager runs that reports frame extents.
bool WindowManagerReportsFrames(GdkWindow* Window);
void SetCardinalProperty(GdkWindow* Window, const char* Name, long Value);
// The X server's time now (GDK_CURRENT_TIME on other displays).
guint32 ServerTime(GdkWindow* Window);
void DeleteProperty(GdkWindow* Window, const char* Name);

} // namespace Norvane::Platform::Ui::Gtk
