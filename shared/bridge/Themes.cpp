// The themes functions: getTheme, getThemes and setTheme.
#include "shared/bridge/BrowserExternalModule.h"

#include "shared/StylesUtils.h"

namespace Norvane::Shared {

TBridgeResult TBrowserExternalModule::ThemesGetTheme(const TBridgeCall&) {
    return TBridgeResult::PlainText(TStylesUtils::GetActiveTheme());
}

TBridgeResult TBrowserExternalModule::ThemesGetThemes(const TBridgeCall&) {
    TStringList themes;
    TStylesUtils::GetAvailables(themes, true);
    return TBridgeResult::Strings(themes.Strings());
}

TBridgeResult TBrowserExternalModule::ThemesSetTheme(const TBridgeCall& Call) {
    const std::string name = ReadTextArg(Call.Data, "name");
    const std::string before = TStylesUtils::GetActiveTheme();
    TStylesUtils::TrySetStyle(name, false);
    const std::string now = TStylesUtils::GetActiveTheme();
    if (now != before)
        ThemeChanged();
    return TBridgeResult::Boolean(now == name);
}

} // namespace Norvane::Shared
