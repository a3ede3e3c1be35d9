#include "shared/browser/EdgeEx.h"

#include "shared/browser/EngineLoader.h"

#include "platform/Process.h"
#include "platform/ProcessControl.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace Norvane::Shared {

using namespace Norvane::WebView2;
namespace Ui = Platform::Ui;

const TResStringRec SEdgeBrowserCreateFailed{"Failed to create Edge browser control"};
const TResStringRec SWebViewNotInstantiated{"WebView2 not instantiated"};

std::string LoadResString(const TResStringRec& Res) {
    return Res.Text ? Res.Text : "";
}

namespace {

// A BOOL with all bits set: how the control passes true to the engine's
// settings and visibility.
constexpr BOOL AllBitsTrue = -1;
BOOL ToBool(bool Value) {
    return Value ? AllBitsTrue : FALSE_VALUE;
}

// Copies a text of the engine and frees the engine's copy.
std::string TakeText(char* Text) {
    std::string result = Text ? Text : "";
    EngineLoader::Free(Text);
    return result;
}

// Leading and trailing characters of code 32 or lower removed.
std::string TrimControlAndBlank(const std::string& Text) {
    std::size_t first = 0;
    std::size_t last = Text.size();
    while (first < last && static_cast<unsigned char>(Text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(Text[last - 1]) <= 32)
        --last;
    return Text.substr(first, last - first);
}

// Bottom (or Right) of the view: Origin + Extent x Ratio, truncated toward zero.
std::int32_t ScaleEdge(std::int32_t Origin, std::int32_t Extent, double Ratio) {
    double value = std::trunc(static_cast<double>(Origin) + static_cast<double>(Extent) * Ratio);
    if (std::isnan(value))
        return Origin;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// A stream adapter over a TStream that it does not own.
class TStreamAdapter final : public TComObject<IStream> {
public:
    explicit TStreamAdapter(TStream& Stream) : FStream(Stream) {}

    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        std::int64_t done = 0;
        try {
            done = FStream.Read(Buffer, Count);
        } catch (...) {
            return STG_E_READFAULT;
        }
        if (ReadCount)
            *ReadCount = static_cast<ULONG>(done);
        return done < static_cast<std::int64_t>(Count) ? S_FALSE : S_OK;
    }
    HRESULT NV_STDCALL Write(const void* Buffer, ULONG Count, ULONG* WrittenCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        try {
            FStream.Write(Buffer, Count);
        } catch (...) {
            return STG_E_WRITEFAULT;
        }
        if (WrittenCount)
            *WrittenCount = Count;
        return S_OK;
    }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        TSeekOrigin origin;
        switch (Origin) {
        case STREAM_SEEK_SET:
            origin = TSeekOrigin::soBeginning;
            break;
        case STREAM_SEEK_CUR:
            origin = TSeekOrigin::soCurrent;
            break;
        case STREAM_SEEK_END:
            origin = TSeekOrigin::soEnd;
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        std::int64_t position = 0;
        try {
            position = FStream.Seek(Move, origin);
        } catch (...) {
            return STG_E_SEEKERROR;
        }
        if (NewPosition)
            *NewPosition = static_cast<UINT64>(position);
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        if (!Stats)
            return STG_E_INVALIDPOINTER;
        try {
            *Stats = STATSTG{static_cast<UINT64>(FStream.Size()), STGTY_STREAM, STGM_READWRITE};
        } catch (...) {
            return STG_E_READFAULT;
        }
        return S_OK;
    }

private:
    TStream& FStream;
};

// Hands a piece to the user-interface thread: at once when already there,
// otherwise queued to it.
void HandToUiThread(std::function<void()> Piece) {
    Ui::Application().RunOnUiThread(std::move(Piece));
}

} // namespace

// The control as the engine's handlers and the worker thread see it. Control
// is cleared by the destructor; work off the user-interface thread holds Lock
// while it uses the control, so the destructor waits for it.
struct TCustomEdgeBrowser::TLifeline {
    explicit TLifeline(TCustomEdgeBrowser* AControl) : Control(AControl) {}
    std::recursive_mutex Lock;
    std::atomic<TCustomEdgeBrowser*> Control;
};

namespace {

// Runs Piece on the control if it still exists. What escapes it goes to the
// application's error report instead of into the engine's code.
template <class L, class F> HRESULT Deliver(const L& Life, F&& Piece) noexcept {
    try {
        if (auto* control = Life->Control.load())
            return Piece(*control);
    } catch (...) {
        Ui::Application().HandleException(std::current_exception());
    }
    return S_OK;
}

// A notification handler of interface H that runs Body(Control, Sender, Args)
// while the control exists.
template <class H, class L, class F> TComPtr<H> MakeHandler(const L& Life, F Body) {
    return Callback<H>([Life, Body](auto* Sender, auto* Args) -> HRESULT {
        return Deliver(Life, [&](TCustomEdgeBrowser& Control) { return Body(Control, Sender, Args); });
    });
}

} // namespace

// ---------------------------------------------------------------------------
// Construction, destruction
// ---------------------------------------------------------------------------

TCustomEdgeBrowser::TCustomEdgeBrowser(Ui::TComponent* AOwner)
    : Ui::TWinControl(AOwner), FLifeline(std::make_shared<TLifeline>(this)) {}

TCustomEdgeBrowser::~TCustomEdgeBrowser() {
    {
        std::lock_guard guard(FLifeline->Lock);
        FLifeline->Control.store(nullptr);
    }
    try {
        CloseWebView();
    } catch (...) {
        Ui::Application().HandleException(std::current_exception());
    }
}

bool TCustomEdgeBrowser::RecordHResult(HRESULT hr) {
    std::lock_guard guard(FCritSec);
    FLastErrorCode = hr;
    return SUCCEEDED(hr);
}

HRESULT TCustomEdgeBrowser::LastErrorCode() const {
    std::lock_guard guard(FCritSec);
    return FLastErrorCode;
}

bool TCustomEdgeBrowser::WebViewCreated() const {
    return FWebViewEnvironment && FWebViewController && FWebView && FWebViewSettings;
}

void TCustomEdgeBrowser::SetParent(Ui::TWinControl* AParent) {
    Ui::TWinControl::SetParent(AParent);
    if (AParent)
        CreateWebView();
}

// ---------------------------------------------------------------------------
// Creation sequence
// ---------------------------------------------------------------------------

void TCustomEdgeBrowser::CreateWebView() {
    if (FWebView || FBrowserControlState == TBrowserControlState::Creating)
        return;
    const TBrowserControlState previous = FBrowserControlState;
    FBrowserControlState = TBrowserControlState::Creating;
    // The library is loaded here, on the UI thread, not on the worker: a
    // library built on the toolkit runs constructors that take the toolkit's
    // module lock while the loader's own lock is held, and the UI thread may
    // hold the first while it waits for the second (a deadlock seen with the
    // GTK engine). A load that fails here fails the worker's call as well.
    EngineLoader::Load();
    try {
        std::thread([Life = FLifeline] {
            std::lock_guard guard(Life->Lock);
            Deliver(Life, [](TCustomEdgeBrowser& Control) {
                Control.InitializeWebView(false);
                return S_OK;
            });
        }).detach();
    } catch (...) {
        FBrowserControlState = previous;
        throw;
    }
}

void TCustomEdgeBrowser::ReinitializeWebView() {
    InitializeWebView(true);
}

void TCustomEdgeBrowser::ReinitializeWebViewWithNewBrowser() {
    CloseBrowserProcess();
    ReinitializeWebView();
}

void TCustomEdgeBrowser::InitializeWebView(bool MayLoad) {
    CloseWebView();
    FSizeRatio = 1.0;
    FWebViewFocusEventActive = false;
    // An engine may complete inside the call itself; the completion's result
    // is then the later one and is not overwritten by the call's own S_OK.
    auto completed = std::make_shared<std::atomic<bool>>(false);
    auto handler = Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [Life = FLifeline, completed](HRESULT AResult, ICoreWebView2Environment* AEnvironment) -> HRESULT {
            // May arrive on any thread: hold the lifeline while the control is used.
            std::lock_guard guard(Life->Lock);
            completed->store(true);
            return Deliver(Life, [&](TCustomEdgeBrowser& Control) {
                return Control.CreateEnvironmentCompleted(AResult, AEnvironment);
            });
        });
    const HRESULT hr = EngineLoader::CreateEnvironment(handler.Get(), MayLoad);
    if (SUCCEEDED(hr) && completed->load())
        return;
    if (!RecordHResult(hr))
        HandToUiThread([Life = FLifeline, hr] {
            Deliver(Life, [hr](TCustomEdgeBrowser& Control) {
                Control.RaiseCreateWebViewCompleted(hr);
                return S_OK;
            });
        });
}

HRESULT TCustomEdgeBrowser::CreateEnvironmentCompleted(HRESULT AResult,
                                                       ICoreWebView2Environment* AEnvironment) {
    HRESULT outcome = AResult;
    if (RecordHResult(AResult)) {
        TComPtr<ICoreWebView2Environment> environment;
        if (AEnvironment)
            AEnvironment->QueryInterface(ICoreWebView2Environment::Iid,
                                         reinterpret_cast<void**>(environment.Put()));
        if (environment) {
            FWebViewEnvironment = environment;
            // The extra reference: an environment once created stays alive
            // until the process ends.
            environment->AddRef();
            HandToUiThread([Life = FLifeline] {
                Deliver(Life, [](TCustomEdgeBrowser& Control) {
                    Control.CreateController();
                    return S_OK;
                });
            });
            return S_OK;
        }
        // No environment, or one of an engine library too old for this
        // control: reported like a library that cannot be loaded.
        outcome = E_FAIL;
        RecordHResult(outcome);
    }
    HandToUiThread([Life = FLifeline, outcome] {
        Deliver(Life, [outcome](TCustomEdgeBrowser& Control) {
            Control.RaiseCreateWebViewCompleted(outcome);
            return S_OK;
        });
    });
    return S_OK;
}

void TCustomEdgeBrowser::CreateController() {
    if (!FWebViewEnvironment)
        return;
    auto handler = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [Life = FLifeline](HRESULT AResult, ICoreWebView2Controller* AController) -> HRESULT {
            return Deliver(Life, [&](TCustomEdgeBrowser& Control) {
                return Control.CreateCoreWebView2ControllerCompleted(AResult, AController);
            });
        });
    RecordHResult(FWebViewEnvironment->CreateCoreWebView2Controller(Handle(), handler.Get()));
}

HRESULT TCustomEdgeBrowser::CreateCoreWebView2ControllerCompleted(HRESULT AResult,
                                                                  ICoreWebView2Controller* AController) {
    const auto life = FLifeline;
    if (!RecordHResult(AResult)) {
        FailCreation();
        return S_OK;
    }
    // Each object must answer for the interface the control uses.
    TComPtr<ICoreWebView2Controller> controller;
    if (AController)
        AController->QueryInterface(ICoreWebView2Controller::Iid, reinterpret_cast<void**>(controller.Put()));
    if (!controller) {
        RecordHResult(E_NOINTERFACE);
        FailCreation();
        return S_OK;
    }
    FWebViewController = controller;

    FWebView = nullptr;
    TComPtr<ICoreWebView2> view;
    if (!RecordHResult(FWebViewController->get_CoreWebView2(view.Put()))) {
        FailCreation();
        return S_OK;
    }
    if (view)
        view.As(FWebView);
    if (!FWebView) {
        RecordHResult(E_NOINTERFACE);
        FailCreation();
        return S_OK;
    }

    FWebViewSettings = nullptr;
    TComPtr<ICoreWebView2Settings> settings;
    if (!RecordHResult(FWebView->get_Settings(settings.Put()))) {
        FailCreation();
        return S_OK;
    }
    if (settings)
        settings.As(FWebViewSettings);
    if (!FWebViewSettings) {
        RecordHResult(E_NOINTERFACE);
        FailCreation();
        return S_OK;
    }

    FBrowserControlState = TBrowserControlState::Created;
    // The handler's own failure is reported, and the control still gets its
    // notification handlers.
    try {
        RaiseCreateWebViewCompleted(AResult);
    } catch (...) {
        Ui::Application().HandleException(std::current_exception());
    }
    if (life->Control.load() != this)
        return S_OK; // the handler freed the control

    if (FWebView && FWebViewController) {
        AddNotificationHandlers();
        Resize();
        // The control may have taken the focus while the browser did not
        // exist yet (the window showed first): the page gets it now.
        if (Focused())
            RecordHResult(FWebViewController->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
    }
    if (!FLastURL.empty())
        Navigate(FLastURL);
    return S_OK;
}

void TCustomEdgeBrowser::FailCreation() {
    FBrowserControlState = TBrowserControlState::Failed;
    const HRESULT code = LastErrorCode();
    if (OnCreateWebViewCompleted) {
        RaiseCreateWebViewCompleted(code);
        return;
    }
    HandToUiThread([code] { throw EEdgeError::CreateRes(SEdgeBrowserCreateFailed, code); });
}

void TCustomEdgeBrowser::RaiseCreateWebViewCompleted(HRESULT AResult) {
    if (auto event = OnCreateWebViewCompleted)
        event(this, AResult);
}

// ---------------------------------------------------------------------------
// Notification registrations
// ---------------------------------------------------------------------------

namespace {

using TRemovers = std::vector<std::pair<int, std::function<void()>>>;

// Registers Handler with Add on Source and keeps the registration's own
// removal with its place in the closing order, so that each registration is
// undone by the remover it brought.
template <class S, class H>
void Subscribe(S* Source, HRESULT (NV_STDCALL S::*Add)(H*, EventRegistrationToken*),
               HRESULT (NV_STDCALL S::*Remove)(EventRegistrationToken), const TComPtr<H>& Handler,
               int ClosingPlace, TRemovers& Removers) {
    EventRegistrationToken token{};
    (Source->*Add)(Handler.Get(), &token);
    Removers.emplace_back(ClosingPlace, [Source, Remove, token] { (Source->*Remove)(token); });
}

// Runs the removals in their closing order and forgets them.
void RemoveAll(TRemovers& Removers) {
    TRemovers removers = std::exchange(Removers, {});
    std::stable_sort(removers.begin(), removers.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : removers)
        entry.second();
}

} // namespace

void TCustomEdgeBrowser::AddNotificationHandlers() {
    const auto& life = FLifeline;
    ICoreWebView2* view = FWebView.Get();
    ICoreWebView2Controller* controller = FWebViewController.Get();
    using C = TCustomEdgeBrowser;
    using V = ICoreWebView2;
    using K = ICoreWebView2Controller;
    // One line a notification, in the order of registration: its place when
    // the control closes, its name, its handler interface and what the
    // control does with it.
#define NV_SUBSCRIBE(Source, Type, Removers, Place, Name, Handler, Call)                                     \
    Subscribe(Source, &Type::add_##Name, &Type::remove_##Name,                                               \
              MakeHandler<Handler>(life, [](C& Self, [[maybe_unused]] Type* Sender,                          \
                                            [[maybe_unused]] auto* Args) { return Self.Call; }),             \
              Place, Removers)
#define NV_ON_VIEW(Place, Name, Handler, Call)                                                               \
    NV_SUBSCRIBE(view, V, FViewRemovers, Place, Name, Handler, Call)
#define NV_ON_CONTROLLER(Place, Name, Handler, Call)                                                         \
    NV_SUBSCRIBE(controller, K, FControllerRemovers, Place, Name, Handler, Call)
    NV_ON_VIEW(1, NavigationStarting, ICoreWebView2NavigationStartingEventHandler,
               DoNavigationStarting(Args));
    NV_ON_VIEW(2, NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler,
               DoNavigationCompleted(Args));
    NV_ON_VIEW(3, SourceChanged, ICoreWebView2SourceChangedEventHandler, DoSourceChanged(Args));
    NV_ON_VIEW(4, HistoryChanged, ICoreWebView2HistoryChangedEventHandler, DoHistoryChanged());
    NV_ON_VIEW(5, ContentLoading, ICoreWebView2ContentLoadingEventHandler, DoContentLoading(Args));
    NV_ON_VIEW(6, DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler,
               DoDocumentTitleChanged());
    NV_ON_VIEW(7, NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler,
               DoNewWindowRequested(Args));
    NV_ON_VIEW(8, FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler,
               DoFrameNavigationStarting(Args));
    NV_ON_VIEW(9, FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler,
               DoFrameNavigationCompleted(Args));
    NV_ON_VIEW(10, WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler,
               DoWebResourceRequested(Args));
    NV_ON_VIEW(11, ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler,
               DoScriptDialogOpening(Args));
    NV_ON_VIEW(12, PermissionRequested, ICoreWebView2PermissionRequestedEventHandler,
               DoPermissionRequested(Args));
    NV_ON_VIEW(13, ProcessFailed, ICoreWebView2ProcessFailedEventHandler, DoProcessFailed(Args));
    NV_ON_VIEW(14, WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler,
               DoWebMessageReceived(Args));
    NV_ON_VIEW(16, ContainsFullScreenElementChanged,
               ICoreWebView2ContainsFullScreenElementChangedEventHandler,
               DoContainsFullScreenElementChanged(Sender));
    NV_ON_VIEW(15, WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler,
               DoWindowCloseRequested());
    NV_ON_CONTROLLER(5, ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler, DoZoomFactorChanged());
    NV_ON_CONTROLLER(4, MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler,
                     DoMoveFocusRequested(Args));
    NV_ON_CONTROLLER(1, AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler,
                     DoAcceleratorKeyPressed(Args));
    NV_ON_CONTROLLER(2, GotFocus, ICoreWebView2FocusChangedEventHandler, DoGotFocus());
    NV_ON_CONTROLLER(3, LostFocus, ICoreWebView2FocusChangedEventHandler, DoLostFocus());
    // Drops are the engine's addition to the view's interfaces, asked for
    // apart from them; an engine without it reports none.
    TComPtr<ICoreWebView2FileDrop> drop;
    if (FWebView.As(drop) >= 0 && drop)
        Subscribe(drop.Get(), &ICoreWebView2FileDrop::add_FilesDropped,
                  &ICoreWebView2FileDrop::remove_FilesDropped,
                  MakeHandler<ICoreWebView2FilesDroppedEventHandler>(
                      life, [](C& Self, ICoreWebView2*, auto* Args) { return Self.DoFilesDropped(Args); }),
                  17, FViewRemovers);
#undef NV_ON_CONTROLLER
#undef NV_ON_VIEW
#undef NV_SUBSCRIBE
}

void TCustomEdgeBrowser::RemoveViewHandlers() {
    RemoveAll(FViewRemovers);
}

void TCustomEdgeBrowser::RemoveControllerHandlers() {
    RemoveAll(FControllerRemovers);
}

// ---------------------------------------------------------------------------
// Closing
// ---------------------------------------------------------------------------

void TCustomEdgeBrowser::CloseWebView() {
    if (FWebView) {
        RemoveViewHandlers();
        for (const auto& [name, token] : FDevToolsProtocolEventReceivedTokenMap) {
            TComPtr<ICoreWebView2DevToolsProtocolEventReceiver> receiver;
            if (RecordHResult(FWebView->GetDevToolsProtocolEventReceiver(name.c_str(), receiver.Put())) &&
                receiver)
                receiver->remove_DevToolsProtocolEventReceived(token);
        }
        FDevToolsProtocolEventReceivedTokenMap.clear();
        FWebView = nullptr;
    }
    // Registrations are made on one controller and its view together.
    FViewRemovers.clear();
    if (FWebViewController) {
        RemoveControllerHandlers();
        FWebViewController->Close();
        FWebViewController = nullptr;
    }
    FControllerRemovers.clear();
}

void TCustomEdgeBrowser::CloseBrowserProcess() {
    const std::uint32_t processId = BrowserProcessID();
    CloseWebView();
    // Never our own process, whatever the engine reports.
    if (processId == 0 || static_cast<std::int64_t>(processId) == Platform::CurrentProcessId())
        return;
    if (auto process = Platform::OpenProcess(processId)) {
        // The engine ends the content process of a closed view from the loop,
        // which goes on meanwhile; what still runs after two seconds is ended.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!process->WaitForExit(10) && std::chrono::steady_clock::now() < deadline)
            Ui::Application().ProcessMessages();
        if (!process->WaitForExit(0))
            process->Terminate(1);
    }
}

void TCustomEdgeBrowser::CreateWnd() {
    Ui::TWinControl::CreateWnd();
    if (!FWebView)
        return;
    // The view lives in the native container behind Handle(). When the
    // toolkit re-creates the window but keeps that container, the view is
    // still in place; it is rebuilt only when the controller's parent window
    // is no longer the control's handle.
    void* parent = nullptr;
    const HRESULT hr = FWebViewController ? FWebViewController->get_ParentWindow(&parent) : E_FAIL;
    if (!RecordHResult(hr) || parent != Handle())
        ReinitializeWebView();
}

// ---------------------------------------------------------------------------
// Navigation, scripting and capture
// ---------------------------------------------------------------------------

bool TCustomEdgeBrowser::Navigate(const std::string& AUrl) {
    if (!FWebView) {
        if (TrimControlAndBlank(AUrl).empty())
            return false;
        FLastURL = AUrl;
        return true;
    }
    return RecordHResult(FWebView->Navigate(AUrl.c_str()));
}

bool TCustomEdgeBrowser::NavigateToString(const std::string& AHTMLContent) {
    if (!FWebView)
        return false;
    return RecordHResult(FWebView->NavigateToString(AHTMLContent.c_str()));
}

void TCustomEdgeBrowser::GoBack() {
    if (FWebView)
        RecordHResult(FWebView->GoBack());
}

void TCustomEdgeBrowser::GoForward() {
    if (FWebView)
        RecordHResult(FWebView->GoForward());
}

void TCustomEdgeBrowser::Refresh() {
    if (FWebView)
        RecordHResult(FWebView->Reload());
}

void TCustomEdgeBrowser::Stop() {
    if (FWebView)
        RecordHResult(FWebView->Stop());
}

void TCustomEdgeBrowser::ExecuteScript(const std::string& JavaScript) {
    if (!FWebView)
        return;
    auto handler = Callback<ICoreWebView2ExecuteScriptCompletedHandler>(
        [Life = FLifeline](HRESULT ErrorCode, const char* ResultObjectAsJson) -> HRESULT {
            return Deliver(Life, [&](TCustomEdgeBrowser& Control) {
                if (auto event = Control.OnExecuteScript)
                    event(&Control, ErrorCode, ResultObjectAsJson ? ResultObjectAsJson : "");
                return S_OK;
            });
        });
    // The call's own result is not recorded: the completion carries the outcome.
    FWebView->ExecuteScript(JavaScript.c_str(), handler.Get());
}

void TCustomEdgeBrowser::AddWebResourceRequestedFilter(const std::string& URL, TOleEnum ResourceContext) {
    if (FWebView)
        RecordHResult(FWebView->AddWebResourceRequestedFilter(
            URL.c_str(), static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(ResourceContext)));
}

void TCustomEdgeBrowser::RemoveWebResourceRequestedFilter(const std::string& URL, TOleEnum ResourceContext) {
    if (FWebView)
        RecordHResult(FWebView->RemoveWebResourceRequestedFilter(
            URL.c_str(), static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(ResourceContext)));
}

void TCustomEdgeBrowser::CapturePreview(const std::string& AFilename, TPreviewFormat PreviewFormat) {
    if (!FWebView)
        return;
    TComPtr<IStream> stream;
    if (!RecordHResult(TComFileStream::Open(AFilename, STGM_CREATE | STGM_READWRITE, stream.Put())))
        return;
    CapturePreviewTo(stream.Get(), PreviewFormat);
    // Our reference goes here; the engine keeps its own while it writes.
}

void TCustomEdgeBrowser::CapturePreview(TStream& Stream, TPreviewFormat PreviewFormat) {
    if (!FWebView)
        return;
    auto adapter = MakeComObject<TStreamAdapter>(Stream);
    adapter->Seek(0, STREAM_SEEK_SET, nullptr);
    CapturePreviewTo(adapter.Get(), PreviewFormat);
}

void TCustomEdgeBrowser::CapturePreviewTo(IStream* Stream, TPreviewFormat PreviewFormat) {
    auto handler = Callback<ICoreWebView2CapturePreviewCompletedHandler>(
        [Life = FLifeline](HRESULT ErrorCode) -> HRESULT {
            return Deliver(Life, [&](TCustomEdgeBrowser& Control) {
                if (auto event = Control.OnCapturePreviewCompleted)
                    event(&Control, ErrorCode);
                return S_OK;
            });
        });
    const auto format = PreviewFormat == TPreviewFormat::JPEG ? COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG
                                                              : COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG;
    RecordHResult(FWebView->CapturePreview(format, Stream, handler.Get()));
}

void TCustomEdgeBrowser::SubscribeToCDPEvent(const std::string& CDPEventName) {
    if (!FWebView)
        return;
    TComPtr<ICoreWebView2DevToolsProtocolEventReceiver> receiver;
    if (!RecordHResult(FWebView->GetDevToolsProtocolEventReceiver(CDPEventName.c_str(), receiver.Put())))
        return;
    if (!receiver)
        return;
    auto known = FDevToolsProtocolEventReceivedTokenMap.find(CDPEventName);
    if (known != FDevToolsProtocolEventReceivedTokenMap.end())
        receiver->remove_DevToolsProtocolEventReceived(known->second);
    auto handler = Callback<ICoreWebView2DevToolsProtocolEventReceivedEventHandler>(
        [Life = FLifeline,
         CDPEventName](ICoreWebView2*, ICoreWebView2DevToolsProtocolEventReceivedEventArgs* Args) -> HRESULT {
            return Deliver(Life, [&](TCustomEdgeBrowser& Control) {
                auto event = Control.OnDevToolsProtocolEventReceived;
                if (!event)
                    return S_OK;
                char* json = nullptr;
                if (Args)
                    Args->get_ParameterObjectAsJson(&json);
                const std::string parameters = TakeText(json);
                event(&Control, CDPEventName, parameters);
                return S_OK;
            });
        });
    EventRegistrationToken token{};
    if (RecordHResult(receiver->add_DevToolsProtocolEventReceived(handler.Get(), &token)))
        FDevToolsProtocolEventReceivedTokenMap[CDPEventName] = token;
    else
        FDevToolsProtocolEventReceivedTokenMap.erase(CDPEventName); // the earlier one is gone
}

bool TCustomEdgeBrowser::CanGoBack() {
    if (!FWebView)
        return false;
    BOOL value = FALSE_VALUE;
    return RecordHResult(FWebView->get_CanGoBack(&value)) && value != 0;
}

bool TCustomEdgeBrowser::CanGoForward() {
    if (!FWebView)
        return false;
    BOOL value = FALSE_VALUE;
    return RecordHResult(FWebView->get_CanGoForward(&value)) && value != 0;
}

std::string TCustomEdgeBrowser::DocumentTitle() {
    if (!FWebView)
        return {};
    char* title = nullptr;
    const bool ok = RecordHResult(FWebView->get_DocumentTitle(&title));
    std::string text = TakeText(title);
    return ok ? text : std::string();
}

std::string TCustomEdgeBrowser::LocationURL() {
    if (!FWebView)
        return {};
    char* source = nullptr;
    const bool ok = RecordHResult(FWebView->get_Source(&source));
    std::string text = TakeText(source);
    if (!ok || Platform::Text::EqualsNoCase(text, "about:blank"))
        return {};
    return text;
}

std::uint32_t TCustomEdgeBrowser::BrowserProcessID() {
    if (!FWebView)
        return 0;
    UINT32 value = 0;
    return RecordHResult(FWebView->get_BrowserProcessId(&value)) ? value : 0;
}

std::string TCustomEdgeBrowser::BrowserVersionInfo() {
    char* version = nullptr;
    HRESULT hr;
    if (FWebView && FWebViewEnvironment)
        hr = FWebViewEnvironment->get_BrowserVersionString(&version);
    else
        hr = EngineLoader::BrowserVersion(&version);
    const bool ok = RecordHResult(hr);
    std::string text = TakeText(version);
    return ok ? text : std::string();
}

bool TCustomEdgeBrowser::ContainsFullScreenElement() {
    if (!FWebView)
        return false;
    BOOL value = FALSE_VALUE;
    return RecordHResult(FWebView->get_ContainsFullScreenElement(&value)) && value != 0;
}

double TCustomEdgeBrowser::ZoomFactor() {
    if (!FWebViewController)
        return 0.0;
    double value = 0.0;
    return RecordHResult(FWebViewController->get_ZoomFactor(&value)) ? value : 0.0;
}

void TCustomEdgeBrowser::SetZoomFactor(double Value) {
    if (FWebViewController)
        RecordHResult(FWebViewController->put_ZoomFactor(Value));
}

// ---------------------------------------------------------------------------
// Hosting: size, visibility, focus
// ---------------------------------------------------------------------------

void TCustomEdgeBrowser::Resize() {
    Ui::TWinControl::Resize();
    if (!FWebViewController)
        return;
    RECT bounds{0, 0, ClientWidth(), ClientHeight()};
    bounds.bottom = ScaleEdge(bounds.top, bounds.bottom - bounds.top, FSizeRatio);
    bounds.right = ScaleEdge(bounds.left, bounds.right - bounds.left, FSizeRatio);
    RecordHResult(FWebViewController->put_Bounds(bounds));
}

void TCustomEdgeBrowser::SetSizeRatio(double Value) {
    FSizeRatio = Value;
    Resize();
}

void TCustomEdgeBrowser::CMVisibleChanged() {
    Ui::TWinControl::VisibleChanged();
    if (FWebViewController)
        RecordHResult(FWebViewController->put_IsVisible(ToBool(Visible())));
}

void TCustomEdgeBrowser::WMSysCommand(unsigned Command) {
    if (!FWebViewController)
        return;
    if (Command == Ui::SC_MINIMIZE)
        RecordHResult(FWebViewController->put_IsVisible(ToBool(false)));
    else if (Command == Ui::SC_RESTORE)
        RecordHResult(FWebViewController->put_IsVisible(ToBool(true)));
}

void TCustomEdgeBrowser::SetFocus() {
    Ui::TWinControl::SetFocus();
    if (FWebViewController)
        RecordHResult(FWebViewController->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
}

void TCustomEdgeBrowser::DoEnter() {
    Ui::TWinControl::DoEnter();
    if (!FWebViewFocusEventActive && FWebViewController)
        RecordHResult(FWebViewController->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
}

HRESULT TCustomEdgeBrowser::DoGotFocus() {
    // Raises OnEnter without pushing the focus back into the browser.
    FWebViewFocusEventActive = true;
    try {
        DoEnter();
    } catch (...) {
        FWebViewFocusEventActive = false;
        throw;
    }
    FWebViewFocusEventActive = false;
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoLostFocus() {
    DoExit();
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoMoveFocusRequested(ICoreWebView2MoveFocusRequestedEventArgs* Args) {
    COREWEBVIEW2_MOVE_FOCUS_REASON reason = COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
    if (!RecordHResult(Args->get_Reason(&reason)))
        return S_OK;
    if (reason != COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT && reason != COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS)
        return S_OK;
    // Tabbing out of the page moves on in the tab order of the containing
    // form (the browser control has no children of its own to move to).
    if (Ui::TCustomForm* form = GetParentForm())
        form->SelectNext(this, reason == COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT, true);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoAcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventArgs* Args) {
    COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    UINT32 virtualKey = 0;
    std::int32_t keyData = 0;
    if (!RecordHResult(Args->get_KeyEventKind(&kind)) || !RecordHResult(Args->get_VirtualKey(&virtualKey)) ||
        !RecordHResult(Args->get_KeyEventLParam(&keyData)))
        return S_OK;
    Ui::TCustomForm* form = GetParentForm();
    if (!form)
        return S_OK;
    Ui::TWMKey message;
    switch (kind) {
    case COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN:
        message.Msg = Ui::WM_KEYDOWN;
        break;
    case COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP:
        message.Msg = Ui::WM_KEYUP;
        break;
    case COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN:
        message.Msg = Ui::WM_SYSKEYDOWN;
        break;
    case COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP:
        message.Msg = Ui::WM_SYSKEYUP;
        break;
    default:
        return S_OK;
    }
    message.CharCode = static_cast<std::uint16_t>(virtualKey);
    message.KeyData = keyData;
    if (form->IsShortCut(message))
        Args->put_Handled(TRUE_VALUE);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

bool TCustomEdgeBrowser::GetSetting(TSettingGetter Getter) {
    if (FWebViewSettings) {
        BOOL value = FALSE_VALUE;
        if (RecordHResult((FWebViewSettings.Get()->*Getter)(&value)))
            return value != 0;
    }
    throw EEdgeError::CreateRes(SWebViewNotInstantiated, E_FAIL);
}

void TCustomEdgeBrowser::SetSetting(TSettingSetter Setter, bool Value) {
    if (!FWebViewSettings)
        throw EEdgeError::CreateRes(SWebViewNotInstantiated, E_FAIL);
    RecordHResult((FWebViewSettings.Get()->*Setter)(ToBool(Value)));
}

bool TCustomEdgeBrowser::ScriptEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_IsScriptEnabled);
}
void TCustomEdgeBrowser::SetScriptEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_IsScriptEnabled, Value);
}
bool TCustomEdgeBrowser::WebMessageEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_IsWebMessageEnabled);
}
void TCustomEdgeBrowser::SetWebMessageEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_IsWebMessageEnabled, Value);
}
bool TCustomEdgeBrowser::DefaultScriptDialogsEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_AreDefaultScriptDialogsEnabled);
}
void TCustomEdgeBrowser::SetDefaultScriptDialogsEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_AreDefaultScriptDialogsEnabled, Value);
}
bool TCustomEdgeBrowser::StatusBarEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_IsStatusBarEnabled);
}
void TCustomEdgeBrowser::SetStatusBarEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_IsStatusBarEnabled, Value);
}
bool TCustomEdgeBrowser::DevToolsEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_AreDevToolsEnabled);
}
void TCustomEdgeBrowser::SetDevToolsEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_AreDevToolsEnabled, Value);
}
bool TCustomEdgeBrowser::DefaultContextMenusEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_AreDefaultContextMenusEnabled);
}
void TCustomEdgeBrowser::SetDefaultContextMenusEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_AreDefaultContextMenusEnabled, Value);
}
bool TCustomEdgeBrowser::ZoomControlEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_IsZoomControlEnabled);
}
void TCustomEdgeBrowser::SetZoomControlEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_IsZoomControlEnabled, Value);
}
bool TCustomEdgeBrowser::BuiltInErrorPageEnabled() {
    return GetSetting(&ICoreWebView2Settings::get_IsBuiltInErrorPageEnabled);
}
void TCustomEdgeBrowser::SetBuiltInErrorPageEnabled(bool Value) {
    SetSetting(&ICoreWebView2Settings::put_IsBuiltInErrorPageEnabled, Value);
}

// ---------------------------------------------------------------------------
// Notifications
// ---------------------------------------------------------------------------
//
// Each handler returns at once when its event is unassigned, reads what the
// event carries, and raises it. Argument objects live on the stack, so they
// are freed also when the handler raises. Nothing of the control is touched
// after the event: its handler may have freed the control.

namespace {

// Raises Event (a copy: its handler may free the control) with a wrapper of
// the engine's arguments that lives on the stack.
template <class TArgs, class TEvent, class TEngineArgs>
HRESULT RaiseWrapped(TCustomEdgeBrowser* Sender, TEvent Event, TEngineArgs* Args) {
    if (Event) {
        TArgs args(Args);
        Event(Sender, &args);
    }
    return S_OK;
}

HRESULT RaiseNavigationCompleted(TCustomEdgeBrowser* Sender, TNavigationCompletedEvent Event,
                                 ICoreWebView2NavigationCompletedEventArgs* Args) {
    if (!Event)
        return S_OK;
    BOOL isSuccess = FALSE_VALUE;
    COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    Args->get_IsSuccess(&isSuccess);
    Args->get_WebErrorStatus(&status);
    Event(Sender, isSuccess != 0, static_cast<TOleEnum>(status));
    return S_OK;
}

} // namespace

HRESULT TCustomEdgeBrowser::DoNavigationStarting(ICoreWebView2NavigationStartingEventArgs* Args) {
    return RaiseWrapped<TNavigationStartingEventArgs>(this, OnNavigationStarting, Args);
}

HRESULT TCustomEdgeBrowser::DoFrameNavigationStarting(ICoreWebView2NavigationStartingEventArgs* Args) {
    return RaiseWrapped<TNavigationStartingEventArgs>(this, OnFrameNavigationStarting, Args);
}

HRESULT TCustomEdgeBrowser::DoNavigationCompleted(ICoreWebView2NavigationCompletedEventArgs* Args) {
    return RaiseNavigationCompleted(this, OnNavigationCompleted, Args);
}

HRESULT TCustomEdgeBrowser::DoFrameNavigationCompleted(ICoreWebView2NavigationCompletedEventArgs* Args) {
    return RaiseNavigationCompleted(this, OnFrameNavigationCompleted, Args);
}

HRESULT TCustomEdgeBrowser::DoSourceChanged(ICoreWebView2SourceChangedEventArgs* Args) {
    auto event = OnSourceChanged;
    if (!event)
        return S_OK;
    BOOL isNewDocument = FALSE_VALUE;
    Args->get_IsNewDocument(&isNewDocument);
    event(this, isNewDocument != 0);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoHistoryChanged() {
    if (auto event = OnHistoryChanged)
        event(this);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoContentLoading(ICoreWebView2ContentLoadingEventArgs* Args) {
    auto event = OnContentLoading;
    if (!event)
        return S_OK;
    BOOL isErrorPage = FALSE_VALUE;
    UINT64 navigationId = 0;
    Args->get_IsErrorPage(&isErrorPage);
    Args->get_NavigationId(&navigationId);
    event(this, isErrorPage != 0, navigationId);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoDocumentTitleChanged() {
    auto event = OnDocumentTitleChanged;
    if (!event)
        return S_OK;
    const std::string title = DocumentTitle();
    event(this, title);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoNewWindowRequested(ICoreWebView2NewWindowRequestedEventArgs* Args) {
    return RaiseWrapped<TNewWindowRequestedEventArgs>(this, OnNewWindowRequested, Args);
}

HRESULT TCustomEdgeBrowser::DoWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* Args) {
    return RaiseWrapped<TWebResourceRequestedEventArgs>(this, OnWebResourceRequested, Args);
}

HRESULT TCustomEdgeBrowser::DoScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventArgs* Args) {
    return RaiseWrapped<TScriptDialogOpeningEventArgs>(this, OnScriptDialogOpening, Args);
}

HRESULT TCustomEdgeBrowser::DoPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* Args) {
    return RaiseWrapped<TPermissionRequestedEventArgs>(this, OnPermissionRequested, Args);
}

HRESULT TCustomEdgeBrowser::DoProcessFailed(ICoreWebView2ProcessFailedEventArgs* Args) {
    auto event = OnProcessFailed;
    if (!event)
        return S_OK;
    COREWEBVIEW2_PROCESS_FAILED_KIND kind = COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED;
    Args->get_ProcessFailedKind(&kind);
    event(this, static_cast<TOleEnum>(kind));
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* Args) {
    return RaiseWrapped<TWebMessageReceivedEventArgs>(this, OnWebMessageReceived, Args);
}

HRESULT TCustomEdgeBrowser::DoFilesDropped(ICoreWebView2FilesDroppedEventArgs* Args) {
    auto event = OnFilesDropped;
    UINT32 count = 0;
    if (!event || !Args || !RecordHResult(Args->get_Count(&count)))
        return S_OK;
    std::vector<std::string> paths;
    for (UINT32 index = 0; index < count; ++index) {
        char* path = nullptr;
        if (Args->GetPathAtIndex(index, &path) >= 0)
            paths.push_back(TakeEngineText(path));
    }
    if (!paths.empty())
        event(this, paths);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoContainsFullScreenElementChanged(ICoreWebView2* Sender) {
    auto event = OnContainsFullScreenElementChanged;
    if (!event)
        return S_OK;
    ICoreWebView2* view = Sender ? Sender : FWebView.Get();
    if (!view)
        return S_OK;
    BOOL value = FALSE_VALUE;
    if (RecordHResult(view->get_ContainsFullScreenElement(&value)))
        event(this, value != 0);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoWindowCloseRequested() {
    if (auto event = OnWindowCloseRequested)
        event(this);
    return S_OK;
}

HRESULT TCustomEdgeBrowser::DoZoomFactorChanged() {
    auto event = OnZoomFactorChanged;
    if (!event)
        return S_OK;
    const double zoom = ZoomFactor();
    event(this, zoom);
    return S_OK;
}

std::string TakeEngineText(char* Text) {
    return TakeText(Text);
}

} // namespace Norvane::Shared
