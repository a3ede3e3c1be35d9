#include "shared/StylesUtils.h"

#include "platform/ui/Canvas.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Styles.h"
#include "shared/Resources.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace Norvane::Shared {

using namespace Platform::Ui;

namespace {

constexpr std::string_view StyleResourcePrefix = "VCLSTYLE/";

// A style read from its file; the file bytes are kept for fresh copies.
class TFileStyle : public TCustomStyle {
public:
    TFileStyle(std::string_view Bytes, TStyleFile File) : FBytes(Bytes), FFile(std::move(File)) {}
    std::string Name() const override { return FFile.Name; }
    std::string StyleSheet() const override { return FFile.Property("css"); }
    std::string MenuStyleSheet() const override { return FFile.Property("menucss"); }
    std::string_view Bytes() const { return FBytes; }
    bool SystemColor(unsigned Index, TRgb& Rgb) const override;

private:
    std::string_view FBytes;
    TStyleFile FFile;
};

TRgb ParseRgb(const std::string& Text) {
    unsigned r = 0, g = 0, b = 0;
    if (Text.size() != 7 || std::sscanf(Text.c_str(), "#%2x%2x%2x", &r, &g, &b) != 3)
        return TRgb{128, 128, 128};
    return TRgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

int Metric(const TStyleFile& Style, const char* Key, int Default, int Low, int High) {
    try {
        return std::clamp(std::stoi(Style.Property(Key, std::to_string(Default))), Low, High);
    } catch (const std::exception&) {
        return Default;
    }
}

// The four caption buttons from the right: close, maximize, minimize, help.
void DrawCaptionGlyph(TCanvas& Canvas, int Kind, const TRect& R, TRgb Color) {
    const double cx = (R.Left + R.Right) / 2.0, cy = (R.Top + R.Bottom) / 2.0, h = 4.5;
    switch (Kind) {
    case 0:
        Canvas.Line(cx - h, cy - h, cx + h, cy + h, Color, 1.2);
        Canvas.Line(cx - h, cy + h, cx + h, cy - h, Color, 1.2);
        break;
    case 1:
        Canvas.FrameRect({int(cx - h), int(cy - h), int(cx + h + 1), int(cy + h + 1)}, Color, 1);
        break;
    case 2:
        Canvas.Line(cx - h, cy + 0.5, cx + h, cy + 0.5, Color, 1);
        break;
    default:
        Canvas.TextRect(R, "?", Color, TTextAlign::taCenter, true);
        break;
    }
}

// The style's colour behind each system colour it gives.
const char* SystemColorKey(unsigned Index) {
    switch (Index) {
    case 0:
        return "scrolltrack"; // scroll bar
    case 1:
        return "window"; // desktop background
    case 2:
        return "caption"; // active caption
    case 3:
        return "captioninactive"; // inactive caption
    case 4:
        return "window"; // menu
    case 5:
        return "edit"; // window
    case 6:
        return "frame"; // window frame
    case 7:
        return "text"; // menu text
    case 8:
        return "edittext"; // window text
    case 9:
        return "captiontext"; // caption text
    case 13:
        return "accent"; // highlight
    case 14:
        return "selectiontext"; // highlight text
    case 15:
        return "window"; // button face
    case 16:
        return "buttonborder"; // button shadow
    case 17:
        return "disabledtext"; // grey text
    case 18:
        return "text"; // button text
    case 20:
        return "edit"; // button highlight
    case 23:
        return "tooltiptext"; // info text
    case 24:
        return "tooltip"; // info background
    case 26:
        return "accent"; // hot light
    default:
        return nullptr;
    }
}

bool TFileStyle::SystemColor(unsigned Index, TRgb& Rgb) const {
    const char* key = SystemColorKey(Index);
    if (!key || FFile.Property(key).empty())
        return false;
    Rgb = ParseRgb(FFile.Property(key));
    return true;
}

} // namespace

int TStylesUtils::RegisterBuiltInStyles() {
    static int registered = -1;
    if (registered >= 0)
        return registered;
    registered = 0;
    for (std::string_view resource : ResourceNames(StyleResourcePrefix)) {
        std::string_view bytes = FindResource(resource);
        try {
            TStyleManager::Register(std::make_shared<TFileStyle>(bytes, ReadStyleFile(bytes)));
            ++registered;
        } catch (const EStyleFileError& e) {
            std::fprintf(stderr, "norvane: the built-in style %.*s cannot be read: %s\n",
                         static_cast<int>(resource.size()), resource.data(), e.what());
        }
    }
    return registered;
}

std::string TStylesUtils::GetActiveTheme() {
    return TStyleManager::ActiveStyleName();
}

void TStylesUtils::GetAvailables(TStringList& ThemesList, bool Sorted) {
    RegisterBuiltInStyles();
    ThemesList.Clear();
    for (std::string& name : TStyleManager::StyleNames())
        ThemesList.Add(std::move(name));
    ThemesList.SetSorted(Sorted);
}

void TStylesUtils::TrySetStyle(const std::string& ThemeName, bool ShowError) {
    RegisterBuiltInStyles();
    if (!TStyleManager::TrySetStyle(ThemeName) && ShowError)
        MessageDlg("Style '" + ThemeName + "' not found", TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
}

void TStylesUtils::DrawThemePreview(const std::string& ThemeName, TImage& TargetImage) {
    TBitmap bitmap(std::max(1, TargetImage.ClientWidth()), std::max(1, TargetImage.ClientHeight()));
    DrawThemePreview(ThemeName, bitmap);
    TargetImage.SetPicture(bitmap);
}

void TStylesUtils::DrawThemePreview(const std::string& ThemeName, TBitmap& Target) {
    if (ThemeName == TStyleManager::SystemStyleName)
        throw std::runtime_error("Not available \"Windows\" preview.");
    RegisterBuiltInStyles();
    auto held = std::dynamic_pointer_cast<TFileStyle>(TStyleManager::Find(ThemeName));
    if (!held)
        throw std::runtime_error("Style '" + ThemeName + "' not found");
    // A copy of its own, read again from the file: the active style is left alone.
    const TStyleFile style = ReadStyleFile(held->Bytes());
    auto color = [&](const char* Key) { return ParseRgb(style.Property(Key)); };
    const int w = Target.Width(), h = Target.Height();
    const int caption = Metric(style, "captionheight", 30, 18, 48);
    const int frame = Metric(style, "framewidth", 4, 0, 12);
    const int radius = Metric(style, "radius", 3, 0, 12);

    TCanvas canvas(Target);
    canvas.FillRect({0, 0, w, h}, color("window"));
    // The caption bar with its buttons and text.
    canvas.FillGradient({0, 0, w, caption}, color("caption"), color("caption2"));
    canvas.FillRect({0, 0, w, std::min(frame, caption)}, color("frame"));
    const int buttonW = caption + 4;
    int right = w - frame;
    for (int kind = 0; kind < 4; ++kind, right -= buttonW)
        DrawCaptionGlyph(canvas, kind, {right - buttonW, frame, right, caption}, color("captiontext"));
    const int iconLeft = frame + 4, iconSize = 16;
    canvas.TextRect({iconLeft + iconSize + 5, frame, right, caption}, ThemeName, color("captiontext"),
                    TTextAlign::taLeft, true);
    // The frame along the left, right and bottom edges.
    canvas.FillRect({0, caption, frame, h}, color("frame"));
    canvas.FillRect({w - frame, caption, w, h}, color("frame"));
    canvas.FillRect({0, h - frame, w, h}, color("frame"));
    // The two push buttons.
    const char* labels[2] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
        TRect r{30 + 80 * i, h - 45, 30 + 80 * i + 75, h - 45 + 25};
        canvas.RoundRect(r, radius, color("button"), color("buttonborder"));
        canvas.TextRect(r, labels[i], color("buttontext"), TTextAlign::taCenter);
    }
}

} // namespace Norvane::Shared
