// The application functions: close, inFullscreen, enterFullscreen,
// exitFullscreen and getArgs.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Process.h"

namespace Norvane::Shared {

using namespace Platform::Ui;

TBorderStyle BorderStyleOfSetting(int Value) {
    switch (Value) {
    case 0:
        return TBorderStyle::bsNone;
    case 1:
        return TBorderStyle::bsSingle;
    case 3:
        return TBorderStyle::bsDialog;
    case 4:
        return TBorderStyle::bsToolWindow;
    case 5:
        return TBorderStyle::bsSizeToolWin;
    default:
        return TBorderStyle::bsSizeable;
    }
}

TBridgeResult TBrowserExternalModule::AppClose(const TBridgeCall&) {
    if (OnAppCloseRequest)
        OnAppCloseRequest(this);
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::AppInFullscreen(const TBridgeCall&) {
    // In full screen while the window shows it: a window that the user's window
    // manager took out of it is not, although the border stays off until the
    // page leaves full screen.
    const bool shown = !FMainForm || FMainForm->WindowState() == TWindowState::wsMaximized;
    return TBridgeResult::Boolean(FInFullscreen && shown);
}

TBridgeResult TBrowserExternalModule::AppEnterFullscreen(const TBridgeCall&) {
    if (!FInFullscreen) {
        FInFullscreen = true;
        if (FMainForm) {
            FMainForm->SetBorderStyle(TBorderStyle::bsNone);
            FMainForm->SetWindowState(TWindowState::wsMaximized);
        }
    }
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::AppExitFullscreen(const TBridgeCall&) {
    if (FInFullscreen) {
        FInFullscreen = false;
        if (FMainForm) {
            FMainForm->SetWindowState(TWindowState::wsNormal);
            const int border = FProjectINI ? FProjectINI->ReadInteger(AppIni::Section, AppIni::WindowBorder,
                                                                      AppIni::DefaultWindowBorder)
                                           : AppIni::DefaultWindowBorder;
            FMainForm->SetBorderStyle(BorderStyleOfSetting(border));
        }
    }
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::AppGetArgs(const TBridgeCall&) {
    std::vector<std::string> items{Platform::ExecutablePath()};
    for (auto& argument : Platform::ProcessArguments())
        items.push_back(std::move(argument));
    return TBridgeResult::Strings(items);
}

} // namespace Norvane::Shared
