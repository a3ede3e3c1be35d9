// Pieces of the Win32 user-interface layer shared by the dialogs, the canvas,
// the colours and the styles: COM references and apartments, 32-bit DIB
// sections, GDI fonts and the caption colours of a style.
#pragma once

// The portable headers name constants that <windows.h> defines as macros, so
// they come before it, whichever header a source includes first.
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"

#include "platform/win32/Win32Internal.h"

#include <objbase.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui::Win32Ui {

// Owns one reference of a COM interface.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& Other) noexcept : FPointer(Other.FPointer) { Other.FPointer = nullptr; }
    T** operator&() {
        Reset();
        return &FPointer;
    }
    T* operator->() const { return FPointer; }
    T* Get() const { return FPointer; }
    explicit operator bool() const { return FPointer != nullptr; }
    void Reset() {
        if (FPointer)
            FPointer->Release();
        FPointer = nullptr;
    }

private:
    T* FPointer = nullptr;
};

// COM for the calling thread while the object lives: a single-threaded
// apartment (what the shell's dialogs need); a thread that already has an
// apartment of either kind keeps it.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const { return FUsable; }

private:
    bool FInitialized = false;
    bool FUsable = false;
};

// A top-down 32-bit DIB section (B, G, R, X bytes) selected into a memory
// device context of its own.
class DibSection {
public:
    DibSection(int Width, int Height);
    ~DibSection();
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    HDC Dc() const { return FDc; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Pixel (X, Y) as 0x00RRGGBB (the alpha byte is GDI's own and unused).
    std::uint32_t* Row(int Y) { return FBits + static_cast<std::size_t>(Y) * FWidth; }
    std::uint32_t* Bits() { return FBits; }
    void Clear(std::uint32_t Value);

private:
    int FWidth = 0;
    int FHeight = 0;
    HDC FDc = nullptr;
    HBITMAP FBitmap = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
    std::uint32_t* FBits = nullptr;
};

// The system's message font (the one of message boxes), optionally bold and of
// a given height in pixels (0: the system's).
HFONT CreateMessageFont(bool Bold = false, int PixelHeight = 0);
// Size in pixels of a text in a font; with WrapWidth > 0 the text is broken
// into lines no wider than that.
SIZE MeasureText(HFONT Font, const std::string& Text, int WrapWidth = 0);

// An icon drawn at Size x Size pixels with straight alpha (worked out from
// drawings on black and on white, so icons without an alpha channel also
// come out right).
TBitmap IconToBitmap(HICON Icon, int Size);

// Frees a key message made by MessageToNativeKeyEvent (platform/ui/Keys.h),
// which on this system is a MSG.
void FreeNativeKeyEvent(void* Event);

// The active style's window and window-text colours as the caption colours
// of a top-level window (the desktop window manager's attributes 35 and 36,
// loaded on first use); the system look gives the window back the default
// colours. Nothing happens where the system has no such attributes.
void ApplyStyleCaption(HWND Window);

} // namespace Norvane::Platform::Ui::Win32Ui
