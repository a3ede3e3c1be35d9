#include "shared/BrowserExternalModule.h"

#include "platform/Process.h"
#include "platform/System.h"
#include "platform/ui/Application.h"
#include "shared/SysUtils.h"

#include <exception>

namespace Norvane::Shared {

using namespace Platform::Ui;
using namespace WebView2;

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

TBrowserExternalModule::TBrowserExternalModule(TComponent* AOwner) : TComponent(AOwner) {
    FileOpenDialog = new TFileOpenDialog(this);
    FileOpenDialog->SetName("FileOpenDialog");
    FileSaveDialog = new TFileSaveDialog(this);
    FileSaveDialog->SetName("FileSaveDialog");
    RegisterFunctions();
    DataModuleCreate(this);
}

TBrowserExternalModule::~TBrowserExternalModule() {
    DataModuleDestroy(this);
}

void TBrowserExternalModule::DataModuleCreate(TObject*) {
    FExeZip = nullptr;
    FMainForm = nullptr;
    FProjectINI = nullptr;
    FBrowserForm = nullptr;
    OnAppCloseRequest = nullptr;
    FInFullscreen = false;
    FBrowserExternalForm = TCustomForm::Create<TBrowserExternalForm>(nullptr);
}

void TBrowserExternalModule::DataModuleDestroy(TObject*) {
    FExeZip = nullptr;
    FMainForm = nullptr;
    FProjectINI = nullptr;
    FBrowserForm = nullptr;
    OnAppCloseRequest = nullptr;
    delete FBrowserExternalForm;
    FBrowserExternalForm = nullptr;
}

void TBrowserExternalModule::RegisterFunctions() {
    namespace Id = BridgeFunctionId;
    using TPlain = void (TBrowserExternalModule::*)(const std::string&);
    using TWithData = void (TBrowserExternalModule::*)(const std::string&, const TJsonValue&);
    auto plain = [this](std::int32_t Number, TPlain Function) {
        FDispatcher.Register(Number, [this, Function](const std::string& Uuid, const TJsonValue&) {
            (this->*Function)(Uuid);
        });
    };
    auto withData = [this](std::int32_t Number, TWithData Function) {
        FDispatcher.Register(Number, [this, Function](const std::string& Uuid, const TJsonValue& Data) {
            (this->*Function)(Uuid, Data);
        });
    };
    plain(Id::Hello, &TBrowserExternalModule::Hello);
    plain(Id::IsRuntime, &TBrowserExternalModule::IsRuntime);
    // The session functions (log off, reboot, shut down) are not served from
    // pages yet: their numbers are ignored like those of functions still to
    // come. SystemLogoff, SystemReboot and SystemShutdown are ready for it.
    plain(Id::AppClose, &TBrowserExternalModule::AppClose);
    plain(Id::AppInFullscreen, &TBrowserExternalModule::AppInFullscreen);
    plain(Id::AppEnterFullscreen, &TBrowserExternalModule::AppEnterFullscreen);
    plain(Id::AppExitFullscreen, &TBrowserExternalModule::AppExitFullscreen);
    plain(Id::AppGetArgs, &TBrowserExternalModule::AppGetArgs);
    plain(Id::WindowGetStyle, &TBrowserExternalModule::WindowGetStyle);
    withData(Id::WindowSetStyle, &TBrowserExternalModule::WindowSetStyle);
    plain(Id::WindowGetState, &TBrowserExternalModule::WindowGetState);
    withData(Id::WindowSetState, &TBrowserExternalModule::WindowSetState);
    plain(Id::WindowGetTitle, &TBrowserExternalModule::WindowGetTitle);
    withData(Id::WindowSetTitle, &TBrowserExternalModule::WindowSetTitle);
    plain(Id::WindowGetZoom, &TBrowserExternalModule::WindowGetZoom);
    withData(Id::WindowSetZoom, &TBrowserExternalModule::WindowSetZoom);
    withData(Id::ShellExecute, &TBrowserExternalModule::ShellExecute);
    withData(Id::ShellExplore, &TBrowserExternalModule::ShellExplore);
    withData(Id::ShellCommand, &TBrowserExternalModule::ShellCommand);
    plain(Id::ShellWindows, &TBrowserExternalModule::ShellWindows);
}

TEdgeBrowser* TBrowserExternalModule::Browser() const {
    return FBrowserForm ? FBrowserForm->EdgeBrowser() : nullptr;
}

void TBrowserExternalModule::EdgeBrowserWebMessageReceived(TCustomEdgeBrowser*,
                                                           TWebMessageReceivedEventArgs* Args) {
    ICoreWebView2WebMessageReceivedEventArgs* args = Args->ArgsInterface();
    try {
        std::string asString;
        char* text = nullptr;
        if (args->TryGetWebMessageAsString(&text) >= 0)
            asString = TakeEngineText(text);
        else
            TakeEngineText(text);
        char* json = nullptr;
        std::string asJson;
        if (args->get_WebMessageAsJson(&json) >= 0)
            asJson = TakeEngineText(json);
        else
            TakeEngineText(json);
        HandleWebMessage(asString, asJson);
    } catch (...) {
        // Reported from the message loop, after the browser's callback returned.
        Application().Queue([error = std::current_exception()] { Application().HandleException(error); });
    }
}

void TBrowserExternalModule::HandleWebMessage(const std::string& MessageAsString,
                                              const std::string& MessageAsJson) {
    FDispatcher.HandleWebMessage(MessageAsString, MessageAsJson);
}

void TBrowserExternalModule::SendReply(const std::string& Uuid, const std::string& Result, bool Success) {
    FDispatcher.SendReply(Uuid, Result, Success);
}

void TBrowserExternalModule::THost::PostWebMessageAsJson(const std::string& Json) {
    TBrowserForm* browserForm = FModule.FBrowserForm;
    TEdgeBrowser* browser = browserForm ? browserForm->EdgeBrowser() : nullptr;
    if (ICoreWebView2* view = browser ? browser->DefaultInterface() : nullptr)
        view->PostWebMessageAsJson(Json.c_str());
}

void TBrowserExternalModule::THost::ShowRefusal(const std::string& Text) {
    if (FModule.OnShowRefusal) {
        FModule.OnShowRefusal(Text);
        return;
    }
    MessageDlg(Text, TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK});
}

void TBrowserExternalModule::THost::FocusBrowser() {
    TBrowserForm* browserForm = FModule.FBrowserForm;
    if (!browserForm)
        return;
    if (TWinControl* host = browserForm->Parent())
        host->SetFocus();
    if (TEdgeBrowser* browser = browserForm->EdgeBrowser())
        browser->SetFocus();
}

void TBrowserExternalModule::Hello(const std::string& Uuid) {
    SendSuccess(Uuid, PlainJsonString(BridgeVersion));
}

void TBrowserExternalModule::IsRuntime(const std::string& Uuid) {
    SendSuccess(Uuid, IsRuntimeMode() ? "true" : "false");
}

void TBrowserExternalModule::EndSession(const std::string& Uuid, unsigned Flags) {
    if (TSysUtils::ExitWindows(Flags))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::SystemLogoff(const std::string& Uuid) {
    EndSession(Uuid, EWX_LOGOFF | EWX_FORCE);
}

void TBrowserExternalModule::SystemReboot(const std::string& Uuid) {
    EndSession(Uuid, EWX_REBOOT | EWX_FORCE);
}

void TBrowserExternalModule::SystemShutdown(const std::string& Uuid) {
    EndSession(Uuid, EWX_SHUTDOWN | EWX_FORCE);
}

void TBrowserExternalModule::AppClose(const std::string&) {
    if (OnAppCloseRequest)
        OnAppCloseRequest(this);
}

void TBrowserExternalModule::AppInFullscreen(const std::string& Uuid) {
    SendSuccess(Uuid, FInFullscreen ? "true" : "false");
}

void TBrowserExternalModule::AppEnterFullscreen(const std::string&) {
    if (FInFullscreen)
        return;
    FInFullscreen = true;
    if (FMainForm) {
        FMainForm->SetBorderStyle(TBorderStyle::bsNone);
        FMainForm->SetWindowState(TWindowState::wsMaximized);
    }
}

void TBrowserExternalModule::AppExitFullscreen(const std::string&) {
    if (!FInFullscreen)
        return;
    FInFullscreen = false;
    if (FMainForm) {
        FMainForm->SetWindowState(TWindowState::wsNormal);
        const int border = FProjectINI ? FProjectINI->ReadInteger(AppIni::Section, AppIni::WindowBorder,
                                                                  AppIni::DefaultWindowBorder)
                                       : AppIni::DefaultWindowBorder;
        FMainForm->SetBorderStyle(BorderStyleOfSetting(border));
    }
}

void TBrowserExternalModule::AppGetArgs(const std::string& Uuid) {
    std::vector<std::string> items{Platform::ExecutablePath()};
    for (auto& argument : Platform::ProcessArguments())
        items.push_back(std::move(argument));
    SendSuccess(Uuid, JsonStringArray(items));
}

void TBrowserExternalModule::WindowGetStyle(const std::string& Uuid) {
    const bool onTop = FMainForm && FMainForm->FormStyle() == TFormStyle::fsStayOnTop;
    SendSuccess(Uuid, onTop ? "\"ontop\"" : "\"normal\"");
}

void TBrowserExternalModule::WindowSetStyle(const std::string& Uuid, const TJsonValue& Data) {
    const std::string style = ReadTextArg(Data, "style", "normal");
    if (FMainForm)
        FMainForm->SetFormStyle(style == "ontop" ? TFormStyle::fsStayOnTop : TFormStyle::fsNormal);
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::WindowGetState(const std::string& Uuid) {
    std::string state = "\"normal\"";
    if (FMainForm && FMainForm->WindowState() == TWindowState::wsMinimized)
        state = "\"minimized\"";
    else if (FMainForm && FMainForm->WindowState() == TWindowState::wsMaximized)
        state = "\"maximized\"";
    SendSuccess(Uuid, state);
}

void TBrowserExternalModule::WindowSetState(const std::string& Uuid, const TJsonValue& Data) {
    const std::string state = ReadTextArg(Data, "state", "normal");
    if (FMainForm) {
        if (state == "normal")
            FMainForm->SetWindowState(TWindowState::wsNormal);
        else if (state == "minimized")
            FMainForm->SetWindowState(TWindowState::wsMinimized);
        else if (state == "maximized")
            FMainForm->SetWindowState(TWindowState::wsMaximized);
    }
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::WindowGetTitle(const std::string& Uuid) {
    SendSuccess(Uuid, PlainJsonString(FMainForm ? FMainForm->Caption() : std::string()));
}

void TBrowserExternalModule::WindowSetTitle(const std::string& Uuid, const TJsonValue& Data) {
    const std::string title = ReadTextArg(Data, "title");
    if (FMainForm)
        FMainForm->SetCaption(title);
    SendSuccess(Uuid, "true");
}

void TBrowserExternalModule::WindowGetZoom(const std::string& Uuid) {
    TEdgeBrowser* browser = Browser();
    const double zoom = browser ? browser->ZoomFactor() : 0.0;
    SendSuccess(Uuid, PlainJsonString(FormatGeneralFloat(zoom, Platform::UserDecimalSeparator())));
}

void TBrowserExternalModule::WindowSetZoom(const std::string& Uuid, const TJsonValue& Data) {
    double factor = 0;
    const bool valid = TryParseDotFloat(ReadTextArg(Data, "factor"), factor);
    if (TEdgeBrowser* browser = Browser())
        browser->SetZoomFactor(valid ? factor : 1.0);
    SendSuccess(Uuid, valid ? "true" : "false");
}

void TBrowserExternalModule::ShellExecute(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    const std::string arguments = ReadTextArg(Data, "arguments");
    if (filePath.empty()) {
        SendError(Uuid, "\"Missing filePath\"");
        return;
    }
    if (TSysUtils::ShellExec(filePath, arguments))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::ShellExplore(const std::string& Uuid, const TJsonValue& Data) {
    const std::string filePath = ReadTextArg(Data, "filePath");
    if (filePath.empty()) {
        SendError(Uuid, "\"Missing filePath\"");
        return;
    }
    if (TSysUtils::ShellExplore(filePath))
        SendSuccess(Uuid, "true");
    else
        SendError(Uuid, PlainJsonString(Platform::LastErrorMessage()));
}

void TBrowserExternalModule::ShellCommand(const std::string& Uuid, const TJsonValue& Data) {
    const std::string command = ReadTextArg(Data, "command");
    const std::string workingDir = ReadTextArg(Data, "workingDir");
    const bool showWindow = ReadTextArg(Data, "showWindow", "false") == "true";
    if (command.empty()) {
        SendError(Uuid, "\"Missing command\"");
        return;
    }
    SendSuccess(Uuid, EscapedJsonString(TSysUtils::GetDosOutput(command, workingDir, showWindow)));
}

void TBrowserExternalModule::ShellWindows(const std::string& Uuid) {
    std::vector<std::string> captions;
    TSysUtils::GetWindowsCaptions(captions);
    SendSuccess(Uuid, JsonStringArray(captions));
}

} // namespace Norvane::Shared
