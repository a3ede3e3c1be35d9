// The canvas's figures made of others; each backend draws the rest.
#include "platform/ui/Canvas.h"

namespace Norvane::Platform::Ui {

void TCanvas::FrameRect(const TRect& R, TRgb Color, int Width) {
    if (Width <= 0)
        return;
    FillRect({R.Left, R.Top, R.Right, R.Top + Width}, Color);
    FillRect({R.Left, R.Bottom - Width, R.Right, R.Bottom}, Color);
    FillRect({R.Left, R.Top, R.Left + Width, R.Bottom}, Color);
    FillRect({R.Right - Width, R.Top, R.Right, R.Bottom}, Color);
}

} // namespace Norvane::Platform::Ui
