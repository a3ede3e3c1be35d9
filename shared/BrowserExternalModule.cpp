#include "shared/BrowserExternalModule.h"

#include "platform/ui/Application.h"

#include <exception>

namespace Norvane::Shared {

using namespace Platform::Ui;
using namespace WebView2;

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
    FDispatcher.Register(Id::Hello, [this](const std::string& Uuid, const TJsonValue&) { Hello(Uuid); });
    FDispatcher.Register(Id::IsRuntime,
                         [this](const std::string& Uuid, const TJsonValue&) { IsRuntime(Uuid); });
    FDispatcher.Register(Id::AppClose,
                         [this](const std::string& Uuid, const TJsonValue&) { AppClose(Uuid); });
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

void TBrowserExternalModule::AppClose(const std::string&) {
    if (OnAppCloseRequest)
        OnAppCloseRequest(this);
}

} // namespace Norvane::Shared
