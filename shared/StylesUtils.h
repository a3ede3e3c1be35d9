// The visual styles of the program's windows: the built-in catalogue (style
// files embedded as VCLSTYLE/<NAME>), which one is active, switching, and a
// preview picture of a style. "Windows" is the system look.
#pragma once

#include "shared/StringList.h"
#include "shared/StyleFile.h"

#include <string>

namespace Norvane::Platform::Ui {
class TBitmap;
class TImage;
} // namespace Norvane::Platform::Ui

namespace Norvane::Shared {

class TStylesUtils {
public:
    TStylesUtils() = delete;

    // The active style's name; "Windows" for the system look.
    static std::string GetActiveTheme();
    // Empties ThemesList, adds every style name known ("Windows" and the
    // built-in styles), then sets its sorted flag to Sorted.
    static void GetAvailables(TStringList& ThemesList, bool Sorted);
    // Makes the named style (any letter case) active and repaints every
    // window. An unknown name leaves the active style as it is and, with
    // ShowError, shows "Style '<name>' not found" with an OK button.
    static void TrySetStyle(const std::string& ThemeName, bool ShowError);
    // Draws a sample window in the named style into the image, sized to its
    // client area, without touching the active style. Raises an error for
    // "Windows" (the system look has no preview) and for unknown names.
    static void DrawThemePreview(const std::string& ThemeName, Platform::Ui::TImage& TargetImage);
    // The same drawing on a bitmap of any size (at least 200 x 100).
    static void DrawThemePreview(const std::string& ThemeName, Platform::Ui::TBitmap& Target);

    // Registers the built-in styles with the style engine, once; called by
    // the operations above. Returns the number of styles registered.
    static int RegisterBuiltInStyles();
};

} // namespace Norvane::Shared
