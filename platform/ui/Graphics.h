// Colours in the values of Windows colour references, cursors and a plain
// 32-bit bitmap.
#pragma once

#include "platform/ui/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

// 0x00BBGGRR for a plain colour; 0xFF0000nn for system colour nn.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;

struct TRgb {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    bool operator==(const TRgb&) const = default;
};

inline constexpr bool IsSystemColor(TColor Color) {
    return (Color & 0xFF000000u) == clSystemColor;
}

// A plain colour split into its parts (system colours are not resolved here).
inline constexpr TRgb PlainColorToRgb(TColor Color) {
    return TRgb{static_cast<std::uint8_t>(Color & 0xFF), static_cast<std::uint8_t>((Color >> 8) & 0xFF),
                static_cast<std::uint8_t>((Color >> 16) & 0xFF)};
}
inline constexpr TColor RgbToColor(TRgb Rgb) {
    return static_cast<TColor>(Rgb.R) | (static_cast<TColor>(Rgb.G) << 8) |
           (static_cast<TColor>(Rgb.B) << 16);
}

// The colour as shown: plain colours as they are, system colours taken from
// the running theme (window, button face, hot light, highlight, texts and the
// others mapped to the theme's nearest named colour; the classic Windows values
// where the theme has none). Needs an initialised application for the theme.
TRgb ColorToRgb(TColor Color);

// A 32-bit image, pixels as straight (not premultiplied) R, G, B, A bytes.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int AWidth, int AHeight) { SetSize(AWidth, AHeight); }

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    void SetSize(int AWidth, int AHeight);

    std::uint8_t* Pixel(int X, int Y) { return &FPixels[(static_cast<std::size_t>(Y) * FWidth + X) * 4]; }
    const std::uint8_t* Pixel(int X, int Y) const {
        return &FPixels[(static_cast<std::size_t>(Y) * FWidth + X) * 4];
    }
    std::vector<std::uint8_t>& Pixels() { return FPixels; }
    const std::vector<std::uint8_t>& Pixels() const { return FPixels; }
    void Fill(TRgb Rgb, std::uint8_t Alpha = 255);

    // Decodes PNG, JPEG, BMP, GIF, ICO or TIFF bytes; raises EUiError when the
    // bytes are no picture the system can read.
    static TBitmap FromEncoded(const std::string& Bytes);
    // The picture as PNG file bytes.
    std::string EncodePng() const;
    // The picture scaled to the given size.
    TBitmap Scaled(int AWidth, int AHeight) const;
    // The picture in grey, as shown for a disabled item: luminance kept,
    // colour removed, alpha halved.
    TBitmap Grayed() const;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint8_t> FPixels;
};

} // namespace Norvane::Platform::Ui
