#include "shared/BrowserForm.h"

#include "platform/Process.h"
#include "platform/System.h"
#include "shared/Resources.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"
#include "shared/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace Norvane::Shared {

using namespace Platform::Ui;
using namespace WebView2;

namespace {

constexpr std::string_view FileAddressPrefix = "file:///";
constexpr char Separator = '\r';

std::string ReplaceAll(std::string Text, std::string_view From, std::string_view To) {
    std::size_t at = 0;
    while ((at = Text.find(From, at)) != std::string::npos) {
        Text.replace(at, From.size(), To);
        at += To.size();
    }
    return Text;
}

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= 32;
}

// The whole file, or nothing when it is no regular file or cannot be read.
std::optional<std::vector<std::uint8_t>> LoadFile(const std::string& Path) {
    std::error_code ec;
    if (Path.empty() || !std::filesystem::is_regular_file(std::filesystem::u8path(Path), ec))
        return std::nullopt;
    try {
        return ReadFileBytes(Path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string FolderWithDelimiter(const std::string& FilePath) {
    const char delimiter = Platform::PathDelimiter();
    std::size_t slash = FilePath.find_last_of(delimiter);
    return slash == std::string::npos ? std::string() : FilePath.substr(0, slash + 1);
}

} // namespace

TBrowserForm::TBrowserForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(TBorderStyle::bsNone);
    SetClientSize(658, 484);
    SetColor(clBtnFace);
    SetKeyPreview(true);
    ProgressBar = new TProgressBar(this);
    ProgressBar->SetName("ProgressBar");
    ProgressBar->SetParent(this);
    ProgressBar->SetAlign(TAlign::alBottom);
    ProgressBar->SetHeight(4);
    ProgressBar->SetStyle(TProgressBarStyle::pbstMarquee);
    ProgressBar->SetVisible(true);
    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
    OnDestroy = [this](TObject* Sender) { FormDestroy(Sender); };
}

TBrowserForm::~TBrowserForm() {
    // The destroy handler needs this class's fields: run it while they exist.
    BeforeDestruction();
}

void TBrowserForm::FormCreate(TObject*) {
    FExeZip = nullptr;
    FAppDirName.clear();
    FStartPageURL.clear();
    FWebviewJavascript.clear();
    FIsRuntime = false;
    FAllowDebug = false;
    FAllowZoom = false;
    FWithExternal = false;
    FHandleRequests = false;
    FAllowContextMenu = false;
    FAppDirPath = FolderWithDelimiter(Platform::ExecutablePath());

    FEdgeBrowser = new TEdgeBrowser(nullptr);
    FEdgeBrowser->SetName("EdgeBrowser");
    FEdgeBrowser->OnProcessFailed = [this](TCustomEdgeBrowser* Sender, TOleEnum Kind) {
        EdgeBrowserProcessFailed(Sender, Kind);
    };
    FEdgeBrowser->OnNewWindowRequested = [this](TCustomEdgeBrowser* Sender,
                                                TNewWindowRequestedEventArgs* Args) {
        EdgeBrowserNewWindowRequested(Sender, Args);
    };
    FEdgeBrowser->OnCreateWebViewCompleted = [this](TCustomEdgeBrowser* Sender, HRESULT AResult) {
        EdgeBrowserCreateWebViewCompleted(Sender, AResult);
    };
    FEdgeBrowser->OnWebResourceRequested = [this](TCustomEdgeBrowser* Sender,
                                                  TWebResourceRequestedEventArgs* Args) {
        EdgeBrowserWebResourceRequested(Sender, Args);
    };
    FEdgeBrowser->OnNavigationCompleted = [this](TCustomEdgeBrowser* Sender, bool IsSuccess,
                                                 TOleEnum Status) {
        EdgeBrowserNavigationCompleted(Sender, IsSuccess, Status);
    };
    FEdgeBrowser->OnWebMessageReceived = [this](TCustomEdgeBrowser* Sender,
                                                TWebMessageReceivedEventArgs* Args) {
        EdgeBrowserClickMessageReceived(Sender, Args);
    };
    FEdgeBrowser->OnPermissionRequested = [this](TCustomEdgeBrowser* Sender,
                                                 TPermissionRequestedEventArgs* Args) {
        EdgeBrowserPermissionRequested(Sender, Args);
    };
    // Last: giving the control its parent starts the browser's creation.
    FEdgeBrowser->SetParent(this);
    FEdgeBrowser->SetAlign(TAlign::alClient);
}

void TBrowserForm::FormDestroy(TObject*) {
    delete FEdgeBrowser;
    FEdgeBrowser = nullptr;
}

std::string TBrowserForm::DocumentScript() const {
    std::string script;
    auto add = [&script](std::string_view Piece) {
        script += Separator;
        script += Piece;
    };
    if (FWithExternal)
        add(Shared::FindResource(ExternalJavascriptResource));
    add(DragOverGuardScript);
    add(DropGuardScript);
    if (FIsRuntime && std::any_of(FWebviewJavascript.begin(), FWebviewJavascript.end(),
                                  [](char C) { return !IsBlankOrControl(C); }))
        add(FWebviewJavascript);
    if (!FIsRuntime)
        add(ClickNoticeScript);
    return script;
}

void TBrowserForm::EdgeBrowserCreateWebViewCompleted(TCustomEdgeBrowser* Sender, HRESULT AResult) {
    if (AResult < 0)
        return;
    if (ICoreWebView2* view = Sender->DefaultInterface())
        view->AddScriptToExecuteOnDocumentCreated(DocumentScript().c_str(), nullptr);
    if (ICoreWebView2Settings* settings = Sender->SettingsInterface()) {
        settings->put_IsScriptEnabled(TRUE_VALUE);
        settings->put_IsStatusBarEnabled(FALSE_VALUE);
        settings->put_IsWebMessageEnabled(TRUE_VALUE);
        settings->put_IsBuiltInErrorPageEnabled(TRUE_VALUE);
        settings->put_IsZoomControlEnabled(FAllowZoom ? TRUE_VALUE : FALSE_VALUE);
        settings->put_AreDevToolsEnabled(FAllowDebug ? TRUE_VALUE : FALSE_VALUE);
        settings->put_AreDefaultContextMenusEnabled(FAllowContextMenu ? TRUE_VALUE : FALSE_VALUE);
    }
    Sender->AddWebResourceRequestedFilter("*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    if (!FStartPageURL.empty())
        Sender->Navigate(FStartPageURL);
}

std::optional<TBrowserResource> TBrowserForm::ResolveResource(const std::string& Address) const {
    if (!FHandleRequests || !TStrUtils::StartsText(FileAddressPrefix, Address))
        return std::nullopt;
    const std::string raw = ReplaceAll(Address, FileAddressPrefix, "");
    // The type goes by the extension of the last name in the path.
    std::size_t nameStart = raw.find_last_of("\\:");
    TBrowserResource resource;
    resource.ContentType =
        TStrUtils::GetFileMIMEType(nameStart == std::string::npos ? raw : raw.substr(nameStart + 1));
    const std::string path = ReplaceAll(raw, "%20", " ");

    if (!FAppDirName.empty() && FExeZip) {
        const std::string entry = FAppDirName + "/" + path;
        if (FExeZip->FindEntry(entry) >= 0) {
            TMemoryStream stream;
            FExeZip->ExtractEntry(entry, stream);
            resource.Content = stream.Bytes();
            return resource;
        }
    }
    std::string besideExecutable = path;
    std::replace(besideExecutable.begin(), besideExecutable.end(), '/', Platform::PathDelimiter());
    if (auto bytes = LoadFile(FAppDirPath + besideExecutable)) {
        resource.Content = std::move(*bytes);
        return resource;
    }
    if (auto bytes = LoadFile(Platform::FileAddressPath(raw))) {
        resource.Content = std::move(*bytes);
        return resource;
    }
    return std::nullopt;
}

void TBrowserForm::EdgeBrowserWebResourceRequested(TCustomEdgeBrowser* Sender,
                                                   TWebResourceRequestedEventArgs* Args) {
    if (!FHandleRequests)
        return;
    TComPtr<ICoreWebView2WebResourceRequest> request;
    if (Args->ArgsInterface()->get_Request(request.Put()) < 0 || !request)
        return;
    char* uri = nullptr;
    if (request->get_Uri(&uri) < 0)
        return;
    auto resource = ResolveResource(TakeEngineText(uri));
    ICoreWebView2Environment* environment = Sender->EnvironmentInterface();
    if (!resource || !environment)
        return;
    const std::string header = "Content-Type: " + resource->ContentType + "; charset=utf-8";
    // The stream belongs to the response, which the browser releases when done.
    auto content = TComPtr<IStream>::Attach(new TComMemoryStream(std::move(resource->Content)));
    TComPtr<ICoreWebView2WebResourceResponse> response;
    if (environment->CreateWebResourceResponse(content.Get(), 200, "OK", header.c_str(), response.Put()) >=
            0 &&
        response)
        Args->ArgsInterface()->put_Response(response.Get());
}

std::string TBrowserForm::NewWindowParameters(const std::string& Address) const {
    return "\"" + FRuntimeAppID + "\" \"" + Address + "\"";
}

void TBrowserForm::EdgeBrowserNewWindowRequested(TCustomEdgeBrowser*, TNewWindowRequestedEventArgs* Args) {
    if (!FIsRuntime)
        return;
    char* uri = nullptr;
    if (Args->ArgsInterface()->get_Uri(&uri) < 0)
        return;
    const std::string address = TakeEngineText(uri);
    if (TStrUtils::StartsText("file:", address)) {
        Args->ArgsInterface()->put_Handled(TRUE_VALUE);
        TSysUtils::ShellExec(Platform::ExecutablePath(), NewWindowParameters(address));
        return;
    }
    // Web and mail links open in the user's own browser or mail program,
    // where they get nothing of the application; the rest (about:blank, object
    // addresses) is left to the browser's own pop-up window.
    if (TStrUtils::StartsText("http:", address) || TStrUtils::StartsText("https:", address) ||
        TStrUtils::StartsText("mailto:", address)) {
        Args->ArgsInterface()->put_Handled(TRUE_VALUE);
        TSysUtils::ShellOpen(address);
    }
}

void TBrowserForm::EdgeBrowserNavigationCompleted(TCustomEdgeBrowser*, bool, TOleEnum) {
    ProgressBar->Hide();
}

void TBrowserForm::EdgeBrowserClickMessageReceived(TCustomEdgeBrowser*, TWebMessageReceivedEventArgs* Args) {
    char* text = nullptr;
    std::string message;
    if (Args->ArgsInterface()->TryGetWebMessageAsString(&text) >= 0)
        message = TakeEngineText(text);
    else
        TakeEngineText(text);
    if (FIsRuntime || message != "qvx-webbrowser-clicked")
        return;
    if (TWinControl* host = Parent() ? Parent()->Parent() : nullptr)
        host->SetFocus();
}

void TBrowserForm::EdgeBrowserPermissionRequested(TCustomEdgeBrowser*, TPermissionRequestedEventArgs* Args) {
    Args->ArgsInterface()->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
}

void TBrowserForm::EdgeBrowserProcessFailed(TCustomEdgeBrowser*, TOleEnum) {
    // A crash of a browser process is not reported and nothing is recreated.
}

} // namespace Norvane::Shared
