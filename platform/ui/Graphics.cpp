#include "platform/ui/Graphics.h"
#include "platform/ui/GraphicsParts.h"
#include "platform/ui/Styles.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

TRgb ColorToRgb(TColor Color) {
    if (!IsSystemColor(Color))
        return PlainColorToRgb(Color);
    const unsigned index = Color & 0xFF;
    if (index > 30)
        return TRgb{};
    TRgb styled;
    if (auto style = TStyleManager::ActiveStyle(); style && style->SystemColor(index, styled))
        return styled;
    return GraphicsParts::NativeSystemColor(index);
}

void TBitmap::SetSize(int AWidth, int AHeight) {
    if (AWidth < 0 || AHeight < 0)
        throw EUiError("Invalid bitmap size");
    FWidth = AWidth;
    FHeight = AHeight;
    FPixels.assign(static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight) * 4, 0);
}

void TBitmap::Fill(TRgb Rgb, std::uint8_t Alpha) {
    for (std::size_t i = 0; i + 3 < FPixels.size(); i += 4) {
        FPixels[i] = Rgb.R;
        FPixels[i + 1] = Rgb.G;
        FPixels[i + 2] = Rgb.B;
        FPixels[i + 3] = Alpha;
    }
}

TBitmap TBitmap::Grayed() const {
    TBitmap result = *this;
    auto& p = result.FPixels;
    for (std::size_t i = 0; i + 3 < p.size(); i += 4) {
        // Rec. 601 luminance, lifted towards light grey like a disabled picture.
        int luma = (299 * p[i] + 587 * p[i + 1] + 114 * p[i + 2]) / 1000;
        auto grey = static_cast<std::uint8_t>(std::min(255, 96 + luma * 5 / 8));
        p[i] = p[i + 1] = p[i + 2] = grey;
        p[i + 3] = static_cast<std::uint8_t>(p[i + 3] / 2);
    }
    return result;
}

} // namespace Norvane::Platform::Ui
