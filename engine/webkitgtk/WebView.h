// One browser view: the controller, the view and its settings, implemented by
// one object over a WebKitWebView that sits in the engine's view host inside
// the caller's parent window.
#pragma once

#include "engine/webkitgtk/Environment.h"
#include "engine/webkitgtk/EventArgs.h"
#include "engine/webkitgtk/NavigationTracker.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

namespace Norvane::Engine {

class TWebView final : public TComObject<ICoreWebView2Controller, ICoreWebView2, ICoreWebView2Settings,
                                         ICoreWebView2FileDrop> {
public:
    // Lets the engine recognise its own views behind an ICoreWebView2*.
    static constexpr IID PrivateIid = {
        0x629e4ea4, 0x30b8, 0x41cc, {0x87, 0x09, 0x46, 0x34, 0x23, 0x48, 0x79, 0xaa}};
    static TWebView* FromInterface(ICoreWebView2* View);
    // The view that owns a WebKitWebView, or null.
    static TWebView* FromWebKitView(WebKitWebView* View);

    TWebView(TEnvironment* Environment, GtkContainer* Parent);
    ~TWebView() override;

    // Builds the widgets; false when the parent window cannot take them.
    bool Initialize();
    // A request of the application's scheme; false when no handler answers
    // it (the caller then serves it from the disk).
    bool HandleSchemeRequest(WebKitURISchemeRequest* Request);
    // A request of the media endpoint for EngineUri (an address of the
    // application), raised like one of the scheme; Done gets the host's
    // response, or null when none answers, once.
    void HandleMediaRequest(const std::string& EngineUri, const char* Method, std::string Headers,
                            std::function<void(ICoreWebView2WebResourceResponse*)> Done);
    // Whether a download of EngineUri comes from the application's own
    // documents, which need no user's gesture for it: an address of the
    // application (which no other document can reach), or a data: address
    // while the view holds nothing but the application's documents.
    bool StartsOwnDownload(const std::string& EngineUri) const;

    HRESULT NV_STDCALL QueryInterface(const IID& Riid, void** Object) override;

    // ---- ICoreWebView2Controller ----
    HRESULT NV_STDCALL get_IsVisible(BOOL* IsVisible) override;
    HRESULT NV_STDCALL put_IsVisible(BOOL IsVisible) override;
    HRESULT NV_STDCALL get_Bounds(RECT* Bounds) override;
    HRESULT NV_STDCALL put_Bounds(RECT Bounds) override;
    HRESULT NV_STDCALL get_ZoomFactor(double* ZoomFactor) override;
    HRESULT NV_STDCALL put_ZoomFactor(double ZoomFactor) override;
    HRESULT NV_STDCALL add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* Handler,
                                             EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_ZoomFactorChanged(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON Reason) override;
    HRESULT NV_STDCALL add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* Handler,
                                              EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_MoveFocusRequested(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_GotFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                                    EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_GotFocus(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_LostFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                                     EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_LostFocus(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* Handler,
                                                 EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_AcceleratorKeyPressed(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL get_ParentWindow(void** ParentWindow) override;
    HRESULT NV_STDCALL NotifyParentWindowPositionChanged() override;
    HRESULT NV_STDCALL Close() override;
    HRESULT NV_STDCALL get_CoreWebView2(ICoreWebView2** CoreWebView2) override;

    // ---- ICoreWebView2 ----
    HRESULT NV_STDCALL get_Settings(ICoreWebView2Settings** Settings) override;
    HRESULT NV_STDCALL get_Source(char** Uri) override;
    HRESULT NV_STDCALL Navigate(const char* Uri) override;
    HRESULT NV_STDCALL NavigateToString(const char* HtmlContent) override;
    HRESULT NV_STDCALL add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* Handler,
                                              EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_NavigationStarting(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* Handler,
                                          EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_ContentLoading(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_SourceChanged(ICoreWebView2SourceChangedEventHandler* Handler,
                                         EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_SourceChanged(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* Handler,
                                          EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_HistoryChanged(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* Handler,
                                               EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_NavigationCompleted(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_FrameNavigationStarting(ICoreWebView2NavigationStartingEventHandler* Handler,
                                                   EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_FrameNavigationStarting(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_FrameNavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* Handler,
                                                    EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_FrameNavigationCompleted(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* Handler,
                                               EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_ScriptDialogOpening(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* Handler,
                                               EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_PermissionRequested(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* Handler,
                                         EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_ProcessFailed(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL AddScriptToExecuteOnDocumentCreated(
        const char* JavaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* Handler) override;
    HRESULT NV_STDCALL RemoveScriptToExecuteOnDocumentCreated(const char* Id) override;
    HRESULT NV_STDCALL ExecuteScript(const char* JavaScript,
                                     ICoreWebView2ExecuteScriptCompletedHandler* Handler) override;
    HRESULT NV_STDCALL CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT ImageFormat,
                                      IStream* ImageStream,
                                      ICoreWebView2CapturePreviewCompletedHandler* Handler) override;
    HRESULT NV_STDCALL Reload() override;
    HRESULT NV_STDCALL PostWebMessageAsJson(const char* WebMessageAsJson) override;
    HRESULT NV_STDCALL PostWebMessageAsString(const char* WebMessageAsString) override;
    HRESULT NV_STDCALL add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* Handler,
                                              EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_WebMessageReceived(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL
    CallDevToolsProtocolMethod(const char* MethodName, const char* ParametersAsJson,
                               ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* Handler) override;
    HRESULT NV_STDCALL get_BrowserProcessId(UINT32* Value) override;
    HRESULT NV_STDCALL get_CanGoBack(BOOL* CanGoBack) override;
    HRESULT NV_STDCALL get_CanGoForward(BOOL* CanGoForward) override;
    HRESULT NV_STDCALL GoBack() override;
    HRESULT NV_STDCALL GoForward() override;
    HRESULT NV_STDCALL GetDevToolsProtocolEventReceiver(
        const char* EventName, ICoreWebView2DevToolsProtocolEventReceiver** Receiver) override;
    HRESULT NV_STDCALL Stop() override;
    HRESULT NV_STDCALL add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* Handler,
                                              EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_NewWindowRequested(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* Handler,
                                                EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_DocumentTitleChanged(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL get_DocumentTitle(char** Title) override;
    HRESULT NV_STDCALL OpenDevToolsWindow() override;
    HRESULT NV_STDCALL
    add_ContainsFullScreenElementChanged(ICoreWebView2ContainsFullScreenElementChangedEventHandler* Handler,
                                         EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_ContainsFullScreenElementChanged(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL get_ContainsFullScreenElement(BOOL* ContainsFullScreenElement) override;
    HRESULT NV_STDCALL add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* Handler,
                                                EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_WebResourceRequested(EventRegistrationToken Token) override;
    HRESULT NV_STDCALL AddWebResourceRequestedFilter(
        const char* Uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) override;
    HRESULT NV_STDCALL RemoveWebResourceRequestedFilter(
        const char* Uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) override;
    HRESULT NV_STDCALL add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* Handler,
                                                EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_WindowCloseRequested(EventRegistrationToken Token) override;

    // ---- ICoreWebView2FileDrop ----
    HRESULT NV_STDCALL add_FilesDropped(ICoreWebView2FilesDroppedEventHandler* Handler,
                                        EventRegistrationToken* Token) override;
    HRESULT NV_STDCALL remove_FilesDropped(EventRegistrationToken Token) override;

    // ---- ICoreWebView2Settings ----
    HRESULT NV_STDCALL get_IsScriptEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_IsScriptEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_IsWebMessageEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_IsWebMessageEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_AreDefaultScriptDialogsEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_AreDefaultScriptDialogsEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_IsStatusBarEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_IsStatusBarEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_AreDevToolsEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_AreDevToolsEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_AreDefaultContextMenusEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_AreDefaultContextMenusEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_IsZoomControlEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_IsZoomControlEnabled(BOOL Value) override;
    HRESULT NV_STDCALL get_IsBuiltInErrorPageEnabled(BOOL* Value) override;
    HRESULT NV_STDCALL put_IsBuiltInErrorPageEnabled(BOOL Value) override;

private:
    struct TFilter {
        std::string Pattern;
        COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context;
    };
    struct TPermissionJob;

    bool Alive() const { return !FClosed && FView; }
    ICoreWebView2* AsView() { return static_cast<ICoreWebView2*>(this); }
    ICoreWebView2Controller* AsController() { return static_cast<ICoreWebView2Controller*>(this); }
    std::string PageUri() const;
    void CloseInternal();
    void ConnectSignals();
    void DisconnectAll();
    void GrantLocalFileNavigation();
    void SetZoom(double Zoom);
    void StepZoom(int Direction);
    void DeliverToPage(const std::string& Json);
    // Ends the content process of a closed view and destroys its widgets from
    // the main loop (taking over the references), after WebKit has left the
    // signal the close came from.
    static void RetireWidgets(GtkWidget* Host, WebKitWebView* View);
    // Whether the document the view shows (its last committed address) is
    // one of the application's own.
    bool ShowsAppDocument() const;
    // A document's response: a document of the application's addresses is
    // shown only when the host marked its bytes as the payload's; a frame of
    // another site is remembered until the next page.
    gboolean DecideResponse(WebKitResponsePolicyDecision* Decision);
    // Answers a request of the scheme with the host's response (from the
    // disk when it has none), remembering the addresses it marked as the
    // application's own content.
    void Finish(WebKitURISchemeRequest* Request, ICoreWebView2WebResourceResponse* Response);
    bool IsApplicationContent(const std::string& EngineUri) const;
    // The document a permission request is asked for: the page, unless it
    // holds a frame of another site, which WebKit does not tell apart from it.
    std::string PermissionRequester() const;
    // A navigation of the page, raised as NavigationStarting before WebKit
    // may start it; the host's Cancel ignores Decision, so nothing is sent.
    void DecideNavigation(WebKitPolicyDecision* Decision, const std::string& Uri, bool UserInitiated,
                          bool Redirect, const std::string& Headers);
    // A decision WebKit may have taken for a frame: the page tells whether a
    // frame is waiting for Uri before it is raised or let go.
    void AskWhetherFrameNavigates(WebKitPolicyDecision* Decision, const std::string& Uri, bool UserInitiated,
                                  const std::string& Headers);
    struct TFrameQuestion;
    static void OnFrameAnswer(GObject* Source, GAsyncResult* Result, gpointer Data);
    void AnswerFrameQuestion(TFrameQuestion& Question, bool FrameWaits);
    void LetNavigationGo(const std::string& Uri, bool UserInitiated);
    // Whether Uri is that of a load asked for through this interface (which
    // is then no longer awaited).
    bool TakeHostRequest(const std::string& Uri);
    void AwaitHostRequest(const std::string& Uri);
    // Raises what the navigation tracker answered with; a NavigationStarting
    // reported late is cancelled by stopping the load.
    void Report(const TNavigationTracker::TReport& Report);
    void FinishNewWindow(TNewWindowRequestedEventArgs* Args, const std::string& Uri);
    GtkWidget* OpenPopup(WebKitWebView* Related);
    void RunPermissionJob(std::shared_ptr<TPermissionJob> Job);
    void Toplevel(GtkWidget* NewToplevel);

    // WebKit and GTK notifications.
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent, TWebView*);
    static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, TWebView*);
    static gboolean OnLoadFailedWithTlsErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags,
                                              TWebView*);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType,
                                   TWebView*);
    static void OnUriChanged(GObject*, GParamSpec*, TWebView*);
    static void OnTitleChanged(GObject*, GParamSpec*, TWebView*);
    static void OnZoomChanged(GObject*, GParamSpec*, TWebView*);
    static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, TWebView*);
    static void OnClose(WebKitWebView*, TWebView*);
    static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog*, TWebView*);
    static gboolean OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest*, TWebView*);
    static gboolean OnQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery*, TWebView*);
    static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, TWebView*);
    static void OnResponsivenessChanged(GObject*, GParamSpec*, TWebView* Self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                  TWebView*);
    static gboolean OnEnterFullscreen(WebKitWebView*, TWebView*);
    static gboolean OnLeaveFullscreen(WebKitWebView*, TWebView*);
    static gboolean OnUserMessage(WebKitWebView*, WebKitUserMessage*, TWebView*);
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult*, TWebView*);
    static void OnHistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, TWebView*);
    static gboolean OnKey(GtkWidget*, GdkEventKey*, TWebView*);
    static gboolean OnScroll(GtkWidget*, GdkEventScroll*, TWebView*);
    static gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, TWebView*);
    static gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, TWebView*);
    static gboolean OnToplevelFocus(GtkWidget*, GtkDirectionType, TWebView*);
    static gboolean OnToplevelKey(GtkWidget*, GdkEventKey*, TWebView*);
    static void OnHierarchyChanged(GtkWidget*, GtkWidget*, TWebView*);
    static void OnHostDestroyed(GtkWidget*, TWebView*);
    static void OnDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData*, guint, guint,
                                   TWebView*);
    static gboolean OnDragDrop(GtkWidget*, GdkDragContext*, gint, gint, guint, TWebView*);
    // Makes Context the drag whose address list is kept.
    void HoldDrag(GdkDragContext* Context);
    // Reports the local files of the drop's address list to FFilesDropped.
    void ReportDrop(const std::vector<std::string>& Uris);

    TComPtr<TEnvironment> FEnvironment;
    GtkContainer* FParent;
    GtkWidget* FHost = nullptr;
    WebKitWebView* FView = nullptr;
    WebKitUserContentManager* FContentManager = nullptr;
    WebKitSettings* FWebKitSettings = nullptr;
    GtkWidget* FToplevel = nullptr;
    GCancellable* FCancellable = nullptr;
    bool FClosed = false;

    // Settings.
    bool FScriptEnabled = true, FWebMessageEnabled = true, FDefaultScriptDialogs = true, FStatusBar = true;
    bool FDevTools = true, FContextMenus = true, FZoomControl = true, FBuiltInErrorPage = true;

    RECT FBounds{0, 0, 0, 0};
    bool FVisible = true;
    bool FFocusedWhenHidden = false; // the page had the keyboard when the view was hidden
    double FZoom = 1.0;
    double FScrollZoomDelta = 0.0;
    bool FFullScreen = false;
    std::set<guint16> FKeysDown;
    // A key press as the X server stamped it: WebKit hands a press the page
    // left unhandled back to the toolkit as a copy of the same event.
    struct TKeyPress {
        guint32 Time;
        guint16 Keycode;
        guint Keyval;
        bool operator==(const TKeyPress&) const = default;
    };
    std::deque<TKeyPress> FRecentPresses;
    // The Tab press with which the page handed focus over to the host.
    std::optional<TKeyPress> FFocusHandedOverBy;

    // Navigation state.
    TNavigationTracker FNavigation;
    std::deque<std::string> FHostRequests; // loads asked for through this interface, not yet decided
    std::string FPolicyUri;                // address of the last navigation let go (the page's or a frame's)
    bool FPolicyUserGesture = false;
    std::string FApiRequestUri; // address of a load asked for through this interface, until it starts
    std::string FCommittedUri;  // the document's address as the engine knows it
    std::string FForeignFrame;  // a frame of the page that is not the application's ("" for none)
    // The latest addresses the host answered with the application's own
    // content: a document's response is decided soon after its request is
    // answered, so a memory of the last distinct addresses is enough (an
    // address forgotten too early only keeps a page of the payload from
    // showing, never lets another one through).
    static constexpr std::size_t ApplicationContentMemory = 1024;
    std::unordered_set<std::string> FApplicationContent;
    std::deque<std::string> FApplicationContentOrder; // the same, oldest first
    UINT64 FCommitSerial = 0;                         // documents committed so far
    std::string FLastSource = "about:blank";

    std::vector<TFilter> FFilters;
    // Where the media endpoint serves the media of this view ("" when it cannot).
    std::string FMediaBase;
    // Each document script as two WebKit scripts: by address pattern and for object addresses.
    std::map<std::string, std::array<WebKitUserScript*, 2>> FUserScripts;
    UINT64 FScriptCounter = 0;
    UINT32 FWebProcessId = 0;

    TEventList<ICoreWebView2NavigationStartingEventHandler> FNavigationStarting;
    TEventList<ICoreWebView2ContentLoadingEventHandler> FContentLoading;
    TEventList<ICoreWebView2SourceChangedEventHandler> FSourceChanged;
    TEventList<ICoreWebView2HistoryChangedEventHandler> FHistoryChanged;
    TEventList<ICoreWebView2NavigationCompletedEventHandler> FNavigationCompleted;
    TEventList<ICoreWebView2NavigationStartingEventHandler> FFrameNavigationStarting;
    TEventList<ICoreWebView2NavigationCompletedEventHandler> FFrameNavigationCompleted;
    TEventList<ICoreWebView2ScriptDialogOpeningEventHandler> FScriptDialogOpening;
    TEventList<ICoreWebView2PermissionRequestedEventHandler> FPermissionRequested;
    TEventList<ICoreWebView2ProcessFailedEventHandler> FProcessFailed;
    TEventList<ICoreWebView2NewWindowRequestedEventHandler> FNewWindowRequested;
    TEventList<ICoreWebView2DocumentTitleChangedEventHandler> FDocumentTitleChanged;
    TEventList<ICoreWebView2FilesDroppedEventHandler> FFilesDropped;
    // The drag whose address list (text/uri-list) arrived last (held, so that
    // a later drag cannot take its address) and that list; a drop before its
    // list arrives waits for it.
    GdkDragContext* FDragContext = nullptr;
    std::vector<std::string> FDragUris;
    bool FDropWaiting = false;
    TEventList<ICoreWebView2ContainsFullScreenElementChangedEventHandler> FContainsFullScreenElementChanged;
    TEventList<ICoreWebView2WebResourceRequestedEventHandler> FWebResourceRequested;
    TEventList<ICoreWebView2WebMessageReceivedEventHandler> FWebMessageReceived;
    TEventList<ICoreWebView2WindowCloseRequestedEventHandler> FWindowCloseRequested;
    TEventList<ICoreWebView2ZoomFactorChangedEventHandler> FZoomFactorChanged;
    TEventList<ICoreWebView2MoveFocusRequestedEventHandler> FMoveFocusRequested;
    TEventList<ICoreWebView2FocusChangedEventHandler> FGotFocus;
    TEventList<ICoreWebView2FocusChangedEventHandler> FLostFocus;
    TEventList<ICoreWebView2AcceleratorKeyPressedEventHandler> FAcceleratorKeyPressed;
};

} // namespace Norvane::Engine
