#include "tests/fakeengine/FakeEngine.h"
#include "tests/fakeengine/UiLoop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Norvane::Testing::FakeEngine {
namespace {

std::atomic<INT64> NextToken{1000};
std::atomic<unsigned> Generation{0};

std::string HexCode(HRESULT Code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(Code));
    return buffer;
}

std::string PointerText(const void* Pointer) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(Pointer));
}

} // namespace

// ---------------------------------------------------------------------------
// TRegistry
// ---------------------------------------------------------------------------

HRESULT TRegistry::Add(const std::string& Owner, const std::string& Event, IUnknown* Handler,
                       EventRegistrationToken* Token) {
    const INT64 token = NextToken++;
    const HRESULT hr = Engine().Enter(Owner + ".add_" + Event, std::to_string(token));
    if (FAILED(hr))
        return hr;
    if (!Handler || !Token)
        return E_POINTER;
    {
        std::lock_guard guard(FLock);
        FEntries.push_back({Event, token, TComPtr<IUnknown>(Handler)});
    }
    Token->value = token;
    return S_OK;
}

HRESULT TRegistry::Remove(const std::string& Owner, const std::string& Event, EventRegistrationToken Token) {
    Engine().Record(Owner + ".remove_" + Event, std::to_string(Token.value));
    TComPtr<IUnknown> removed; // released outside the lock
    std::lock_guard guard(FLock);
    for (auto it = FEntries.begin(); it != FEntries.end(); ++it)
        if (it->Event == Event && it->Token == Token.value) {
            removed = std::move(it->Handler);
            FEntries.erase(it);
            return S_OK;
        }
    return E_INVALIDARG;
}

std::size_t TRegistry::Count(const std::string& Event) const {
    std::lock_guard guard(FLock);
    std::size_t count = 0;
    for (const auto& entry : FEntries)
        count += entry.Event == Event;
    return count;
}

std::size_t TRegistry::Total() const {
    std::lock_guard guard(FLock);
    return FEntries.size();
}

INT64 TRegistry::TokenOf(const std::string& Event) const {
    std::lock_guard guard(FLock);
    for (const auto& entry : FEntries)
        if (entry.Event == Event)
            return entry.Token;
    return -1;
}

// ---------------------------------------------------------------------------
// TEngine
// ---------------------------------------------------------------------------

TEngine& Engine() {
    static TEngine* engine = new TEngine(); // lives as long as the process
    return *engine;
}

void TEngine::JoinThreads() {
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(FLock);
        threads.swap(FThreads);
    }
    for (auto& thread : threads)
        thread.join();
}

void TEngine::Reset(const TScenario& Scenario) {
    BindUiLoop();
    JoinThreads();
    ++Generation;
    std::function<void()> environment, controller;
    TComPtr<TFakeEnvironment> oldEnvironment;
    TComPtr<TFakeController> oldController;
    decltype(FPendingScripts) scripts;
    decltype(FPendingCaptures) captures;
    {
        std::lock_guard guard(FLock);
        FScenario = Scenario;
        FCalls.clear();
        environment.swap(FPendingEnvironment);
        controller.swap(FPendingController);
        oldEnvironment = std::move(FEnvironment);
        oldController = std::move(FController);
        scripts.swap(FPendingScripts);
        captures.swap(FPendingCaptures);
        FInFlight = 0;
    }
}

void TEngine::Record(const std::string& Name, const std::string& Detail) {
    std::lock_guard guard(FLock);
    FCalls.push_back({Name, Detail, CurrentThread()});
}

HRESULT TEngine::Enter(const std::string& Name, const std::string& Detail) {
    std::lock_guard guard(FLock);
    FCalls.push_back({Name, Detail, CurrentThread()});
    auto it = FScenario.Results.find(Name);
    return it == FScenario.Results.end() ? S_OK : it->second;
}

std::vector<TCall> TEngine::Calls() const {
    std::lock_guard guard(FLock);
    return FCalls;
}

std::vector<std::string> TEngine::CallNames(const std::string& Prefix) const {
    std::vector<std::string> names;
    std::lock_guard guard(FLock);
    for (const auto& call : FCalls)
        if (call.Name.compare(0, Prefix.size(), Prefix) == 0)
            names.push_back(call.Name);
    return names;
}

std::vector<TCall> TEngine::CallsNamed(const std::string& Name) const {
    std::vector<TCall> calls;
    std::lock_guard guard(FLock);
    for (const auto& call : FCalls)
        if (call.Name == Name)
            calls.push_back(call);
    return calls;
}

std::size_t TEngine::CountOf(const std::string& Name) const {
    return CallsNamed(Name).size();
}

TFakeView* TEngine::View() const {
    std::lock_guard guard(FLock);
    return FController ? FController->ViewObject.Get() : nullptr;
}

TFakeSettings* TEngine::Settings() const {
    std::lock_guard guard(FLock);
    return FController && FController->ViewObject ? FController->ViewObject->SettingsObject.Get() : nullptr;
}

char* TEngine::NewText(const std::string& Text) {
    char* block = static_cast<char*>(std::malloc(Text.size() + 1));
    std::memcpy(block, Text.c_str(), Text.size() + 1);
    ++FTexts;
    return block;
}

void TEngine::FreeText(void* Block) {
    if (!Block)
        return;
    std::free(Block);
    --FTexts;
}

void TEngine::Deliver(TDelivery Delivery, std::function<void()> Piece) {
    switch (Delivery) {
    case TDelivery::Immediate:
    case TDelivery::Manual:
        Piece();
        return;
    case TDelivery::OtherThread: {
        ++FInFlight;
        std::lock_guard guard(FLock);
        FThreads.emplace_back([this, Piece = std::move(Piece)] {
            Piece();
            --FInFlight;
        });
        return;
    }
    case TDelivery::UiIdle: {
        ++FInFlight;
        PostToUiLoop([Piece = std::move(Piece), generation = Generation.load()] {
            if (generation == Generation.load()) {
                Piece();
                --Engine().FInFlight;
            }
        });
        return;
    }
    }
}

HRESULT TEngine::CreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler) {
    const HRESULT hr = Enter("Loader.CreateCoreWebView2Environment");
    TScenario scenario;
    {
        std::lock_guard guard(FLock);
        scenario = FScenario;
    }
    if (FAILED(scenario.CreateEnvironmentReturn))
        return scenario.CreateEnvironmentReturn;
    if (FAILED(hr))
        return hr;
    TComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler(Handler);
    TComPtr<TFakeEnvironment> environment;
    if (!scenario.EnvironmentNull)
        environment = MakeComObject<TFakeEnvironment>(scenario.EnvironmentTooOld);
    {
        std::lock_guard guard(FLock);
        FEnvironment = environment;
    }
    auto piece = [handler, environment, result = scenario.EnvironmentResult] {
        const HRESULT answer = handler->Invoke(result, environment.Get());
        Engine().Record("Handler.EnvironmentCompleted", HexCode(answer));
    };
    if (scenario.EnvironmentDelivery == TDelivery::Manual) {
        std::lock_guard guard(FLock);
        FPendingEnvironment = piece;
    } else {
        Deliver(scenario.EnvironmentDelivery, piece);
    }
    return S_OK;
}

HRESULT TEngine::BrowserVersion(const char* Folder, char** Version) {
    const HRESULT hr = Enter("Loader.GetCoreWebView2BrowserVersionString", Folder ? Folder : "(null)");
    if (Version)
        *Version = SUCCEEDED(hr) ? NewText(Scenario().BrowserVersion) : nullptr;
    return hr;
}

HRESULT TEngine::CreateController(TFakeEnvironment*, void* ParentWindow,
                                  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler) {
    const HRESULT hr = Enter("Environment.CreateCoreWebView2Controller", PointerText(ParentWindow));
    TScenario scenario;
    {
        std::lock_guard guard(FLock);
        scenario = FScenario;
    }
    if (FAILED(scenario.CreateControllerReturn))
        return scenario.CreateControllerReturn;
    if (FAILED(hr))
        return hr;
    TComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler(Handler);
    TComPtr<TFakeController> controller;
    if (!scenario.ControllerNull)
        controller = MakeComObject<TFakeController>(ParentWindow, scenario.ControllerTooOld,
                                                    scenario.ViewTooOld, scenario.SettingsTooOld);
    {
        std::lock_guard guard(FLock);
        FController = controller;
    }
    auto piece = [handler, controller, result = scenario.ControllerResult] {
        const HRESULT answer = handler->Invoke(result, controller.Get());
        Engine().Record("Handler.ControllerCompleted", HexCode(answer));
    };
    if (scenario.ControllerDelivery == TDelivery::Manual) {
        std::lock_guard guard(FLock);
        FPendingController = piece;
    } else {
        Deliver(scenario.ControllerDelivery, piece);
    }
    return S_OK;
}

bool TEngine::CompleteEnvironment() {
    std::function<void()> piece;
    {
        std::lock_guard guard(FLock);
        piece.swap(FPendingEnvironment);
    }
    if (!piece)
        return false;
    piece();
    return true;
}

bool TEngine::CompleteController() {
    std::function<void()> piece;
    {
        std::lock_guard guard(FLock);
        piece.swap(FPendingController);
    }
    if (!piece)
        return false;
    piece();
    return true;
}

void TEngine::AddPendingScript(TComPtr<ICoreWebView2ExecuteScriptCompletedHandler> Handler) {
    std::lock_guard guard(FLock);
    FPendingScripts.push_back(std::move(Handler));
}

void TEngine::AddPendingCapture(TComPtr<ICoreWebView2CapturePreviewCompletedHandler> Handler) {
    std::lock_guard guard(FLock);
    FPendingCaptures.push_back(std::move(Handler));
}

std::size_t TEngine::PendingScripts() const {
    std::lock_guard guard(FLock);
    std::size_t count = 0;
    for (const auto& handler : FPendingScripts)
        count += static_cast<bool>(handler);
    return count;
}

bool TEngine::CompleteScript(std::size_t Index, HRESULT ErrorCode, const char* ResultJson) {
    TComPtr<ICoreWebView2ExecuteScriptCompletedHandler> handler;
    {
        std::lock_guard guard(FLock);
        if (Index >= FPendingScripts.size() || !FPendingScripts[Index])
            return false;
        handler = std::move(FPendingScripts[Index]);
    }
    Record("Handler.ExecuteScriptCompleted", HexCode(handler->Invoke(ErrorCode, ResultJson)));
    return true;
}

std::size_t TEngine::PendingCaptures() const {
    std::lock_guard guard(FLock);
    std::size_t count = 0;
    for (const auto& handler : FPendingCaptures)
        count += static_cast<bool>(handler);
    return count;
}

bool TEngine::CompleteCapture(std::size_t Index, HRESULT ErrorCode) {
    TComPtr<ICoreWebView2CapturePreviewCompletedHandler> handler;
    {
        std::lock_guard guard(FLock);
        if (Index >= FPendingCaptures.size() || !FPendingCaptures[Index])
            return false;
        handler = std::move(FPendingCaptures[Index]);
    }
    Record("Handler.CapturePreviewCompleted", HexCode(handler->Invoke(ErrorCode)));
    return true;
}

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------

HRESULT TFakeReceiver::add_DevToolsProtocolEventReceived(
    ICoreWebView2DevToolsProtocolEventReceivedEventHandler* Handler, EventRegistrationToken* Token) {
    return Registry.Add("Receiver(" + FEventName + ")", "DevToolsProtocolEventReceived", Handler, Token);
}

HRESULT TFakeReceiver::remove_DevToolsProtocolEventReceived(EventRegistrationToken Token) {
    return Registry.Remove("Receiver(" + FEventName + ")", "DevToolsProtocolEventReceived", Token);
}

std::vector<HRESULT> TFakeReceiver::Fire(ICoreWebView2* Sender, const std::string& ParameterObjectAsJson) {
    std::vector<HRESULT> results;
    auto args = MakeComObject<TFakeDevToolsArgs>(ParameterObjectAsJson);
    for (auto& handler : Registry.Handlers<ICoreWebView2DevToolsProtocolEventReceivedEventHandler>(
             "DevToolsProtocolEventReceived"))
        results.push_back(handler->Invoke(Sender, args.Get()));
    return results;
}

TFakeView::TFakeView(bool TooOld, bool SettingsTooOld)
    : TFakeObject("View", TooOld), SettingsObject(MakeComObject<TFakeSettings>(SettingsTooOld)) {}

HRESULT TFakeView::get_Settings(ICoreWebView2Settings** Settings) {
    const HRESULT hr = Enter("get_Settings");
    if (!Settings)
        return E_POINTER;
    *Settings = nullptr;
    if (FAILED(hr))
        return hr;
    *Settings = SettingsObject.Get();
    SettingsObject->AddRef();
    return S_OK;
}

HRESULT TFakeView::Navigate(const char* Uri) {
    const HRESULT hr = Enter("Navigate", Uri ? Uri : "");
    if (SUCCEEDED(hr) && Uri)
        Source = Uri;
    return hr;
}

HRESULT TFakeView::AddScriptToExecuteOnDocumentCreated(
    const char* JavaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* Handler) {
    const HRESULT hr = Enter("AddScriptToExecuteOnDocumentCreated", JavaScript ? JavaScript : "");
    if (SUCCEEDED(hr) && Handler)
        Handler->Invoke(S_OK, "script-1");
    return hr;
}

HRESULT TFakeView::ExecuteScript(const char* JavaScript,
                                 ICoreWebView2ExecuteScriptCompletedHandler* Handler) {
    const HRESULT hr = Enter("ExecuteScript", JavaScript ? JavaScript : "");
    if (SUCCEEDED(hr) && Handler)
        Engine().AddPendingScript(TComPtr<ICoreWebView2ExecuteScriptCompletedHandler>(Handler));
    return hr;
}

namespace {
// Writes the image when the capture completes, like an engine that holds the
// stream until then.
class TCaptureCompletion final : public TComObject<ICoreWebView2CapturePreviewCompletedHandler> {
public:
    TCaptureCompletion(TComPtr<ICoreWebView2CapturePreviewCompletedHandler> Handler, TComPtr<IStream> Stream,
                       std::string Image)
        : FHandler(std::move(Handler)), FStream(std::move(Stream)), FImage(std::move(Image)) {}
    HRESULT NV_STDCALL Invoke(HRESULT ErrorCode) override {
        if (SUCCEEDED(ErrorCode) && FStream)
            FStream->Write(FImage.data(), static_cast<ULONG>(FImage.size()), nullptr);
        FStream = nullptr;
        return FHandler ? FHandler->Invoke(ErrorCode) : S_OK;
    }

private:
    TComPtr<ICoreWebView2CapturePreviewCompletedHandler> FHandler;
    TComPtr<IStream> FStream;
    std::string FImage;
};
} // namespace

HRESULT TFakeView::CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT ImageFormat, IStream* ImageStream,
                                  ICoreWebView2CapturePreviewCompletedHandler* Handler) {
    const HRESULT hr = Enter("CapturePreview", std::to_string(ImageFormat));
    if (FAILED(hr))
        return hr;
    if (!ImageStream)
        return E_POINTER;
    std::string image =
        ImageFormat == COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG ? "FAKE-JPEG" : "FAKE-PNG";
    auto completion = MakeComObject<TCaptureCompletion>(
        TComPtr<ICoreWebView2CapturePreviewCompletedHandler>(Handler), TComPtr<IStream>(ImageStream), image);
    Engine().AddPendingCapture(TComPtr<ICoreWebView2CapturePreviewCompletedHandler>(completion.Get()));
    return S_OK;
}

HRESULT TFakeView::GetDevToolsProtocolEventReceiver(const char* EventName,
                                                    ICoreWebView2DevToolsProtocolEventReceiver** Receiver) {
    const std::string name = EventName ? EventName : "";
    const HRESULT hr = Enter("GetDevToolsProtocolEventReceiver", name);
    if (!Receiver)
        return E_POINTER;
    *Receiver = nullptr;
    if (FAILED(hr))
        return hr;
    auto& receiver = Receivers[name];
    if (!receiver)
        receiver = MakeComObject<TFakeReceiver>(name);
    *Receiver = receiver.Get();
    receiver->AddRef();
    return S_OK;
}

TFakeController::TFakeController(void* AParentWindow, bool TooOld, bool ViewTooOld, bool SettingsTooOld)
    : TFakeObject("Controller", TooOld), ViewObject(MakeComObject<TFakeView>(ViewTooOld, SettingsTooOld)),
      ParentWindow(AParentWindow) {}

HRESULT TFakeController::put_IsVisible(BOOL Value) {
    const HRESULT hr = Enter("put_IsVisible", std::to_string(Value));
    if (SUCCEEDED(hr))
        IsVisible = Value;
    return hr;
}

HRESULT TFakeController::put_Bounds(RECT Value) {
    const HRESULT hr =
        Enter("put_Bounds", std::to_string(Value.left) + "," + std::to_string(Value.top) + "," +
                                std::to_string(Value.right) + "," + std::to_string(Value.bottom));
    if (SUCCEEDED(hr))
        Bounds = Value;
    return hr;
}

HRESULT TFakeController::put_ZoomFactor(double Value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", Value);
    const HRESULT hr = Enter("put_ZoomFactor", text);
    if (SUCCEEDED(hr))
        Zoom = Value;
    return hr;
}

HRESULT TFakeController::Close() {
    const HRESULT hr = Enter("Close");
    Closed = true;
    return hr;
}

HRESULT TFakeController::get_CoreWebView2(ICoreWebView2** View) {
    const HRESULT hr = Enter("get_CoreWebView2");
    if (!View)
        return E_POINTER;
    *View = nullptr;
    if (FAILED(hr))
        return hr;
    *View = ViewObject.Get();
    ViewObject->AddRef();
    return S_OK;
}

HRESULT TFakeEnvironment::CreateWebResourceResponse(IStream* Content, std::int32_t StatusCode,
                                                    const char* ReasonPhrase, const char* Headers,
                                                    ICoreWebView2WebResourceResponse** Response) {
    const std::string reason = ReasonPhrase ? ReasonPhrase : "";
    const std::string headers = Headers ? Headers : "";
    const HRESULT hr =
        Enter("CreateWebResourceResponse", std::to_string(StatusCode) + "|" + reason + "|" + headers);
    if (!Response)
        return E_POINTER;
    *Response = nullptr;
    if (FAILED(hr))
        return hr;
    auto response =
        MakeComObject<TFakeWebResourceResponse>(TComPtr<IStream>(Content), StatusCode, reason, headers);
    Responses.push_back(response);
    *Response = response.Get();
    response->AddRef();
    return S_OK;
}

std::string TFakeWebResourceResponse::Body() {
    if (!FBodyRead && ContentStream) {
        char buffer[4096];
        for (;;) {
            ULONG done = 0;
            const HRESULT hr = ContentStream->Read(buffer, sizeof buffer, &done);
            FBody.append(buffer, done);
            if (hr != S_OK || done == 0)
                break;
        }
    }
    FBodyRead = true;
    return FBody;
}

} // namespace Norvane::Testing::FakeEngine

// ---------------------------------------------------------------------------
// Loader entries
// ---------------------------------------------------------------------------

using namespace Norvane::WebView2;
using Norvane::Testing::FakeEngine::Engine;

NV_EXPORT HRESULT NV_STDCALL
CreateCoreWebView2Environment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler) {
    return Engine().CreateEnvironment(Handler);
}

NV_EXPORT HRESULT NV_STDCALL GetCoreWebView2BrowserVersionString(const char* BrowserExecutableFolder,
                                                                 char** VersionInfo) {
    return Engine().BrowserVersion(BrowserExecutableFolder, VersionInfo);
}

NV_EXPORT HRESULT NV_STDCALL GetAvailableCoreWebView2BrowserVersionString(const char* BrowserExecutableFolder,
                                                                          char** VersionInfo) {
    return Engine().BrowserVersion(BrowserExecutableFolder, VersionInfo);
}

NV_EXPORT void NV_STDCALL CoTaskMemFree(void* Block) {
    Engine().FreeText(Block);
}
