#include "shared/browser/BrowserForm.h"

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "shared/Resources.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"
#include "shared/SysUtils.h"
#include "shared/bridge/BridgeProtocol.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace Norvane::Shared {

using namespace Platform::Ui;
using namespace WebView2;

namespace {

constexpr std::string_view FileAddressPrefix = "file:///";
constexpr char Separator = '\r';

// Built anew rather than replaced in place: GCC 12's -Wrestrict takes the
// in-place replace of a longer text by a shorter one for an overlapping copy
// on 32-bit targets.
std::string ReplaceAll(const std::string& Text, std::string_view From, std::string_view To) {
    std::string result;
    result.reserve(Text.size());
    std::size_t start = 0, at = 0;
    while (!From.empty() && (at = Text.find(From, start)) != std::string::npos) {
        result.append(Text, start, at - start).append(To);
        start = at + From.size();
    }
    result.append(Text, start);
    return result;
}

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= 32;
}

// The whole file, or nothing when it is no regular file or cannot be read.
std::optional<std::vector<std::uint8_t>> LoadFile(const std::string& Path) {
    std::error_code ec;
    if (Path.empty() || !std::filesystem::is_regular_file(Platform::PathFromUtf8(Path), ec))
        return std::nullopt;
    try {
        return ReadFileBytes(Path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The content of a response: the bytes [First, First + Length) of a stream it
// owns, read as the browser asks for them. Errors of the stream (damaged
// archive data) become failed reads; nothing escapes into the browser.
class TComContentStream final : public TComObject<IStream> {
public:
    TComContentStream(std::unique_ptr<TStream> Source, std::uint64_t First, std::uint64_t Length)
        : FSource(std::move(Source)), FFirst(First), FLength(Length) {}

    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (ReadCount)
            *ReadCount = 0;
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        const std::uint64_t left = FPosition < FLength ? FLength - FPosition : 0;
        const auto wanted = static_cast<std::int64_t>(std::min<std::uint64_t>(left, Count));
        std::int64_t done = 0;
        try {
            FSource->Seek(static_cast<std::int64_t>(FFirst + FPosition), TSeekOrigin::soBeginning);
            while (done < wanted) {
                std::int64_t n = FSource->Read(static_cast<std::uint8_t*>(Buffer) + done, wanted - done);
                if (n <= 0)
                    break;
                done += n;
            }
        } catch (const std::exception&) {
            return E_FAIL;
        }
        FPosition += static_cast<std::uint64_t>(done);
        if (ReadCount)
            *ReadCount = static_cast<ULONG>(done);
        return static_cast<ULONG>(done) < Count ? S_FALSE : S_OK;
    }
    HRESULT NV_STDCALL Write(const void*, ULONG, ULONG* WrittenCount) override {
        if (WrittenCount)
            *WrittenCount = 0;
        return E_NOTIMPL;
    }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        const INT64 base = Origin == STREAM_SEEK_SET   ? 0
                           : Origin == STREAM_SEEK_CUR ? static_cast<INT64>(FPosition)
                           : Origin == STREAM_SEEK_END ? static_cast<INT64>(FLength)
                                                       : -1;
        if (base < 0 || base + Move < 0)
            return E_INVALIDARG;
        FPosition = static_cast<std::uint64_t>(base + Move);
        if (NewPosition)
            *NewPosition = FPosition;
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        if (!Stats)
            return E_INVALIDARG;
        *Stats = STATSTG{FLength, STGTY_STREAM, STGM_READ};
        return S_OK;
    }

private:
    std::unique_ptr<TStream> FSource;
    std::uint64_t FFirst, FLength, FPosition = 0;
};

std::string TrimBlanks(const std::string& Text) {
    const std::size_t first = Text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return Text.substr(first, Text.find_last_not_of(" \t\r") - first + 1);
}

std::string HeaderValue(const std::string& Headers, const std::string& Name) {
    std::size_t at = 0;
    while (at < Headers.size()) {
        std::size_t end = Headers.find('\n', at);
        std::string line = Headers.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? Headers.size() : end + 1;
        std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            Platform::Text::EqualsNoCase(TrimBlanks(line.substr(0, colon)), Name))
            return TrimBlanks(line.substr(colon + 1));
    }
    return "";
}

bool ParseNumber(const std::string& Text, std::uint64_t& Value) {
    if (Text.empty() || Text.size() > 19 ||
        !std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; }))
        return false;
    Value = std::stoull(Text);
    return true;
}

std::string FolderWithDelimiter(const std::string& FilePath) {
    const char delimiter = Platform::PathDelimiter();
    std::size_t slash = FilePath.find_last_of(delimiter);
    return slash == std::string::npos ? std::string() : FilePath.substr(0, slash + 1);
}

} // namespace

std::optional<TByteRange> ParseByteRange(const std::string& RequestHeaders, std::uint64_t Size) {
    const std::string value = HeaderValue(RequestHeaders, "Range");
    if (!TStrUtils::StartsText("bytes=", value) || value.find(',') != std::string::npos)
        return std::nullopt;
    const std::string asked = TrimBlanks(value.substr(6));
    const std::size_t dash = asked.find('-');
    if (dash == std::string::npos)
        return std::nullopt;
    const std::string from = TrimBlanks(asked.substr(0, dash)), to = TrimBlanks(asked.substr(dash + 1));
    std::uint64_t first = 0, last = 0;
    TByteRange range;
    if (from.empty()) { // the last N bytes
        if (!ParseNumber(to, last))
            return std::nullopt;
        range.Length = std::min(last, Size);
        range.First = Size - range.Length;
        range.Satisfiable = range.Length > 0;
        return range;
    }
    if (!ParseNumber(from, first) || (!to.empty() && (!ParseNumber(to, last) || last < first)))
        return std::nullopt;
    if (first >= Size) {
        range.Satisfiable = false;
        return range;
    }
    range.First = first;
    range.Length = (to.empty() ? Size - 1 : std::min(last, Size - 1)) - first + 1;
    return range;
}

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
        EdgeBrowserWebMessageReceived(Sender, Args);
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

namespace {

// The path of a "file:///" address (its scheme in any case): the address
// without its prefix and any further "file:///", its
// query and fragment left out (they only tell the page something; no file
// name holds them).
std::string PathOfAddress(const std::string& Address) {
    const std::string path = ReplaceAll(Address.substr(FileAddressPrefix.size()), FileAddressPrefix, "");
    return path.substr(0, path.find_first_of("?#"));
}

// Whether a name stays in the folder it is looked up in: no NUL, no
// backslash, no ".." part.
bool StaysInFolder(std::string_view Name) {
    if (Name.find('\0') != std::string_view::npos || Name.find('\\') != std::string_view::npos)
        return false;
    for (std::size_t start = 0; start <= Name.size();) {
        const std::size_t end = std::min(Name.find('/', start), Name.size());
        if (Name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// The names a path may stand for, in the order they are looked up in the
// archive and beside the program: every percent sequence decoded (UTF-8),
// then the literal name with only "%20" read as a space, which applications
// packed for that rule rely on. A name that could leave its folder is left out.
std::vector<std::string> NamesOfPath(const std::string& Path) {
    std::vector<std::string> names;
    for (std::string name : {TStrUtils::DecodePercent(Path), ReplaceAll(Path, "%20", " ")})
        if (StaysInFolder(name) && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    return names;
}

bool IsTextType(const std::string& ContentType) {
    const std::string type = Platform::Text::LowerAscii(ContentType);
    if (type.starts_with("text/") || type.ends_with("+xml") || type.ends_with("+json"))
        return true;
    for (const char* text : {"application/javascript", "application/x-javascript", "application/ecmascript",
                             "application/json", "application/xml", "image/svg+xml"})
        if (type == text)
            return true;
    return false;
}

} // namespace

std::optional<std::string> TBrowserForm::PayloadEntryName(const std::string& Address) const {
    if (!TStrUtils::StartsText(FileAddressPrefix, Address) || FAppDirName.empty() || !FExeZip)
        return std::nullopt;
    for (const std::string& name : NamesOfPath(PathOfAddress(Address)))
        if (std::string entry = FAppDirName + "/" + name; FExeZip->FindEntry(entry) >= 0)
            return entry;
    return std::nullopt;
}

std::optional<TBrowserResource> TBrowserForm::ResolveResource(const std::string& Address) const {
    if (!FHandleRequests || !TStrUtils::StartsText(FileAddressPrefix, Address))
        return std::nullopt;
    const std::string raw = PathOfAddress(Address);
    // The type goes by the extension of the last name in the path.
    std::size_t nameStart = raw.find_last_of("\\:");
    TBrowserResource resource;
    resource.ContentType =
        TStrUtils::GetFileMIMEType(nameStart == std::string::npos ? raw : raw.substr(nameStart + 1));
    const std::vector<std::string> names = NamesOfPath(raw);

    for (const std::string& name : FAppDirName.empty() || !FExeZip ? std::vector<std::string>() : names) {
        if (auto stream = FExeZip->OpenEntry(FAppDirName + "/" + name)) {
            resource.Content = std::move(stream);
            resource.FromPayload = true;
            return resource;
        }
    }
    // Files on disk: served to the application's pages as their resources,
    // but never shown as one of its documents (the engine refuses a document
    // that is not marked as the payload's).
    for (std::string besideExecutable : names) {
        std::replace(besideExecutable.begin(), besideExecutable.end(), '/', Platform::PathDelimiter());
        if (auto bytes = LoadFile(FAppDirPath + besideExecutable)) {
            resource.Content = std::make_unique<TMemoryStream>(std::move(*bytes));
            return resource;
        }
    }
    // The absolute path, decoded, then as written.
    std::vector<std::string> absolutes{TStrUtils::DecodePercent(raw)};
    if (absolutes.front() != raw)
        absolutes.push_back(raw);
    for (const std::string& absolute : absolutes) {
        if (absolute.find('\0') != std::string::npos)
            continue;
        if (auto bytes = LoadFile(Platform::FileAddressPath(absolute))) {
            resource.Content = std::make_unique<TMemoryStream>(std::move(*bytes));
            return resource;
        }
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
    const std::string address = TakeEngineText(uri);
    std::optional<TBrowserResource> resource;
    bool answered = false;
    if (OnPageRequest && TStrUtils::StartsText(PageRequestFolder, address)) {
        char* method = nullptr;
        const std::string methodText =
            request->get_Method(&method) >= 0 ? TakeEngineText(method) : std::string("GET");
        char* headers = nullptr;
        const std::string headerText = request->get_Headers(&headers) >= 0 ? TakeEngineText(headers) : "";
        TComPtr<IStream> body;
        if (request->get_Content(body.Put()) < 0)
            body = nullptr;
        IStream* bodyStream = body.Get();
        resource = OnPageRequest(
            {address, methodText, headerText, [bodyStream](void* Buffer, std::int64_t Count) -> std::int64_t {
                 if (!bodyStream || Count <= 0)
                     return 0;
                 ULONG done = 0;
                 const auto wanted = static_cast<ULONG>(std::min<std::int64_t>(Count, std::int64_t{1} << 30));
                 if (bodyStream->Read(Buffer, wanted, &done) < 0 || done > wanted)
                     return -1;
                 return done;
             }});
        answered = resource.has_value();
    }
    if (!answered)
        resource = ResolveResource(address);
    ICoreWebView2Environment* environment = Sender->EnvironmentInterface();
    if (!resource || !environment)
        return;
    std::string header = "Content-Type: " + resource->ContentType;
    if (answered) {
        header +=
            "\r\nCache-Control: no-store\r\nContent-Length: " + std::to_string(resource->Content->Size());
        const auto size = static_cast<std::uint64_t>(resource->Content->Size());
        auto content = TComPtr<IStream>::Attach(new TComContentStream(std::move(resource->Content), 0, size));
        TComPtr<ICoreWebView2WebResourceResponse> response;
        const char* reason = resource->StatusCode == 200 ? "OK" : "Error";
        if (environment->CreateWebResourceResponse(content.Get(), resource->StatusCode, reason,
                                                   header.c_str(), response.Put()) >= 0 &&
            response)
            Args->ArgsInterface()->put_Response(response.Get());
        return;
    }
    // A character set only where the type is text: the engine refuses, for
    // one, to stream WebAssembly whose type carries one.
    if (IsTextType(resource->ContentType))
        header += "; charset=utf-8";
    if (resource->FromPayload)
        header += std::string("\r\n") + ApplicationContentHeader + ": " + ApplicationContentValue;
    // A request for one byte range (media seeking) gets those bytes with 206.
    const auto size = static_cast<std::uint64_t>(resource->Content->Size());
    std::uint64_t first = 0, length = size;
    int status = 200;
    const char* reason = "OK";
    char* requestHeaders = nullptr;
    if (request->get_Headers(&requestHeaders) >= 0) {
        if (auto range = ParseByteRange(TakeEngineText(requestHeaders), size)) {
            const std::string total = std::to_string(size);
            if (range->Satisfiable) {
                first = range->First;
                length = range->Length;
                status = 206;
                reason = "Partial Content";
                header += "\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                          std::to_string(first + length - 1) + "/" + total;
            } else {
                length = 0;
                status = 416;
                reason = "Range Not Satisfiable";
                header += "\r\nContent-Range: bytes */" + total;
            }
        }
    }
    // Ranges are answered: a reader of large documents or media asks only for
    // what it shows.
    header += "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(length);
    // The stream belongs to the response, which the browser releases when
    // done; an archive entry is decoded as the browser reads it.
    auto content =
        TComPtr<IStream>::Attach(new TComContentStream(std::move(resource->Content), first, length));
    TComPtr<ICoreWebView2WebResourceResponse> response;
    if (environment->CreateWebResourceResponse(content.Get(), status, reason, header.c_str(),
                                               response.Put()) >= 0 &&
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
        // Whichever document or frame asks: a new process of the application
        // only shows a page of its own payload, never a file from the disk.
        Args->ArgsInterface()->put_Handled(TRUE_VALUE);
        if (PayloadEntryName(address))
            TSysUtils::ShellExec(Platform::ExecutablePath(), NewWindowParameters(address));
        else
            std::fprintf(stderr, "norvane: refused a new window for %s: not a page of the application\n",
                         address.c_str());
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

void TBrowserForm::EdgeBrowserWebMessageReceived(TCustomEdgeBrowser*, TWebMessageReceivedEventArgs* Args) {
    ICoreWebView2WebMessageReceivedEventArgs* args = Args->ArgsInterface();
    // A text of the arguments; empty when the engine gives none (a message
    // that is no string has no string reading).
    auto read = [args](HRESULT (NV_STDCALL ICoreWebView2WebMessageReceivedEventArgs::*Get)(char**)) {
        char* text = nullptr;
        const bool ok = (args->*Get)(&text) >= 0;
        std::string value = TakeEngineText(text);
        return ok ? value : std::string();
    };
    const std::string message = read(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString);
    if (OnPageMessage) {
        OnPageMessage(read(&ICoreWebView2WebMessageReceivedEventArgs::get_Source), message,
                      read(&ICoreWebView2WebMessageReceivedEventArgs::get_WebMessageAsJson));
        return;
    }
    if (FIsRuntime || message != "qvx-webbrowser-clicked")
        return;
    if (TWinControl* host = Parent() ? Parent()->Parent() : nullptr)
        host->SetFocus();
}

void TBrowserForm::EdgeBrowserPermissionRequested(TCustomEdgeBrowser*, TPermissionRequestedEventArgs* Args) {
    // Granted without a prompt to the application's own documents only; the
    // engine names the document that asks, or a frame of another site that
    // it cannot rule out as the one asking.
    char* uri = nullptr;
    const std::string address =
        Args->ArgsInterface()->get_Uri(&uri) >= 0 ? TakeEngineText(uri) : std::string();
    if (IsApplicationAddress(address)) {
        Args->ArgsInterface()->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
        return;
    }
    std::fprintf(stderr, "norvane: refused a permission to %s: not a page of the application\n",
                 address.empty() ? "(unknown)" : address.c_str());
    Args->ArgsInterface()->put_State(COREWEBVIEW2_PERMISSION_STATE_DENY);
}

void TBrowserForm::EdgeBrowserProcessFailed(TCustomEdgeBrowser*, TOleEnum) {
    // A crash of a browser process is not reported and nothing is recreated.
}

} // namespace Norvane::Shared
