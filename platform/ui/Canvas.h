// Drawing on a bitmap: filled and framed rectangles, rounded rectangles,
// lines and single-line text, with antialiasing. The drawing lands in the
// bitmap when the canvas is destroyed or on Flush().
#pragma once

#include "platform/ui/Graphics.h"

#include <memory>
#include <string>

namespace Norvane::Platform::Ui {

enum class TTextAlign { taLeft, taCenter };

class TCanvas {
public:
    explicit TCanvas(TBitmap& Target);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    void FillRect(const TRect& R, TRgb Color);
    // Top to bottom from From to To.
    void FillGradient(const TRect& R, TRgb From, TRgb To);
    // A border of Width pixels inside R.
    void FrameRect(const TRect& R, TRgb Color, int Width = 1);
    void RoundRect(const TRect& R, int Radius, TRgb Fill, TRgb Border);
    void Line(double X1, double Y1, double X2, double Y2, TRgb Color, double Width = 1);
    // One line of text in R, vertically centred, clipped to R.
    void TextRect(const TRect& R, const std::string& Text, TRgb Color, TTextAlign Align = TTextAlign::taLeft,
                  bool Bold = false);
    void Flush();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace Norvane::Platform::Ui
