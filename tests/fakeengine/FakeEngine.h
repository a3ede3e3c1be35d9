// A deterministic browser engine for the browser control's tests. It is a
// shared library with the loader entries of the real engine library, so the
// control loads it by path exactly as it loads the real one; a test links it
// as well and drives it through Engine():
//   - the scenario chooses the result of each step of the creation (the entry,
//     the environment completion, the controller request and completion, the
//     view and the settings), how and on which thread each completion is
//     delivered, and the result of any single call by its name;
//   - every call the control makes on an engine object is recorded in order,
//     with its name ("View.Navigate"), its arguments as text and its thread;
//   - a test fires any notification of the view, the controller or a DevTools
//     receiver, with argument objects of the fake that record what the
//     control reads and sets;
//   - texts handed out are counted until they are freed with CoTaskMemFree.
#pragma once

#include "webview2/WebView2.h"
#include "webview2/WebView2Com.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Norvane::Testing::FakeEngine {

using namespace Norvane::WebView2;

struct TCall {
    std::string Name;   // "Object.Method", e.g. "Controller.put_Bounds"
    std::string Detail; // the arguments as text, e.g. "0,0,400,300"
    std::thread::id Thread;
};

// How a completion reaches the control.
enum class TDelivery {
    Immediate,   // inside the call that started it, on the calling thread
    OtherThread, // from a thread of the fake's own
    UiIdle,      // from the main loop of the user-interface thread, like the real engine
    Manual       // kept until the test completes it
};

struct TScenario {
    // The loader entry CreateCoreWebView2Environment.
    HRESULT CreateEnvironmentReturn = S_OK;
    TDelivery EnvironmentDelivery = TDelivery::Immediate;
    HRESULT EnvironmentResult = S_OK;
    bool EnvironmentNull = false;
    // Objects of an engine too old: they answer QueryInterface only for IUnknown.
    bool EnvironmentTooOld = false;
    bool ControllerTooOld = false;
    bool ViewTooOld = false;
    bool SettingsTooOld = false;
    // The environment's CreateCoreWebView2Controller.
    HRESULT CreateControllerReturn = S_OK;
    TDelivery ControllerDelivery = TDelivery::UiIdle;
    HRESULT ControllerResult = S_OK;
    bool ControllerNull = false;
    // The loader entry GetCoreWebView2BrowserVersionString.
    std::string BrowserVersion = "118.0.fake";
    std::string EnvironmentBrowserVersion = "118.0.fake-environment";
    // Results of particular calls by name ("Controller.get_CoreWebView2",
    // "View.get_Settings", "Settings.get_IsScriptEnabled", ...); S_OK otherwise.
    std::map<std::string, HRESULT> Results;
    // A getter whose call fails still writes its value (an engine that leaves
    // the out parameter set).
    bool WriteValuesOnFailure = false;
};

class TFakeEnvironment;
class TFakeController;
class TFakeView;
class TFakeSettings;
class TFakeReceiver;

// Registrations of one object: tokens are unique across all objects.
class TRegistry {
public:
    HRESULT Add(const std::string& Owner, const std::string& Event, IUnknown* Handler,
                EventRegistrationToken* Token);
    HRESULT Remove(const std::string& Owner, const std::string& Event, EventRegistrationToken Token);
    // The handlers registered for Event, in registration order.
    template <class H> std::vector<TComPtr<H>> Handlers(const std::string& Event) const {
        std::vector<TComPtr<H>> result;
        std::lock_guard guard(FLock);
        for (const auto& entry : FEntries)
            if (entry.Event == Event)
                result.emplace_back(static_cast<H*>(entry.Handler.Get()));
        return result;
    }
    std::size_t Count(const std::string& Event) const;
    std::size_t Total() const;
    // The token of the (first) registration of Event, or -1.
    INT64 TokenOf(const std::string& Event) const;

private:
    struct TEntry {
        std::string Event;
        INT64 Token;
        TComPtr<IUnknown> Handler;
    };
    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
};

// Reference count of an object of the fake (without changing it).
template <class T> ULONG RefCount(T* Object) {
    Object->AddRef();
    return Object->Release();
}

// ---------------------------------------------------------------------------
// The engine: scenario, call record, objects, pending completions
// ---------------------------------------------------------------------------

class TEngine {
public:
    // Starts a new scenario: forgets the calls, the objects and the pending
    // completions (threads of the fake are joined first).
    void Reset(const TScenario& Scenario = {});
    TScenario& Scenario() { return FScenario; }

    // The thread identity that calls are recorded with. A program that keeps
    // its own copy of the thread library (a statically linked Windows program:
    // every module has one, each numbering threads its own way) hands in its
    // own query, so that recorded threads compare equal to the ones it takes.
    void SetThreadIdentity(std::thread::id (*Query)()) { FThreadIdentity = Query; }
    std::thread::id CurrentThread() const {
        const auto query = FThreadIdentity.load();
        return query ? query() : std::this_thread::get_id();
    }

    // Records a call and answers the scenario's result for its name.
    HRESULT Enter(const std::string& Name, const std::string& Detail = {});
    void Record(const std::string& Name, const std::string& Detail = {});
    std::vector<TCall> Calls() const;
    // The names of the recorded calls, in order; with a prefix only those
    // starting with it ("View.remove_").
    std::vector<std::string> CallNames(const std::string& Prefix = {}) const;
    // The recorded calls of one name.
    std::vector<TCall> CallsNamed(const std::string& Name) const;
    std::size_t CountOf(const std::string& Name) const;

    // The objects made last (null before).
    TFakeEnvironment* Environment() const { return FEnvironment.Get(); }
    TFakeController* Controller() const { return FController.Get(); }
    TFakeView* View() const;
    TFakeSettings* Settings() const;

    // Manual completions. Each returns false when none is pending.
    bool CompleteEnvironment();
    bool CompleteController();
    std::size_t PendingScripts() const;
    bool CompleteScript(std::size_t Index, HRESULT ErrorCode, const char* ResultJson);
    std::size_t PendingCaptures() const;
    bool CompleteCapture(std::size_t Index, HRESULT ErrorCode);
    // Completions waiting in the user-interface main loop or on threads of the fake.
    int InFlight() const { return FInFlight.load(); }

    // Texts handed out and not yet freed with CoTaskMemFree.
    int TextsOutstanding() const { return FTexts.load(); }
    char* NewText(const std::string& Text);
    void FreeText(void* Block);

    // Engine side of the loader entries.
    HRESULT CreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler);
    HRESULT BrowserVersion(const char* Folder, char** Version);
    // Engine side of the environment's controller request.
    HRESULT CreateController(TFakeEnvironment* Environment, void* ParentWindow,
                             ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler);
    void AddPendingScript(TComPtr<ICoreWebView2ExecuteScriptCompletedHandler> Handler);
    void AddPendingCapture(TComPtr<ICoreWebView2CapturePreviewCompletedHandler> Handler);

    // Runs Piece as the delivery says (Manual is handled by the callers).
    void Deliver(TDelivery Delivery, std::function<void()> Piece);

private:
    void JoinThreads();

    mutable std::mutex FLock;
    TScenario FScenario;
    std::vector<TCall> FCalls;
    TComPtr<TFakeEnvironment> FEnvironment;
    TComPtr<TFakeController> FController;
    std::function<void()> FPendingEnvironment;
    std::function<void()> FPendingController;
    std::vector<TComPtr<ICoreWebView2ExecuteScriptCompletedHandler>> FPendingScripts;
    std::vector<TComPtr<ICoreWebView2CapturePreviewCompletedHandler>> FPendingCaptures;
    std::vector<std::thread> FThreads;
    std::atomic<std::thread::id (*)()> FThreadIdentity{nullptr};
    std::atomic<int> FInFlight{0};
    std::atomic<int> FTexts{0};
};

// The one engine of the process.
TEngine& Engine();

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------

// QueryInterface that an engine too old answers only for IUnknown.
template <class I> class TFakeObject : public TComObject<I> {
public:
    TFakeObject(std::string Name, bool TooOld) : FName(std::move(Name)), FTooOld(TooOld) {}
    HRESULT NV_STDCALL QueryInterface(const IID& Riid, void** Object) override {
        if (FTooOld && !(Riid == IUnknown::Iid)) {
            Engine().Record(FName + ".QueryInterface", "refused");
            if (Object)
                *Object = nullptr;
            return E_NOINTERFACE;
        }
        return TComObject<I>::QueryInterface(Riid, Object);
    }
    const std::string& Name() const { return FName; }

protected:
    // Records the call; true when the scenario lets it succeed. On failure
    // the value is still written when the scenario says so.
    HRESULT Enter(const std::string& Method, const std::string& Detail = {}) {
        return Engine().Enter(FName + "." + Method, Detail);
    }
    template <class T> HRESULT Get(const std::string& Method, T* Out, T Value) {
        const HRESULT hr = Enter(Method);
        if (Out && (SUCCEEDED(hr) || Engine().Scenario().WriteValuesOnFailure))
            *Out = Value;
        return hr;
    }
    HRESULT GetText(const std::string& Method, char** Out, const std::string& Value) {
        const HRESULT hr = Enter(Method);
        if (Out)
            *Out =
                SUCCEEDED(hr) || Engine().Scenario().WriteValuesOnFailure ? Engine().NewText(Value) : nullptr;
        return hr;
    }

private:
    std::string FName;
    bool FTooOld;
};

class TFakeSettings final : public TFakeObject<ICoreWebView2Settings> {
public:
    explicit TFakeSettings(bool TooOld) : TFakeObject("Settings", TooOld) {}
    // Current values by name ("IsScriptEnabled"), as written (BOOL values).
    std::map<std::string, BOOL> Values{
        {"IsScriptEnabled", 1},      {"IsWebMessageEnabled", 1},      {"AreDefaultScriptDialogsEnabled", 1},
        {"IsStatusBarEnabled", 1},   {"AreDevToolsEnabled", 1},       {"AreDefaultContextMenusEnabled", 1},
        {"IsZoomControlEnabled", 1}, {"IsBuiltInErrorPageEnabled", 1}};

#define NV_FAKE_SETTING(Getter, Setter, Key)                                                                 \
    HRESULT NV_STDCALL Getter(BOOL* Value) override {                                                        \
        return Get(#Getter, Value, Values[Key]);                                                             \
    }                                                                                                        \
    HRESULT NV_STDCALL Setter(BOOL Value) override {                                                         \
        const HRESULT hr = Enter(#Setter, std::to_string(Value));                                            \
        if (SUCCEEDED(hr))                                                                                   \
            Values[Key] = Value;                                                                             \
        return hr;                                                                                           \
    }
    NV_FAKE_SETTING(get_IsScriptEnabled, put_IsScriptEnabled, "IsScriptEnabled")
    NV_FAKE_SETTING(get_IsWebMessageEnabled, put_IsWebMessageEnabled, "IsWebMessageEnabled")
    NV_FAKE_SETTING(get_AreDefaultScriptDialogsEnabled, put_AreDefaultScriptDialogsEnabled,
                    "AreDefaultScriptDialogsEnabled")
    NV_FAKE_SETTING(get_IsStatusBarEnabled, put_IsStatusBarEnabled, "IsStatusBarEnabled")
    NV_FAKE_SETTING(get_AreDevToolsEnabled, put_AreDevToolsEnabled, "AreDevToolsEnabled")
    NV_FAKE_SETTING(get_AreDefaultContextMenusEnabled, put_AreDefaultContextMenusEnabled,
                    "AreDefaultContextMenusEnabled")
    NV_FAKE_SETTING(get_IsZoomControlEnabled, put_IsZoomControlEnabled, "IsZoomControlEnabled")
    NV_FAKE_SETTING(get_IsBuiltInErrorPageEnabled, put_IsBuiltInErrorPageEnabled, "IsBuiltInErrorPageEnabled")
#undef NV_FAKE_SETTING
};

// A DevTools protocol event receiver (one per event name and view).
class TFakeReceiver final : public TFakeObject<ICoreWebView2DevToolsProtocolEventReceiver> {
public:
    explicit TFakeReceiver(const std::string& EventName)
        : TFakeObject("Receiver", false), FEventName(EventName) {}
    HRESULT NV_STDCALL
    add_DevToolsProtocolEventReceived(ICoreWebView2DevToolsProtocolEventReceivedEventHandler* Handler,
                                      EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_DevToolsProtocolEventReceived(EventRegistrationToken Token) override;
    // Fires the event at every handler with ParameterObjectAsJson.
    std::vector<HRESULT> Fire(ICoreWebView2* Sender, const std::string& ParameterObjectAsJson);
    TRegistry Registry;

private:
    std::string FEventName;
};

class TFakeView final : public TFakeObject<ICoreWebView2> {
public:
    explicit TFakeView(bool TooOld, bool SettingsTooOld);

    TComPtr<TFakeSettings> SettingsObject;
    TRegistry Registry;
    std::map<std::string, TComPtr<TFakeReceiver>> Receivers;
    std::string Source = "about:blank";
    std::string Title;
    BOOL CanGoBackValue = 0;
    BOOL CanGoForwardValue = 0;
    BOOL FullScreen = 0;
    UINT32 ProcessId = 0;

    // Fires a view notification (the event name without "add_") at every
    // handler registered for it; returns what each handler answered.
    template <class H, class A> std::vector<HRESULT> Fire(const std::string& Event, A* Args) {
        std::vector<HRESULT> results;
        for (auto& handler : Registry.Handlers<H>(Event))
            results.push_back(handler->Invoke(this, Args));
        return results;
    }

    HRESULT NV_STDCALL get_Settings(ICoreWebView2Settings** Settings) override;
    HRESULT NV_STDCALL get_Source(char** Uri) override { return GetText("get_Source", Uri, Source); }
    HRESULT NV_STDCALL Navigate(const char* Uri) override;
    HRESULT NV_STDCALL NavigateToString(const char* HtmlContent) override {
        return Enter("NavigateToString", HtmlContent ? HtmlContent : "");
    }
#define NV_FAKE_VIEW_EVENT(Name, Handler)                                                                    \
    HRESULT NV_STDCALL add_##Name(Handler* H, EventRegistrationToken* Token) override {                      \
        return Registry.Add("View", #Name, H, Token);                                                        \
    }                                                                                                        \
    HRESULT NV_STDCALL remove_##Name(EventRegistrationToken Token) override {                                \
        return Registry.Remove("View", #Name, Token);                                                        \
    }
    NV_FAKE_VIEW_EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    NV_FAKE_VIEW_EVENT(ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    NV_FAKE_VIEW_EVENT(SourceChanged, ICoreWebView2SourceChangedEventHandler)
    NV_FAKE_VIEW_EVENT(HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    NV_FAKE_VIEW_EVENT(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    NV_FAKE_VIEW_EVENT(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    NV_FAKE_VIEW_EVENT(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    NV_FAKE_VIEW_EVENT(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler)
    NV_FAKE_VIEW_EVENT(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler)
    NV_FAKE_VIEW_EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler)
    NV_FAKE_VIEW_EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler)
    NV_FAKE_VIEW_EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler)
    NV_FAKE_VIEW_EVENT(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler)
    NV_FAKE_VIEW_EVENT(ContainsFullScreenElementChanged,
                       ICoreWebView2ContainsFullScreenElementChangedEventHandler)
    NV_FAKE_VIEW_EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler)
    NV_FAKE_VIEW_EVENT(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler)
#undef NV_FAKE_VIEW_EVENT
    HRESULT NV_STDCALL AddScriptToExecuteOnDocumentCreated(
        const char* JavaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* Handler) override;
    HRESULT NV_STDCALL RemoveScriptToExecuteOnDocumentCreated(const char* Id) override {
        return Enter("RemoveScriptToExecuteOnDocumentCreated", Id ? Id : "");
    }
    HRESULT NV_STDCALL ExecuteScript(const char* JavaScript,
                                     ICoreWebView2ExecuteScriptCompletedHandler* Handler) override;
    HRESULT NV_STDCALL CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT ImageFormat,
                                      IStream* ImageStream,
                                      ICoreWebView2CapturePreviewCompletedHandler* Handler) override;
    HRESULT NV_STDCALL Reload() override {
        return Enter("Reload");
    }
    HRESULT NV_STDCALL PostWebMessageAsJson(const char* Json) override {
        return Enter("PostWebMessageAsJson", Json ? Json : "");
    }
    HRESULT NV_STDCALL PostWebMessageAsString(const char* Text) override {
        return Enter("PostWebMessageAsString", Text ? Text : "");
    }
    HRESULT NV_STDCALL
    CallDevToolsProtocolMethod(const char* MethodName, const char*,
                               ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override {
        return Enter("CallDevToolsProtocolMethod", MethodName ? MethodName : "");
    }
    HRESULT NV_STDCALL get_BrowserProcessId(UINT32* Value) override {
        return Get("get_BrowserProcessId", Value, ProcessId);
    }
    HRESULT NV_STDCALL get_CanGoBack(BOOL* Value) override {
        return Get("get_CanGoBack", Value, CanGoBackValue);
    }
    HRESULT NV_STDCALL get_CanGoForward(BOOL* Value) override {
        return Get("get_CanGoForward", Value, CanGoForwardValue);
    }
    HRESULT NV_STDCALL GoBack() override {
        return Enter("GoBack");
    }
    HRESULT NV_STDCALL GoForward() override {
        return Enter("GoForward");
    }
    HRESULT NV_STDCALL GetDevToolsProtocolEventReceiver(
        const char* EventName, ICoreWebView2DevToolsProtocolEventReceiver** Receiver) override;
    HRESULT NV_STDCALL Stop() override {
        return Enter("Stop");
    }
    HRESULT NV_STDCALL get_DocumentTitle(char** Value) override {
        return GetText("get_DocumentTitle", Value, Title);
    }
    HRESULT NV_STDCALL OpenDevToolsWindow() override {
        return Enter("OpenDevToolsWindow");
    }
    HRESULT NV_STDCALL get_ContainsFullScreenElement(BOOL* Value) override {
        return Get("get_ContainsFullScreenElement", Value, FullScreen);
    }
    HRESULT NV_STDCALL AddWebResourceRequestedFilter(const char* Uri,
                                                     COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context) override {
        return Enter("AddWebResourceRequestedFilter",
                     std::string(Uri ? Uri : "") + "," + std::to_string(Context));
    }
    HRESULT NV_STDCALL RemoveWebResourceRequestedFilter(const char* Uri,
                                                        COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context) override {
        return Enter("RemoveWebResourceRequestedFilter",
                     std::string(Uri ? Uri : "") + "," + std::to_string(Context));
    }
};

class TFakeController final : public TFakeObject<ICoreWebView2Controller> {
public:
    TFakeController(void* ParentWindow, bool TooOld, bool ViewTooOld, bool SettingsTooOld);

    TComPtr<TFakeView> ViewObject;
    TRegistry Registry;
    void* ParentWindow;
    BOOL IsVisible = 1;
    RECT Bounds{0, 0, 0, 0};
    double Zoom = 1.0;
    bool Closed = false;

    template <class H, class A> std::vector<HRESULT> Fire(const std::string& Event, A* Args) {
        std::vector<HRESULT> results;
        for (auto& handler : Registry.Handlers<H>(Event))
            results.push_back(handler->Invoke(this, Args));
        return results;
    }

    HRESULT NV_STDCALL get_IsVisible(BOOL* Value) override { return Get("get_IsVisible", Value, IsVisible); }
    HRESULT NV_STDCALL put_IsVisible(BOOL Value) override;
    HRESULT NV_STDCALL get_Bounds(RECT* Value) override { return Get("get_Bounds", Value, Bounds); }
    HRESULT NV_STDCALL put_Bounds(RECT Value) override;
    HRESULT NV_STDCALL get_ZoomFactor(double* Value) override { return Get("get_ZoomFactor", Value, Zoom); }
    HRESULT NV_STDCALL put_ZoomFactor(double Value) override;
    HRESULT NV_STDCALL MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON Reason) override {
        return Enter("MoveFocus", std::to_string(Reason));
    }
#define NV_FAKE_CONTROLLER_EVENT(Name, Handler)                                                              \
    HRESULT NV_STDCALL add_##Name(Handler* H, EventRegistrationToken* Token) override {                      \
        return Registry.Add("Controller", #Name, H, Token);                                                  \
    }                                                                                                        \
    HRESULT NV_STDCALL remove_##Name(EventRegistrationToken Token) override {                                \
        return Registry.Remove("Controller", #Name, Token);                                                  \
    }
    NV_FAKE_CONTROLLER_EVENT(ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler)
    NV_FAKE_CONTROLLER_EVENT(MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler)
    NV_FAKE_CONTROLLER_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler)
    NV_FAKE_CONTROLLER_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler)
    NV_FAKE_CONTROLLER_EVENT(AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler)
#undef NV_FAKE_CONTROLLER_EVENT
    HRESULT NV_STDCALL get_ParentWindow(void** Value) override {
        return Get("get_ParentWindow", Value, ParentWindow);
    }
    HRESULT NV_STDCALL NotifyParentWindowPositionChanged() override {
        return Enter("NotifyParentWindowPositionChanged");
    }
    HRESULT NV_STDCALL Close() override;
    HRESULT NV_STDCALL get_CoreWebView2(ICoreWebView2** View) override;
};

// A response made by the environment's CreateWebResourceResponse: what the
// caller gave it, with the content stream held as long as the response lives.
class TFakeWebResourceResponse final : public TFakeObject<ICoreWebView2WebResourceResponse> {
public:
    TFakeWebResourceResponse(TComPtr<IStream> Content, std::int32_t Status, std::string Reason,
                             std::string HeaderText)
        : TFakeObject("Response", false), ContentStream(std::move(Content)), StatusCode(Status),
          ReasonPhrase(std::move(Reason)), Headers(std::move(HeaderText)) {}
    TComPtr<IStream> ContentStream;
    std::int32_t StatusCode;
    std::string ReasonPhrase;
    std::string Headers;
    // The content as a browser reads it: from the stream's current position
    // to its end (read once; later calls give the same bytes).
    std::string Body();

    HRESULT NV_STDCALL get_Content(IStream** Value) override { return ContentStream.CopyTo(Value); }
    HRESULT NV_STDCALL put_Content(IStream* Value) override {
        ContentStream = TComPtr<IStream>(Value);
        return Enter("put_Content");
    }
    HRESULT NV_STDCALL get_Headers(char** Value) override { return GetText("get_Headers", Value, Headers); }
    HRESULT NV_STDCALL AppendHeader(const char* Name, const char* Value) override {
        Headers +=
            std::string(Headers.empty() ? "" : "\r\n") + (Name ? Name : "") + ": " + (Value ? Value : "");
        return Enter("AppendHeader");
    }
    HRESULT NV_STDCALL get_StatusCode(std::int32_t* Value) override {
        return Get("get_StatusCode", Value, StatusCode);
    }
    HRESULT NV_STDCALL put_StatusCode(std::int32_t Value) override {
        StatusCode = Value;
        return Enter("put_StatusCode");
    }
    HRESULT NV_STDCALL get_ReasonPhrase(char** Value) override {
        return GetText("get_ReasonPhrase", Value, ReasonPhrase);
    }
    HRESULT NV_STDCALL put_ReasonPhrase(const char* Value) override {
        ReasonPhrase = Value ? Value : "";
        return Enter("put_ReasonPhrase");
    }

private:
    bool FBodyRead = false;
    std::string FBody;
};

class TFakeEnvironment final : public TFakeObject<ICoreWebView2Environment> {
public:
    explicit TFakeEnvironment(bool TooOld) : TFakeObject("Environment", TooOld) {}
    // Every response made, in order. The call is recorded with the detail
    // "<status>|<reason>|<headers>"; Results["Environment.CreateWebResourceResponse"]
    // makes it fail without a response.
    std::vector<TComPtr<TFakeWebResourceResponse>> Responses;
    HRESULT NV_STDCALL CreateCoreWebView2Controller(
        void* ParentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler) override {
        return Engine().CreateController(this, ParentWindow, Handler);
    }
    HRESULT NV_STDCALL CreateWebResourceResponse(IStream* Content, std::int32_t StatusCode,
                                                 const char* ReasonPhrase, const char* Headers,
                                                 ICoreWebView2WebResourceResponse** Response) override;
    HRESULT NV_STDCALL get_BrowserVersionString(char** Version) override {
        return GetText("get_BrowserVersionString", Version, Engine().Scenario().EnvironmentBrowserVersion);
    }
};

// ---------------------------------------------------------------------------
// Event arguments: each records what the control reads and sets
// ---------------------------------------------------------------------------

class TFakeNavigationStartingArgs final : public TFakeObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    TFakeNavigationStartingArgs() : TFakeObject("NavigationStartingArgs", false) {}
    std::string Uri = "file:///index.html";
    BOOL Cancel = 0;
    UINT64 NavigationId = 7;
    HRESULT NV_STDCALL get_Uri(char** Value) override { return GetText("get_Uri", Value, Uri); }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return Get("get_IsUserInitiated", Value, 0);
    }
    HRESULT NV_STDCALL get_IsRedirected(BOOL* Value) override { return Get("get_IsRedirected", Value, 0); }
    HRESULT NV_STDCALL get_RequestHeaders(char** Value) override {
        return GetText("get_RequestHeaders", Value, "");
    }
    HRESULT NV_STDCALL get_Cancel(BOOL* Value) override { return Get("get_Cancel", Value, Cancel); }
    HRESULT NV_STDCALL put_Cancel(BOOL Value) override {
        Cancel = Value;
        return Enter("put_Cancel", std::to_string(Value));
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override {
        return Get("get_NavigationId", Value, NavigationId);
    }
};

class TFakeContentLoadingArgs final : public TFakeObject<ICoreWebView2ContentLoadingEventArgs> {
public:
    TFakeContentLoadingArgs() : TFakeObject("ContentLoadingArgs", false) {}
    BOOL IsErrorPage = 0;
    UINT64 NavigationId = 0;
    HRESULT NV_STDCALL get_IsErrorPage(BOOL* Value) override {
        return Get("get_IsErrorPage", Value, IsErrorPage);
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override {
        return Get("get_NavigationId", Value, NavigationId);
    }
};

class TFakeSourceChangedArgs final : public TFakeObject<ICoreWebView2SourceChangedEventArgs> {
public:
    TFakeSourceChangedArgs() : TFakeObject("SourceChangedArgs", false) {}
    BOOL IsNewDocument = 0;
    HRESULT NV_STDCALL get_IsNewDocument(BOOL* Value) override {
        return Get("get_IsNewDocument", Value, IsNewDocument);
    }
};

class TFakeNavigationCompletedArgs final : public TFakeObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    TFakeNavigationCompletedArgs() : TFakeObject("NavigationCompletedArgs", false) {}
    BOOL IsSuccess = 1;
    COREWEBVIEW2_WEB_ERROR_STATUS Status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    HRESULT NV_STDCALL get_IsSuccess(BOOL* Value) override { return Get("get_IsSuccess", Value, IsSuccess); }
    HRESULT NV_STDCALL get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* Value) override {
        return Get("get_WebErrorStatus", Value, Status);
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override {
        return Get<UINT64>("get_NavigationId", Value, 1);
    }
};

class TFakeScriptDialogOpeningArgs final : public TFakeObject<ICoreWebView2ScriptDialogOpeningEventArgs> {
public:
    TFakeScriptDialogOpeningArgs() : TFakeObject("ScriptDialogOpeningArgs", false) {}
    std::string Message = "Sure?";
    HRESULT NV_STDCALL get_Uri(char** Value) override {
        return GetText("get_Uri", Value, "file:///index.html");
    }
    HRESULT NV_STDCALL get_Kind(COREWEBVIEW2_SCRIPT_DIALOG_KIND* Value) override {
        return Get("get_Kind", Value, COREWEBVIEW2_SCRIPT_DIALOG_KIND_CONFIRM);
    }
    HRESULT NV_STDCALL get_Message(char** Value) override { return GetText("get_Message", Value, Message); }
    HRESULT NV_STDCALL Accept() override { return Enter("Accept"); }
    HRESULT NV_STDCALL get_DefaultText(char** Value) override {
        return GetText("get_DefaultText", Value, "");
    }
    HRESULT NV_STDCALL get_ResultText(char** Value) override { return GetText("get_ResultText", Value, ""); }
    HRESULT NV_STDCALL put_ResultText(const char* Value) override {
        return Enter("put_ResultText", Value ? Value : "");
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Value) override {
        if (Value)
            *Value = nullptr;
        Enter("GetDeferral");
        return E_NOTIMPL;
    }
};

class TFakePermissionRequestedArgs final : public TFakeObject<ICoreWebView2PermissionRequestedEventArgs> {
public:
    TFakePermissionRequestedArgs() : TFakeObject("PermissionRequestedArgs", false) {}
    COREWEBVIEW2_PERMISSION_STATE State = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
    HRESULT NV_STDCALL get_Uri(char** Value) override {
        return GetText("get_Uri", Value, "file:///index.html");
    }
    HRESULT NV_STDCALL get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* Value) override {
        return Get("get_PermissionKind", Value, COREWEBVIEW2_PERMISSION_KIND_CAMERA);
    }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return Get("get_IsUserInitiated", Value, 1);
    }
    HRESULT NV_STDCALL get_State(COREWEBVIEW2_PERMISSION_STATE* Value) override {
        return Get("get_State", Value, State);
    }
    HRESULT NV_STDCALL put_State(COREWEBVIEW2_PERMISSION_STATE Value) override {
        State = Value;
        return Enter("put_State", std::to_string(Value));
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
};

class TFakeProcessFailedArgs final : public TFakeObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    TFakeProcessFailedArgs() : TFakeObject("ProcessFailedArgs", false) {}
    COREWEBVIEW2_PROCESS_FAILED_KIND Kind = COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED;
    HRESULT NV_STDCALL get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* Value) override {
        return Get("get_ProcessFailedKind", Value, Kind);
    }
};

class TFakeWebMessageReceivedArgs final : public TFakeObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    TFakeWebMessageReceivedArgs() : TFakeObject("WebMessageReceivedArgs", false) {}
    std::string Json = "{\"id\":1}";
    HRESULT NV_STDCALL get_Source(char** Value) override {
        return GetText("get_Source", Value, "file:///index.html");
    }
    HRESULT NV_STDCALL get_WebMessageAsJson(char** Value) override {
        return GetText("get_WebMessageAsJson", Value, Json);
    }
    HRESULT NV_STDCALL TryGetWebMessageAsString(char** Value) override {
        Enter("TryGetWebMessageAsString");
        if (Value)
            *Value = nullptr;
        return E_INVALIDARG;
    }
};

class TFakeNewWindowRequestedArgs final : public TFakeObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    TFakeNewWindowRequestedArgs() : TFakeObject("NewWindowRequestedArgs", false) {}
    std::string Uri = "https://example.org/";
    BOOL Handled = 0;
    HRESULT NV_STDCALL get_Uri(char** Value) override { return GetText("get_Uri", Value, Uri); }
    HRESULT NV_STDCALL put_NewWindow(ICoreWebView2*) override { return Enter("put_NewWindow"); }
    HRESULT NV_STDCALL get_NewWindow(ICoreWebView2** Value) override {
        if (Value)
            *Value = nullptr;
        return Enter("get_NewWindow");
    }
    HRESULT NV_STDCALL put_Handled(BOOL Value) override {
        Handled = Value;
        return Enter("put_Handled", std::to_string(Value));
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Value) override { return Get("get_Handled", Value, Handled); }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return Get("get_IsUserInitiated", Value, 1);
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
};

// A web resource request for an address.
class TFakeWebResourceRequest final : public TFakeObject<ICoreWebView2WebResourceRequest> {
public:
    explicit TFakeWebResourceRequest(std::string Address)
        : TFakeObject("Request", false), Uri(std::move(Address)) {}
    std::string Uri;
    HRESULT NV_STDCALL get_Uri(char** Value) override { return GetText("get_Uri", Value, Uri); }
    HRESULT NV_STDCALL put_Uri(const char*) override { return Enter("put_Uri"); }
    HRESULT NV_STDCALL get_Method(char** Value) override { return GetText("get_Method", Value, "GET"); }
    HRESULT NV_STDCALL put_Method(const char*) override { return Enter("put_Method"); }
    HRESULT NV_STDCALL get_Content(IStream** Value) override {
        if (Value)
            *Value = nullptr;
        return Enter("get_Content");
    }
    HRESULT NV_STDCALL put_Content(IStream*) override { return Enter("put_Content"); }
    std::string Headers;
    HRESULT NV_STDCALL get_Headers(char** Value) override { return GetText("get_Headers", Value, Headers); }
};

// Resource-request arguments; with an address they carry a request for it.
class TFakeWebResourceRequestedArgs final : public TFakeObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    TFakeWebResourceRequestedArgs() : TFakeObject("WebResourceRequestedArgs", false) {}
    explicit TFakeWebResourceRequestedArgs(const std::string& Address)
        : TFakeObject("WebResourceRequestedArgs", false),
          Request(MakeComObject<TFakeWebResourceRequest>(Address)) {}
    TComPtr<TFakeWebResourceRequest> Request;
    TComPtr<ICoreWebView2WebResourceResponse> Response;
    HRESULT NV_STDCALL get_Request(ICoreWebView2WebResourceRequest** Value) override {
        if (Value)
            *Value = nullptr;
        Enter("get_Request");
        if (!Request)
            return E_NOTIMPL;
        if (!Value)
            return E_POINTER;
        *Value = Request.Get();
        Request->AddRef();
        return S_OK;
    }
    HRESULT NV_STDCALL get_Response(ICoreWebView2WebResourceResponse** Value) override {
        Enter("get_Response");
        return Response.CopyTo(Value);
    }
    HRESULT NV_STDCALL put_Response(ICoreWebView2WebResourceResponse* Value) override {
        Response = TComPtr<ICoreWebView2WebResourceResponse>(Value);
        return Enter("put_Response");
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT NV_STDCALL get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* Value) override {
        return Get("get_ResourceContext", Value, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT);
    }
};

class TFakeMoveFocusRequestedArgs final : public TFakeObject<ICoreWebView2MoveFocusRequestedEventArgs> {
public:
    TFakeMoveFocusRequestedArgs() : TFakeObject("MoveFocusRequestedArgs", false) {}
    COREWEBVIEW2_MOVE_FOCUS_REASON Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT;
    BOOL Handled = 0;
    HRESULT NV_STDCALL get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* Value) override {
        return Get("get_Reason", Value, Reason);
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Value) override { return Get("get_Handled", Value, Handled); }
    HRESULT NV_STDCALL put_Handled(BOOL Value) override {
        Handled = Value;
        return Enter("put_Handled", std::to_string(Value));
    }
};

class TFakeAcceleratorKeyPressedArgs final : public TFakeObject<ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    TFakeAcceleratorKeyPressedArgs() : TFakeObject("AcceleratorKeyPressedArgs", false) {}
    COREWEBVIEW2_KEY_EVENT_KIND Kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    UINT32 VirtualKey = 0;
    std::int32_t LParam = 0;
    BOOL Handled = 0;
    HRESULT NV_STDCALL get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* Value) override {
        return Get("get_KeyEventKind", Value, Kind);
    }
    HRESULT NV_STDCALL get_VirtualKey(UINT32* Value) override {
        return Get("get_VirtualKey", Value, VirtualKey);
    }
    HRESULT NV_STDCALL get_KeyEventLParam(std::int32_t* Value) override {
        return Get("get_KeyEventLParam", Value, LParam);
    }
    HRESULT NV_STDCALL get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* Value) override {
        return Get("get_PhysicalKeyStatus", Value, COREWEBVIEW2_PHYSICAL_KEY_STATUS{});
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Value) override { return Get("get_Handled", Value, Handled); }
    HRESULT NV_STDCALL put_Handled(BOOL Value) override {
        Handled = Value;
        return Enter("put_Handled", std::to_string(Value));
    }
};

class TFakeDevToolsArgs final : public TFakeObject<ICoreWebView2DevToolsProtocolEventReceivedEventArgs> {
public:
    explicit TFakeDevToolsArgs(std::string Json)
        : TFakeObject("DevToolsArgs", false), FJson(std::move(Json)) {}
    HRESULT NV_STDCALL get_ParameterObjectAsJson(char** Value) override {
        return GetText("get_ParameterObjectAsJson", Value, FJson);
    }

private:
    std::string FJson;
};

} // namespace Norvane::Testing::FakeEngine
