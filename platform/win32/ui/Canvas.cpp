// The canvas on GDI. Rectangles are painted straight into the pixels. GDI
// draws without alpha, so every other figure is first drawn in white on black into a 32-bit DIB section as
// its coverage (grey levels where text is smoothed), and its colour is then laid over the working copy of the
// bitmap by that coverage; the copy goes back into the bitmap on Flush().
#include "platform/ui/Canvas.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <algorithm>
#include <cmath>

namespace Norvane::Platform::Ui {

using Platform::Win32::Widen;

struct TCanvas::TImpl {
    TImpl(TBitmap& ATarget)
        : Target(&ATarget), Pixels(ATarget.Pixels()), Mask(ATarget.Width(), ATarget.Height()) {}
    TBitmap* Target;
    std::vector<std::uint8_t> Pixels; // straight R, G, B, A as in the bitmap
    Win32Ui::DibSection Mask;
    HFONT Fonts[2] = {nullptr, nullptr};

    HFONT Font(bool Bold) {
        HFONT& font = Fonts[Bold ? 1 : 0];
        // The size of the other backends' "Sans 9" at 96 dots per inch.
        if (!font)
            font = Win32Ui::CreateMessageFont(Bold, 12);
        return font;
    }

    // Starts a figure: a black mask, white pen and brush as asked.
    void Begin() {
        Mask.Clear(0);
        ::SetBkMode(Mask.Dc(), TRANSPARENT);
    }

    // Paints a rectangle (clipped to the bitmap) in an opaque colour.
    void Solid(const TRect& R, TRgb Color) {
        const int w = Target->Width(), h = Target->Height();
        const int left = std::max(R.Left, 0), right = std::min(R.Right, w);
        const int top = std::max(R.Top, 0), bottom = std::min(R.Bottom, h);
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                std::uint8_t* p = &Pixels[(static_cast<std::size_t>(y) * w + x) * 4];
                p[0] = Color.R;
                p[1] = Color.G;
                p[2] = Color.B;
                p[3] = 255;
            }
    }

    // Lays Color over the pixels by the mask's coverage.
    void Compose(TRgb Color) {
        ::GdiFlush();
        const int w = Target->Width(), h = Target->Height();
        for (int y = 0; y < h; ++y) {
            const std::uint32_t* row = Mask.Row(y);
            for (int x = 0; x < w; ++x) {
                const unsigned cover = (row[x] >> 8) & 0xFF;
                if (!cover)
                    continue;
                std::uint8_t* p = &Pixels[(static_cast<std::size_t>(y) * w + x) * 4];
                if (cover == 255) {
                    p[0] = Color.R;
                    p[1] = Color.G;
                    p[2] = Color.B;
                    p[3] = 255;
                    continue;
                }
                // "Over" with straight alpha.
                const unsigned a = p[3];
                const unsigned outA = cover * 255 + a * (255 - cover); // scaled by 255
                auto mix = [&](unsigned src, unsigned dst) {
                    return static_cast<std::uint8_t>(
                        (src * cover * 255 + dst * a * (255 - cover) + outA / 2) / outA);
                };
                p[0] = mix(Color.R, p[0]);
                p[1] = mix(Color.G, p[1]);
                p[2] = mix(Color.B, p[2]);
                p[3] = static_cast<std::uint8_t>((outA + 127) / 255);
            }
        }
    }
};

TCanvas::TCanvas(TBitmap& Target) : FImpl(std::make_unique<TImpl>(Target)) {}

TCanvas::~TCanvas() {
    Flush();
    for (HFONT font : FImpl->Fonts)
        if (font)
            ::DeleteObject(font);
}

void TCanvas::FillRect(const TRect& R, TRgb Color) {
    FImpl->Solid(R, Color);
}

void TCanvas::FillGradient(const TRect& R, TRgb From, TRgb To) {
    const int h = R.Height();
    if (R.Width() <= 0 || h <= 0)
        return;
    // One band per row, each in its own colour.
    for (int i = 0; i < h; ++i) {
        const double t = h > 1 ? static_cast<double>(i) / (h - 1) : 0.0;
        auto lerp = [t](std::uint8_t a, std::uint8_t b) {
            return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
        };
        FImpl->Solid({R.Left, R.Top + i, R.Right, R.Top + i + 1},
                     TRgb{lerp(From.R, To.R), lerp(From.G, To.G), lerp(From.B, To.B)});
    }
}

void TCanvas::RoundRect(const TRect& R, int Radius, TRgb Fill, TRgb Border) {
    if (R.Width() <= 0 || R.Height() <= 0)
        return;
    const int d = 2 * std::clamp(Radius, 0, std::min(R.Width(), R.Height()) / 2);
    HDC dc = FImpl->Mask.Dc();
    HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    // The inside and the border, each laid over in its colour.
    FImpl->Begin();
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    ::RoundRect(dc, R.Left, R.Top, R.Right, R.Bottom, d, d);
    FImpl->Compose(Fill);
    FImpl->Begin();
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::RoundRect(dc, R.Left, R.Top, R.Right, R.Bottom, d, d);
    FImpl->Compose(Border);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
}

void TCanvas::Line(double X1, double Y1, double X2, double Y2, TRgb Color, double Width) {
    HDC dc = FImpl->Mask.Dc();
    const int w = std::max(1, static_cast<int>(std::lround(std::min(Width, 1000.0))));
    LOGBRUSH brush{BS_SOLID, RGB(255, 255, 255), 0};
    HPEN pen =
        ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, static_cast<DWORD>(w), &brush, 0, nullptr);
    if (!pen)
        return;
    FImpl->Begin();
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, static_cast<int>(std::lround(X1)), static_cast<int>(std::lround(Y1)), nullptr);
    ::LineTo(dc, static_cast<int>(std::lround(X2)), static_cast<int>(std::lround(Y2)));
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
    FImpl->Compose(Color);
}

void TCanvas::TextRect(const TRect& R, const std::string& Text, TRgb Color, TTextAlign Align, bool Bold) {
    if (R.Width() <= 0 || R.Height() <= 0 || Text.empty())
        return;
    HDC dc = FImpl->Mask.Dc();
    FImpl->Begin();
    HGDIOBJ old = ::SelectObject(dc, FImpl->Font(Bold));
    ::SetTextColor(dc, RGB(255, 255, 255));
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    std::wstring text = Widen(Text);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                    (Align == TTextAlign::taCenter ? DT_CENTER : DT_LEFT));
    ::SelectObject(dc, old);
    FImpl->Compose(Color);
}

void TCanvas::Flush() {
    FImpl->Target->Pixels() = FImpl->Pixels;
}

} // namespace Norvane::Platform::Ui
