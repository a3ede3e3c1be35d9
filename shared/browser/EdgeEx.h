// The browser control: a windowed control that hosts a browser view of the
// engine library (the loader library found at WebView2LoaderPath). It loads
// the library itself, creates the environment and the controller
// asynchronously (the environment on a short-lived worker thread, everything
// after it on the user-interface thread), keeps the view sized, shown and
// focused with its host window, exposes the view's settings as properties and
// turns the engine's notifications into events.
//
// Every engine call the control makes is recorded in LastErrorCode; nothing is
// raised except EEdgeError for settings used before creation and for a failed
// creation without an OnCreateWebViewCompleted handler.
#pragma once

#include "platform/ui/Controls.h"
#include "shared/Streams.h"
#include "shared/browser/EngineLoader.h"
#include "webview2/WebView2.h"
#include "webview2/WebView2Com.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Norvane::Shared {

using HRESULT = WebView2::HRESULT;
// An enumeration value of the engine (32 bits).
using TOleEnum = std::uint32_t;
using TUInt64 = std::uint64_t;

// The loader library's path, WebView2LoaderPath, is declared with the loader
// in EngineLoader.h: empty at start, set by the start-up before the first
// control is created, cleared when the program ends.

// Copies a text that an engine call returned (a `char**` result) and frees
// the engine's copy; a null text gives the empty text.
std::string TakeEngineText(char* Text);

// An error that carries an HRESULT.
class EOleSysError : public std::runtime_error {
public:
    EOleSysError(const std::string& Message, HRESULT ErrorCode)
        : std::runtime_error(Message), FErrorCode(ErrorCode) {}
    HRESULT ErrorCode() const { return FErrorCode; }

private:
    HRESULT FErrorCode;
};

// A message of the module's string resources.
struct TResStringRec {
    const char* Text;
};
std::string LoadResString(const TResStringRec& Res);

// "Failed to create Edge browser control"
extern const TResStringRec SEdgeBrowserCreateFailed;
// "WebView2 not instantiated"
extern const TResStringRec SWebViewNotInstantiated;

class EEdgeError : public EOleSysError {
public:
    // Create(Message, ErrorCode)
    EEdgeError(const std::string& Message, HRESULT ErrorCode) : EOleSysError(Message, ErrorCode) {}
    // CreateRes(ResStringRec, ErrorCode)
    EEdgeError(const TResStringRec& Res, HRESULT ErrorCode) : EOleSysError(LoadResString(Res), ErrorCode) {}
    static EEdgeError CreateRes(const TResStringRec& Res, HRESULT ErrorCode) {
        return EEdgeError(Res, ErrorCode);
    }
};

// Event arguments: each holds the engine's arguments interface for the time
// of one handler call. The control creates the object just before it calls the
// handler and frees it right after (also when the handler raises); a handler
// answers the engine through ArgsInterface.
template <class I> class TEdgeEventArgs {
public:
    explicit TEdgeEventArgs(I* Args) : FArgsInterface(Args) {}
    TEdgeEventArgs(const TEdgeEventArgs&) = delete;
    TEdgeEventArgs& operator=(const TEdgeEventArgs&) = delete;
    I* ArgsInterface() const { return FArgsInterface.Get(); }

private:
    WebView2::TComPtr<I> FArgsInterface;
};

class TNavigationStartingEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2NavigationStartingEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};
class TNewWindowRequestedEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2NewWindowRequestedEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};
class TPermissionRequestedEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2PermissionRequestedEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};
class TScriptDialogOpeningEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2ScriptDialogOpeningEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};
class TWebMessageReceivedEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2WebMessageReceivedEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};
class TWebResourceRequestedEventArgs
    : public TEdgeEventArgs<WebView2::ICoreWebView2WebResourceRequestedEventArgs> {
    using TEdgeEventArgs::TEdgeEventArgs;
};

class TCustomEdgeBrowser;

// Event types; Sender is always the control.
using TWebViewStatusEvent = std::function<void(TCustomEdgeBrowser* Sender, HRESULT AResult)>;
using TContainsFullScreenElementChangedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, bool ContainsFullScreenElement)>;
using TContentLoadingEvent =
    std::function<void(TCustomEdgeBrowser* Sender, bool IsErrorPage, TUInt64 NavigationID)>;
using TDevToolsProtocolEventReceivedEvent = std::function<void(
    TCustomEdgeBrowser* Sender, const std::string& CDPEventName, const std::string& AParameterObjectAsJson)>;
using TDocumentTitleChangedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, const std::string& ADocumentTitle)>;
// The local paths of files the user dropped on the view, in the drop's order.
using TFilesDroppedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, const std::vector<std::string>& Paths)>;
using TExecuteScriptEvent =
    std::function<void(TCustomEdgeBrowser* Sender, HRESULT AResult, const std::string& AResultObjectAsJson)>;
using THistoryChangedEvent = std::function<void(TCustomEdgeBrowser* Sender)>;
using TNavigationStartingEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TNavigationStartingEventArgs* Args)>;
using TNavigationCompletedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, bool IsSuccess, TOleEnum WebErrorStatus)>;
using TNewWindowRequestedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TNewWindowRequestedEventArgs* Args)>;
using TPermissionRequestedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TPermissionRequestedEventArgs* Args)>;
using TProcessFailedEvent = std::function<void(TCustomEdgeBrowser* Sender, TOleEnum ProcessFailedKind)>;
using TScriptDialogOpeningEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TScriptDialogOpeningEventArgs* Args)>;
using TSourceChangedEvent = std::function<void(TCustomEdgeBrowser* Sender, bool IsNewDocument)>;
using TWebMessageReceivedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TWebMessageReceivedEventArgs* Args)>;
using TWebResourceRequestedEvent =
    std::function<void(TCustomEdgeBrowser* Sender, TWebResourceRequestedEventArgs* Args)>;
using TZoomFactorChangedEvent = std::function<void(TCustomEdgeBrowser* Sender, double AZoomFactor)>;
using TNotifyEvent = Platform::Ui::TNotifyEvent;

class TCustomEdgeBrowser : public Platform::Ui::TWinControl {
public:
    enum class TBrowserControlState : std::uint8_t { None = 0, Creating = 1, Created = 2, Failed = 3 };
    enum class TPreviewFormat : std::uint8_t { PNG = 0, JPEG = 1 };

    explicit TCustomEdgeBrowser(Platform::Ui::TComponent* AOwner = nullptr);
    ~TCustomEdgeBrowser() override;

    // Giving the control a parent starts the browser (CreateWebView).
    void SetParent(Platform::Ui::TWinControl* AParent) override;
    // Focuses the control, then moves the focus into the browser.
    void SetFocus() override;

    // --- lifecycle ---
    // Starts the asynchronous creation unless a view exists or one is being created.
    void CreateWebView();
    // Removes every registration and releases the view and the controller.
    void CloseWebView();
    // CloseWebView, then ends the browser process (waits up to 2 s for it).
    void CloseBrowserProcess();
    // Builds a new environment, controller and view at once, on the calling thread.
    void ReinitializeWebView();
    void ReinitializeWebViewWithNewBrowser();

    TBrowserControlState BrowserControlState() const { return FBrowserControlState; }
    // True when environment, controller, view and settings are all assigned.
    bool WebViewCreated() const;
    HRESULT LastErrorCode() const;
    // The raw engine objects, for the calls the control does not wrap.
    WebView2::ICoreWebView2* DefaultInterface() const { return FWebView.Get(); }
    WebView2::ICoreWebView2Controller* ControllerInterface() const { return FWebViewController.Get(); }
    WebView2::ICoreWebView2Environment* EnvironmentInterface() const { return FWebViewEnvironment.Get(); }
    WebView2::ICoreWebView2Settings* SettingsInterface() const { return FWebViewSettings.Get(); }

    // --- navigation, scripting and capture ---
    // Without a view the address is remembered in LastURL (unless it is blank)
    // and opened once the view exists. True when the view took the address or
    // it was remembered.
    bool Navigate(const std::string& AUrl);
    // True when the view took the content; false without a view.
    bool NavigateToString(const std::string& AHTMLContent);
    void GoBack();
    void GoForward();
    void Refresh();
    void Stop();
    // Runs a script in the page; OnExecuteScript reports its result as JSON.
    void ExecuteScript(const std::string& JavaScript);
    void AddWebResourceRequestedFilter(const std::string& URL, TOleEnum ResourceContext);
    void RemoveWebResourceRequestedFilter(const std::string& URL, TOleEnum ResourceContext);
    // Writes an image of the page into a file (created or truncated) or into a
    // stream from its start; OnCapturePreviewCompleted follows. Nothing
    // happens without a view. The caller keeps Stream alive until the event.
    void CapturePreview(const std::string& AFilename, TPreviewFormat PreviewFormat = TPreviewFormat::PNG);
    void CapturePreview(TStream& Stream, TPreviewFormat PreviewFormat = TPreviewFormat::PNG);
    // Raises OnDevToolsProtocolEventReceived for each DevTools protocol event of that name.
    void SubscribeToCDPEvent(const std::string& CDPEventName);

    bool CanGoBack();
    bool CanGoForward();
    std::string DocumentTitle();
    // The current address; empty without a view and for "about:blank".
    std::string LocationURL();
    std::uint32_t BrowserProcessID();
    // The engine's version; works before creation through the loader library.
    std::string BrowserVersionInfo();
    bool ContainsFullScreenElement();
    // 1.0 is the normal size; 0 without a controller.
    double ZoomFactor();
    void SetZoomFactor(double Value);
    const std::string& LastURL() const { return FLastURL; }
    void SetLastURL(const std::string& Value) { FLastURL = Value; }

    // --- hosting and settings ---
    // Share of the client area given to the view (from the top-left corner).
    double SizeRatio() const { return FSizeRatio; }
    void SetSizeRatio(double Value);
    // The view's settings; each raises EEdgeError "WebView2 not instantiated"
    // (E_FAIL) before creation has succeeded, and a getter also when the read
    // fails.
    bool ScriptEnabled();
    void SetScriptEnabled(bool Value);
    bool WebMessageEnabled();
    void SetWebMessageEnabled(bool Value);
    bool DefaultScriptDialogsEnabled();
    void SetDefaultScriptDialogsEnabled(bool Value);
    bool StatusBarEnabled();
    void SetStatusBarEnabled(bool Value);
    bool DevToolsEnabled();
    void SetDevToolsEnabled(bool Value);
    bool DefaultContextMenusEnabled();
    void SetDefaultContextMenusEnabled(bool Value);
    bool ZoomControlEnabled();
    void SetZoomControlEnabled(bool Value);
    bool BuiltInErrorPageEnabled();
    void SetBuiltInErrorPageEnabled(bool Value);

    // A window command of the containing window (minimize hides the view,
    // restore shows it again).
    void SysCommand(unsigned Command) override { WMSysCommand(Command); }

    // --- events, tested when the notification arrives ---
    TWebViewStatusEvent OnCapturePreviewCompleted;
    TContainsFullScreenElementChangedEvent OnContainsFullScreenElementChanged;
    TContentLoadingEvent OnContentLoading;
    TWebViewStatusEvent OnCreateWebViewCompleted;
    TDevToolsProtocolEventReceivedEvent OnDevToolsProtocolEventReceived;
    TDocumentTitleChangedEvent OnDocumentTitleChanged;
    TExecuteScriptEvent OnExecuteScript;
    // Raised where the engine reports drops (ICoreWebView2FileDrop).
    TFilesDroppedEvent OnFilesDropped;
    TNavigationStartingEvent OnFrameNavigationStarting;
    TNavigationCompletedEvent OnFrameNavigationCompleted;
    THistoryChangedEvent OnHistoryChanged;
    TNavigationStartingEvent OnNavigationStarting;
    TNavigationCompletedEvent OnNavigationCompleted;
    TNewWindowRequestedEvent OnNewWindowRequested;
    TPermissionRequestedEvent OnPermissionRequested;
    TProcessFailedEvent OnProcessFailed;
    TScriptDialogOpeningEvent OnScriptDialogOpening;
    TSourceChangedEvent OnSourceChanged;
    TWebMessageReceivedEvent OnWebMessageReceived;
    TWebResourceRequestedEvent OnWebResourceRequested;
    TNotifyEvent OnWindowCloseRequested;
    TZoomFactorChangedEvent OnZoomFactorChanged;

protected:
    // The native window was created (again): a view made for another window is rebuilt.
    void CreateWnd() override;
    // Raises OnEnter, then moves the focus into the browser.
    void DoEnter() override;
    // Fits the view to the client area, scaled by SizeRatio.
    void Resize() override;
    void VisibleChanged() override { CMVisibleChanged(); }

    void CMVisibleChanged();
    void WMSysCommand(unsigned Command);

private:
    struct TLifeline;
    using TSettingGetter = WebView2::HRESULT (NV_STDCALL WebView2::ICoreWebView2Settings::*)(WebView2::BOOL*);
    using TSettingSetter = WebView2::HRESULT (NV_STDCALL WebView2::ICoreWebView2Settings::*)(WebView2::BOOL);

    bool RecordHResult(HRESULT hr);
    // MayLoad: whether the loader library may be loaded on this thread.
    void InitializeWebView(bool MayLoad);
    HRESULT CreateEnvironmentCompleted(HRESULT AResult, WebView2::ICoreWebView2Environment* AEnvironment);
    void CreateController();
    HRESULT CreateCoreWebView2ControllerCompleted(HRESULT AResult,
                                                  WebView2::ICoreWebView2Controller* AController);
    void FailCreation();
    void RaiseCreateWebViewCompleted(HRESULT AResult);
    void AddNotificationHandlers();
    void RemoveViewHandlers();
    void RemoveControllerHandlers();
    bool GetSetting(TSettingGetter Getter);
    void SetSetting(TSettingSetter Setter, bool Value);
    void CapturePreviewTo(WebView2::IStream* Stream, TPreviewFormat PreviewFormat);

    // Notification handlers (UI thread).
    HRESULT DoNavigationStarting(WebView2::ICoreWebView2NavigationStartingEventArgs* Args);
    HRESULT DoNavigationCompleted(WebView2::ICoreWebView2NavigationCompletedEventArgs* Args);
    HRESULT DoSourceChanged(WebView2::ICoreWebView2SourceChangedEventArgs* Args);
    HRESULT DoHistoryChanged();
    HRESULT DoContentLoading(WebView2::ICoreWebView2ContentLoadingEventArgs* Args);
    HRESULT DoDocumentTitleChanged();
    HRESULT DoNewWindowRequested(WebView2::ICoreWebView2NewWindowRequestedEventArgs* Args);
    HRESULT DoFrameNavigationStarting(WebView2::ICoreWebView2NavigationStartingEventArgs* Args);
    HRESULT DoFrameNavigationCompleted(WebView2::ICoreWebView2NavigationCompletedEventArgs* Args);
    HRESULT DoWebResourceRequested(WebView2::ICoreWebView2WebResourceRequestedEventArgs* Args);
    HRESULT DoScriptDialogOpening(WebView2::ICoreWebView2ScriptDialogOpeningEventArgs* Args);
    HRESULT DoPermissionRequested(WebView2::ICoreWebView2PermissionRequestedEventArgs* Args);
    HRESULT DoProcessFailed(WebView2::ICoreWebView2ProcessFailedEventArgs* Args);
    HRESULT DoWebMessageReceived(WebView2::ICoreWebView2WebMessageReceivedEventArgs* Args);
    HRESULT DoContainsFullScreenElementChanged(WebView2::ICoreWebView2* Sender);
    HRESULT DoWindowCloseRequested();
    HRESULT DoFilesDropped(WebView2::ICoreWebView2FilesDroppedEventArgs* Args);
    HRESULT DoZoomFactorChanged();
    HRESULT DoMoveFocusRequested(WebView2::ICoreWebView2MoveFocusRequestedEventArgs* Args);
    HRESULT DoAcceleratorKeyPressed(WebView2::ICoreWebView2AcceleratorKeyPressedEventArgs* Args);
    HRESULT DoGotFocus();
    HRESULT DoLostFocus();

    TBrowserControlState FBrowserControlState = TBrowserControlState::None;
    WebView2::TComPtr<WebView2::ICoreWebView2Environment> FWebViewEnvironment;
    WebView2::TComPtr<WebView2::ICoreWebView2Controller> FWebViewController;
    WebView2::TComPtr<WebView2::ICoreWebView2> FWebView;
    WebView2::TComPtr<WebView2::ICoreWebView2Settings> FWebViewSettings;
    double FSizeRatio = 0.0;
    HRESULT FLastErrorCode = WebView2::S_OK;
    bool FWebViewFocusEventActive = false;
    std::string FLastURL;
    mutable std::mutex FCritSec;
    // The removals of the notification registrations on the view and on the
    // controller, each made by its own registration, with its place in the
    // closing order.
    std::vector<std::pair<int, std::function<void()>>> FViewRemovers;
    std::vector<std::pair<int, std::function<void()>>> FControllerRemovers;
    std::map<std::string, WebView2::EventRegistrationToken> FDevToolsProtocolEventReceivedTokenMap;

    // Which objects carry the control's notification registrations, so that
    // closing removes only registrations that were made on these objects.
    // Shared with every handler and completion given to the engine and with
    // the worker thread: a late call finds the control gone and does nothing.
    std::shared_ptr<TLifeline> FLifeline;
};

// The control as placed on a form: everything of TCustomEdgeBrowser, nothing more.
class TEdgeBrowser : public TCustomEdgeBrowser {
public:
    using TCustomEdgeBrowser::TCustomEdgeBrowser;
};

} // namespace Norvane::Shared
