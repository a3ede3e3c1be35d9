// The browser window: a borderless form that hosts one browser control and
// configures it. The runtime's main window embeds exactly one as a child that
// fills its client area. The window
// - puts the page scripts (the bridge library, the drop guards, the
//   application's extra script) into every document and writes the browser
//   settings once the browser exists;
// - answers every request for a "file:///" address itself: from the payload
//   archive, else from beside the executable, else from the absolute path;
// - opens a page's new window on a "file:" address as a new process of the
//   same executable;
// - grants every permission a page asks for;
// - shows a thin running bar until the first navigation completes.
//
// The same class serves a host without an attached payload (IsRuntime false):
// new windows are then left to the browser, and a click in the page is posted
// to the host so that it can take the focus.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "shared/ExeZip.h"
#include "shared/browser/EdgeEx.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Norvane::Shared {

// The answer to one "file:///" request. An archive entry is decoded as the
// browser reads it; a file from the disk is held in memory.
struct TBrowserResource {
    std::unique_ptr<TStream> Content;
    std::string ContentType;  // from the name's extension
    bool FromPayload = false; // an entry of the payload (not a file on disk)
    int StatusCode = 200;     // of an answer of OnPageRequest (never kept by the browser)
};

// The folder of the application's addresses that the window reserves for
// OnPageRequest (the bridge's file transfers); no file is looked up there.
inline constexpr std::string_view PageRequestFolder = "file:///.norvane-transfer/";

// A request that the window offers to OnPageRequest: its address (in
// PageRequestFolder), method and header lines, and a reader of its body (the
// number of bytes read into Buffer, 0 at the end, -1 on a failure).
struct TPageRequest {
    const std::string& Address;
    const std::string& Method;
    const std::string& Headers;
    std::function<std::int64_t(void* Buffer, std::int64_t Count)> ReadBody;
};

// A "Range: bytes=..." request header resolved against the content's size.
// A single range only; anything else is no range (the whole content is sent).
struct TByteRange {
    std::uint64_t First = 0;
    std::uint64_t Length = 0;
    bool Satisfiable = true; // false: 416, nothing of the content is sent
};
std::optional<TByteRange> ParseByteRange(const std::string& RequestHeaders, std::uint64_t Size);

class TBrowserForm : public Platform::Ui::TForm {
public:
    explicit TBrowserForm(Platform::Ui::TComponent* AOwner = nullptr);
    ~TBrowserForm() override;

    // Designed child: the running bar along the bottom.
    Platform::Ui::TProgressBar* ProgressBar = nullptr;

    Shared::TExeZip* ExeZip() const { return FExeZip; }
    void SetExeZip(Shared::TExeZip* Value) { FExeZip = Value; }
    bool IsRuntime() const { return FIsRuntime; }
    void SetIsRuntime(bool Value) { FIsRuntime = Value; }
    const std::string& RuntimeAppID() const { return FRuntimeAppID; }
    void SetRuntimeAppID(const std::string& Value) { FRuntimeAppID = Value; }
    bool WithExternal() const { return FWithExternal; }
    void SetWithExternal(bool Value) { FWithExternal = Value; }
    const std::string& AppDirName() const { return FAppDirName; }
    void SetAppDirName(const std::string& Value) { FAppDirName = Value; }
    const std::string& AppDirPath() const { return FAppDirPath; }
    void SetAppDirPath(const std::string& Value) { FAppDirPath = Value; }
    bool AllowDebug() const { return FAllowDebug; }
    void SetAllowDebug(bool Value) { FAllowDebug = Value; }
    bool AllowZoom() const { return FAllowZoom; }
    void SetAllowZoom(bool Value) { FAllowZoom = Value; }
    const std::string& WebviewJavascript() const { return FWebviewJavascript; }
    void SetWebviewJavascript(const std::string& Value) { FWebviewJavascript = Value; }
    bool AllowContextMenu() const { return FAllowContextMenu; }
    void SetAllowContextMenu(bool Value) { FAllowContextMenu = Value; }
    const std::string& StartPageURL() const { return FStartPageURL; }
    void SetStartPageURL(const std::string& Value) { FStartPageURL = Value; }
    bool HandleRequests() const { return FHandleRequests; }
    void SetHandleRequests(bool Value) { FHandleRequests = Value; }
    TEdgeBrowser* EdgeBrowser() const { return FEdgeBrowser; }

    // A message of the page: the sending document's address, the message
    // when it is a plain string (else empty) and its JSON text. The bridge
    // connects to it, once; it is the only way messages reach the host.
    using TPageMessageEvent = std::function<void(const std::string& Source, const std::string& AsString,
                                                 const std::string& AsJson)>;
    TPageMessageEvent OnPageMessage;
    // Answers a request for an address in PageRequestFolder (the bridge's
    // file transfers), or gives nothing to leave it to ResolveResource; other
    // requests never reach it, so their method, headers and body are not read. Its answers are never cached,
    // carry no payload mark and are sent whole (no ranges).
    std::function<std::optional<TBrowserResource>(const TPageRequest& Request)> OnPageRequest;

    // Handlers.
    void FormCreate(Platform::Ui::TObject* Sender);
    void FormDestroy(Platform::Ui::TObject* Sender);
    void EdgeBrowserCreateWebViewCompleted(TCustomEdgeBrowser* Sender, HRESULT AResult);
    void EdgeBrowserWebResourceRequested(TCustomEdgeBrowser* Sender, TWebResourceRequestedEventArgs* Args);
    void EdgeBrowserNewWindowRequested(TCustomEdgeBrowser* Sender, TNewWindowRequestedEventArgs* Args);
    void EdgeBrowserNavigationCompleted(TCustomEdgeBrowser* Sender, bool IsSuccess, TOleEnum WebErrorStatus);
    // Every web message of the page: read once and handed to OnPageMessage;
    // without one, the click notice (outside runtime mode) focuses the host.
    void EdgeBrowserWebMessageReceived(TCustomEdgeBrowser* Sender, TWebMessageReceivedEventArgs* Args);
    void EdgeBrowserPermissionRequested(TCustomEdgeBrowser* Sender, TPermissionRequestedEventArgs* Args);
    void EdgeBrowserProcessFailed(TCustomEdgeBrowser* Sender, TOleEnum ProcessFailedKind);

    // The text added to every document: the pieces below, each preceded by a
    // carriage return (character 13).
    //  1. the bridge script library, when WithExternal;
    //  2./3. the dragover and drop guards, always;
    //  4. WebviewJavascript, in runtime mode, unless it is only blanks and
    //     control characters;
    //  5. the click notice, outside runtime mode.
    std::string DocumentScript() const;

    // The answer to a request for Address, or nothing when this window leaves
    // it to the browser (requests not handled, not a "file:///" address, or
    // neither in the archive, beside the executable nor at the absolute path).
    std::optional<TBrowserResource> ResolveResource(const std::string& Address) const;

    // The payload entry a "file:///" address names (without its query and
    // fragment, "%20" read as a space), or nothing: only such an address may
    // start a new process or be a relaunch's start page.
    std::optional<std::string> PayloadEntryName(const std::string& Address) const;

    // The parameter text of a new-window process: "<RuntimeAppID>" "<Address>".
    std::string NewWindowParameters(const std::string& Address) const;

private:
    Shared::TExeZip* FExeZip = nullptr;
    bool FIsRuntime = false;
    std::string FRuntimeAppID;
    bool FWithExternal = false;
    std::string FAppDirName;
    std::string FAppDirPath;
    bool FAllowDebug = false;
    bool FAllowZoom = false;
    std::string FWebviewJavascript;
    bool FAllowContextMenu = false;
    std::string FStartPageURL;
    bool FHandleRequests = false;
    TEdgeBrowser* FEdgeBrowser = nullptr;
};

// The texts that make up the document script.
inline constexpr std::string_view DragOverGuardScript =
    "window.addEventListener(\"dragover\", function(e){e.preventDefault();},false);";
inline constexpr std::string_view DropGuardScript =
    "window.addEventListener(\"drop\", function(e){e.preventDefault();}, false);";
inline constexpr std::string_view ClickNoticeScript =
    "window.addEventListener(\"click\", function () "
    "{window.chrome.webview.postMessage(\"qvx-webbrowser-clicked\");});";
// The name of the bridge script library among the built-in resources.
inline constexpr std::string_view ExternalJavascriptResource = "QVX_EXTERNAL_JAVASCRIPT";

} // namespace Norvane::Shared
