// The window functions: style, state, title and zoom of the main window.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/System.h"

namespace Norvane::Shared {

using namespace Platform::Ui;

TBridgeResult TBrowserExternalModule::WindowGetStyle(const TBridgeCall&) {
    const bool onTop = FMainForm && FMainForm->FormStyle() == TFormStyle::fsStayOnTop;
    return TBridgeResult::PlainText(onTop ? "ontop" : "normal");
}

TBridgeResult TBrowserExternalModule::WindowSetStyle(const TBridgeCall& Call) {
    const std::string style = ReadTextArg(Call.Data, "style", "normal");
    if (FMainForm)
        FMainForm->SetFormStyle(style == "ontop" ? TFormStyle::fsStayOnTop : TFormStyle::fsNormal);
    return TBridgeResult::Boolean(true);
}

TBridgeResult TBrowserExternalModule::WindowGetState(const TBridgeCall&) {
    std::string_view state = "normal";
    if (FMainForm && FMainForm->WindowState() == TWindowState::wsMinimized)
        state = "minimized";
    else if (FMainForm && FMainForm->WindowState() == TWindowState::wsMaximized)
        state = "maximized";
    return TBridgeResult::PlainText(state);
}

TBridgeResult TBrowserExternalModule::WindowSetState(const TBridgeCall& Call) {
    const std::string state = ReadTextArg(Call.Data, "state", "normal");
    if (FMainForm) {
        if (state == "normal")
            FMainForm->SetWindowState(TWindowState::wsNormal);
        else if (state == "minimized")
            FMainForm->SetWindowState(TWindowState::wsMinimized);
        else if (state == "maximized")
            FMainForm->SetWindowState(TWindowState::wsMaximized);
    }
    return TBridgeResult::Boolean(true);
}

TBridgeResult TBrowserExternalModule::WindowGetTitle(const TBridgeCall&) {
    return TBridgeResult::PlainText(FMainForm ? FMainForm->Caption() : std::string());
}

TBridgeResult TBrowserExternalModule::WindowSetTitle(const TBridgeCall& Call) {
    const std::string title = ReadTextArg(Call.Data, "title");
    if (FMainForm)
        FMainForm->SetCaption(title);
    return TBridgeResult::Boolean(true);
}

TBridgeResult TBrowserExternalModule::WindowGetZoom(const TBridgeCall&) {
    TEdgeBrowser* browser = Browser();
    const double zoom = browser ? browser->ZoomFactor() : 0.0;
    return TBridgeResult::PlainText(FormatGeneralFloat(zoom, Platform::UserDecimalSeparator()));
}

TBridgeResult TBrowserExternalModule::WindowSetZoom(const TBridgeCall& Call) {
    double factor = 0;
    const bool valid = TryParseDotFloat(ReadTextArg(Call.Data, "factor"), factor);
    if (TEdgeBrowser* browser = Browser())
        browser->SetZoomFactor(valid ? factor : 1.0);
    return TBridgeResult::Boolean(valid);
}

} // namespace Norvane::Shared
