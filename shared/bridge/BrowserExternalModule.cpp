#include "shared/bridge/BrowserExternalModule.h"

#include "platform/ui/Application.h"
#include "platform/ui/ControlParts.h"

#include <cstdint>
#include <exception>
#include <memory>

namespace Norvane::Shared {

using namespace Platform::Ui;

TBrowserExternalModule::TBrowserExternalModule(TComponent* AOwner) : TComponent(AOwner) {
    CreateProcessTable();
    FileOpenDialog = new TFileOpenDialog(this);
    FileOpenDialog->SetName("FileOpenDialog");
    FileSaveDialog = new TFileSaveDialog(this);
    FileSaveDialog->SetName("FileSaveDialog");
    RegisterFunctions();
    DataModuleCreate(this);
}

TBrowserExternalModule::~TBrowserExternalModule() {
    ControlParts::StopTimer(FPlaceTimer);
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

namespace {

TBridgeFunction Describe(std::int32_t Id, std::string_view Name, bool TakesArguments, bool RuntimeOnly,
                         std::string_view RefusalName) {
    return {Id, std::string(Name), TakesArguments, RuntimeOnly,
            RuntimeOnly ? RuntimeOnlyRefusal(RefusalName.empty() ? Name : RefusalName) : std::string()};
}

} // namespace

void TBrowserExternalModule::RegisterFunctions() {
    using M = TBrowserExternalModule;
    // One registration a row of the function table: its number, its name in
    // the page's script library, where it runs and its member function.
    auto add = [this](std::int32_t Id, std::string_view Name, bool TakesArguments, bool RuntimeOnly,
                      std::string_view RefusalName, TBridgeResult (M::*Function)(const TBridgeCall&)) {
        FDispatcher.Register(Describe(Id, Name, TakesArguments, RuntimeOnly, RefusalName),
                             [this, Function](const TBridgeCall& Call) { return (this->*Function)(Call); });
    };
#define NORVANE_BRIDGE_FUNCTION(Id, Name, TakesArguments, RuntimeOnly, RefusalName, Handler, Arguments,      \
                                Result, Description)                                                         \
    add(Id, Name, TakesArguments, RuntimeOnly, RefusalName, &M::Handler);
#include "bridge/BridgeTable.inc"
#undef NORVANE_BRIDGE_FUNCTION
}

TEdgeBrowser* TBrowserExternalModule::Browser() const {
    return FBrowserForm ? FBrowserForm->EdgeBrowser() : nullptr;
}

void TBrowserExternalModule::ReceiveWebMessage(const std::string& Source, const std::string& MessageAsString,
                                               const std::string& MessageAsJson) {
    try {
        HandleWebMessage(Source, MessageAsString, MessageAsJson);
    } catch (...) {
        // Reported from the message loop, after the browser's callback returned.
        Application().Queue([error = std::current_exception()] { Application().HandleException(error); });
    }
}

void TBrowserExternalModule::HandleWebMessage(const std::string& Source, const std::string& MessageAsString,
                                              const std::string& MessageAsJson) {
    FDispatcher.HandleWebMessage(Source, MessageAsString, MessageAsJson);
}

void TBrowserExternalModule::SendReply(const std::string& Uuid, const std::string& Result, bool Success) {
    FDispatcher.SendReply(Uuid, Result, Success);
}

void TBrowserExternalModule::THost::PostWebMessageAsJson(const std::string& Json) {
    TBrowserForm* browserForm = FModule.FBrowserForm;
    TEdgeBrowser* browser = browserForm ? browserForm->EdgeBrowser() : nullptr;
    if (WebView2::ICoreWebView2* view = browser ? browser->DefaultInterface() : nullptr)
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

std::string TBrowserExternalModule::ResolvePagePath(const std::string& AppDirPath, const std::string& Path) {
    if (!Path.empty() && Path.front() == '/')
        return Path;
    return AppDirPath + Path;
}

std::string TBrowserExternalModule::ResolvePagePath(const std::string& Path) const {
    return ResolvePagePath(FBrowserForm ? FBrowserForm->AppDirPath() : std::string(), Path);
}

void TBrowserExternalModule::QueueReply(const std::string& Uuid, TBridgeResult Result) {
    Application().Queue([Uuid, Result = std::move(Result), alive = std::weak_ptr<bool>(FAlive), this] {
        if (alive.lock())
            FDispatcher.Reply(Uuid, Result);
    });
}

TBridgeResult TBrowserExternalModule::ReplyFromWorker(const TBridgeCall& Call,
                                                      std::function<TBridgeResult()> Work) {
    FWorker.Run([Uuid = Call.Uuid, Work = std::move(Work), this] {
        TBridgeResult result = TBridgeResult::NoReply();
        try {
            result = Work();
        } catch (const std::exception& error) {
            result = TBridgeResult::Error(error.what());
        }
        QueueReply(Uuid, std::move(result));
    });
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::Hello(const TBridgeCall&) {
    return TBridgeResult::PlainText(BridgeVersion);
}

TBridgeResult TBrowserExternalModule::IsRuntime(const TBridgeCall&) {
    return TBridgeResult::Boolean(IsRuntimeMode());
}

} // namespace Norvane::Shared
