// The host's events for the page: the main window resized, moved, minimized,
// maximized or restored, focused or not, a second start of the application,
// files dropped on it and a change of theme. Each runs
// "qvx.events.<handler>(...);" in the page, and only in one of the
// application's own documents, since the arguments (paths, a command line)
// are the user's. Resizing and moving come in floods: they are reported once
// the window has kept its bounds for PlaceQuietTime.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Text.h"
#include "platform/ui/ControlParts.h"
#include "shared/StylesUtils.h"

namespace Norvane::Shared {

using namespace Platform::Ui;

namespace {

constexpr unsigned PlaceQuietTime = 150; // milliseconds

std::string ScriptStringArray(const std::vector<std::string>& Items) {
    std::string out = "[";
    for (const std::string& item : Items) {
        if (out.size() > 1)
            out += ",";
        out += Platform::Text::JsonStringLiteral(item, Platform::Text::ScriptJson);
    }
    return out + "]";
}

} // namespace

void TBrowserExternalModule::RaiseEvent(std::string_view Handler, const std::string& Arguments) {
    RunPageScript("qvx.events." + std::string(Handler) + "(" + Arguments + ");", nullptr);
}

void TBrowserExternalModule::WindowPlaceChanged() {
    // Every change starts the quiet time again.
    ControlParts::StopTimer(FPlaceTimer);
    FPlaceTimer = ControlParts::StartTimer(PlaceQuietTime, [this, alive = std::weak_ptr<bool>(FAlive)] {
        if (!alive.lock())
            return;
        ControlParts::StopTimer(FPlaceTimer);
        FPlaceTimer = 0;
        if (!FMainForm)
            return;
        const int left = FMainForm->Left(), top = FMainForm->Top();
        const int width = FMainForm->Width(), height = FMainForm->Height();
        if (width != FReportedWidth || height != FReportedHeight) {
            FReportedWidth = width;
            FReportedHeight = height;
            RaiseEvent("onWindowResize", std::to_string(width) + "," + std::to_string(height));
        }
        if (left != FReportedLeft || top != FReportedTop) {
            FReportedLeft = left;
            FReportedTop = top;
            RaiseEvent("onWindowMove", std::to_string(left) + "," + std::to_string(top));
        }
    });
}

void TBrowserExternalModule::WindowStateChanged() {
    if (!FMainForm)
        return;
    const TWindowState state = FMainForm->WindowState();
    RaiseEvent("onWindowStateChange", state == TWindowState::wsMinimized   ? "\"minimized\""
                                      : state == TWindowState::wsMaximized ? "\"maximized\""
                                                                           : "\"normal\"");
}

void TBrowserExternalModule::WindowFocusChanged(bool Focused) {
    RaiseEvent("onWindowFocus", Focused ? "true" : "false");
}

void TBrowserExternalModule::SecondInstanceStarted(const std::vector<std::string>& Arguments) {
    RaiseEvent("onSecondInstance", ScriptStringArray(Arguments));
}

void TBrowserExternalModule::FilesDropped(const std::vector<std::string>& Paths) {
    RaiseEvent("onFilesDropped", ScriptStringArray(Paths));
}

void TBrowserExternalModule::ThemeChanged() {
    RaiseEvent("onThemeChange",
               Platform::Text::JsonStringLiteral(TStylesUtils::GetActiveTheme(), Platform::Text::ScriptJson));
}

} // namespace Norvane::Shared
