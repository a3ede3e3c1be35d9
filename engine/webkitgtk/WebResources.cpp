#include "engine/webkitgtk/WebResources.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "platform/Text.h"

#include <gio/gio.h>

#include <algorithm>
#include <string_view>

namespace Norvane::Engine {

namespace {

bool ContainsLineBreak(const char* Text) {
    return std::strpbrk(Text, "\r\n") != nullptr;
}

std::string Trim(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r'))
        Text.remove_suffix(1);
    return std::string(Text);
}

// The content of a response as a GLib input stream that reads the COM stream
// as the engine asks for data, from its current position: a large entry is
// never held whole. The engine reads asynchronously on the main thread; the
// reads are answered there too (the host's streams are not thread-safe).
struct TComInputStream {
    GInputStream Parent;
    IStream* Source;
};

gssize ComRead(GInputStream* Stream, void* Buffer, gsize Count, GCancellable*, GError** Error) {
    IStream* Source = reinterpret_cast<TComInputStream*>(Stream)->Source;
    if (!Source)
        return 0; // a response without content
    ULONG Done = 0;
    const auto Wanted = static_cast<ULONG>(std::min<gsize>(Count, 1u << 30));
    if (FAILED(Source->Read(Buffer, Wanted, &Done)) || Done > Wanted) {
        g_set_error_literal(Error, G_IO_ERROR, G_IO_ERROR_FAILED,
                            "The content of the response cannot be read");
        return -1;
    }
    return static_cast<gssize>(Done);
}

void ComReadAsync(GInputStream* Stream, void* Buffer, gsize Count, int, GCancellable* Cancellable,
                  GAsyncReadyCallback Callback, gpointer Data) {
    GTask* Task = g_task_new(Stream, Cancellable, Callback, Data);
    GError* Error = nullptr;
    const gssize Done = ComRead(Stream, Buffer, Count, Cancellable, &Error);
    if (Done < 0)
        g_task_return_error(Task, Error);
    else
        g_task_return_int(Task, Done);
    g_object_unref(Task);
}

gssize ComReadFinish(GInputStream*, GAsyncResult* Result, GError** Error) {
    return g_task_propagate_int(G_TASK(Result), Error);
}

gboolean ComClose(GInputStream*, GCancellable*, GError**) {
    return TRUE;
}

void ComCloseAsync(GInputStream* Stream, int, GCancellable* Cancellable, GAsyncReadyCallback Callback,
                   gpointer Data) {
    GTask* Task = g_task_new(Stream, Cancellable, Callback, Data);
    g_task_return_boolean(Task, TRUE);
    g_object_unref(Task);
}

gboolean ComCloseFinish(GInputStream*, GAsyncResult* Result, GError** Error) {
    return g_task_propagate_boolean(G_TASK(Result), Error);
}

GObjectClass* ComInputStreamParent = nullptr;

void ComFinalize(GObject* Object) {
    auto* Self = reinterpret_cast<TComInputStream*>(Object);
    if (Self->Source)
        Self->Source->Release();
    Self->Source = nullptr;
    ComInputStreamParent->finalize(Object);
}

void ComInputStreamClassInit(gpointer Class, gpointer) {
    ComInputStreamParent = static_cast<GObjectClass*>(g_type_class_peek_parent(Class));
    auto* Input = static_cast<GInputStreamClass*>(Class);
    Input->read_fn = ComRead;
    Input->read_async = ComReadAsync;
    Input->read_finish = ComReadFinish;
    Input->close_fn = ComClose;
    Input->close_async = ComCloseAsync;
    Input->close_finish = ComCloseFinish;
    static_cast<GObjectClass*>(Class)->finalize = ComFinalize;
}

GType ComInputStreamType() {
    static const GType Type = g_type_register_static_simple(
        G_TYPE_INPUT_STREAM, "NorvaneComInputStream", sizeof(GInputStreamClass), ComInputStreamClassInit,
        sizeof(TComInputStream), nullptr, static_cast<GTypeFlags>(0));
    return Type;
}

// A stream over Source (referenced) and the number of bytes left in it, or -1
// when its size is not known.
GInputStream* NewComInputStream(IStream* Source, gint64& Length) {
    auto* Stream = static_cast<TComInputStream*>(g_object_new(ComInputStreamType(), nullptr));
    Stream->Source = Source;
    Length = Source ? -1 : 0;
    if (Source) {
        Source->AddRef();
        STATSTG Stats{};
        UINT64 Position = 0;
        if (SUCCEEDED(Source->Stat(&Stats, 0)) && SUCCEEDED(Source->Seek(0, STREAM_SEEK_CUR, &Position)))
            Length = Stats.cbSize > Position ? static_cast<gint64>(Stats.cbSize - Position) : 0;
    }
    return G_INPUT_STREAM(Stream);
}

// The body of a request as a stream that reads the engine's own stream as
// the host asks, so that a large upload is never copied whole. The engine's
// stream is asked for only when the host first reads: WebKitGTK ends the
// process when a body that holds a Blob or a File is asked for, so a request
// that no handler reads never touches it. Its size is known when the engine's
// stream can seek (it holds the body in memory).
class TBodyStream final : public TComObject<IStream> {
public:
    explicit TBodyStream(WebKitURISchemeRequest* Request)
        : FRequest(WEBKIT_URI_SCHEME_REQUEST(g_object_ref(Request))) {}
    ~TBodyStream() override {
        if (FBody)
            g_object_unref(FBody);
        g_object_unref(FRequest);
    }

    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (ReadCount)
            *ReadCount = 0;
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        if (!Body())
            return Count > 0 ? S_FALSE : S_OK;
        gsize Done = 0;
        const gboolean Ok = g_input_stream_read_all(FBody, Buffer, Count, &Done, nullptr, nullptr);
        FPosition += Done;
        if (ReadCount)
            *ReadCount = static_cast<ULONG>(Done);
        if (!Ok)
            return E_FAIL;
        return Done < Count ? S_FALSE : S_OK;
    }
    HRESULT NV_STDCALL Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        if (Origin == STREAM_SEEK_CUR && Move == 0) {
            // The position alone.
        } else if (GSeekable* Seekable = SeekableBody()) {
            const GSeekType Type = Origin == STREAM_SEEK_SET   ? G_SEEK_SET
                                   : Origin == STREAM_SEEK_END ? G_SEEK_END
                                                               : G_SEEK_CUR;
            if (!g_seekable_seek(Seekable, Move, Type, nullptr, nullptr))
                return STG_E_INVALIDFUNCTION;
            FPosition = static_cast<UINT64>(g_seekable_tell(Seekable));
        } else {
            return STG_E_INVALIDFUNCTION;
        }
        if (NewPosition)
            *NewPosition = FPosition;
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        if (!Stats)
            return STG_E_INVALIDPOINTER;
        UINT64 Size = 0;
        if (GSeekable* Seekable = SeekableBody()) {
            const goffset At = g_seekable_tell(Seekable);
            if (g_seekable_seek(Seekable, 0, G_SEEK_END, nullptr, nullptr)) {
                Size = static_cast<UINT64>(g_seekable_tell(Seekable));
                g_seekable_seek(Seekable, At, G_SEEK_SET, nullptr, nullptr);
            }
        }
        *Stats = STATSTG{Size, STGTY_STREAM, STGM_READ};
        return S_OK;
    }

private:
    GInputStream* Body() {
        if (!FAsked) {
            FAsked = true;
            FBody = webkit_uri_scheme_request_get_http_body(FRequest); // owned; null without a body
        }
        return FBody;
    }
    GSeekable* SeekableBody() {
        GInputStream* Stream = Body();
        return Stream && G_IS_SEEKABLE(Stream) && g_seekable_can_seek(G_SEEKABLE(Stream)) ? G_SEEKABLE(Stream)
                                                                                          : nullptr;
    }

    WebKitURISchemeRequest* FRequest;
    GInputStream* FBody = nullptr;
    bool FAsked = false;
    UINT64 FPosition = 0;
};

// The file path an address of the scheme stands for.
std::string LocalPathOf(const std::string& EngineAddress) {
    std::string Path = ToPageAddress(EngineAddress); // file:///...
    if (!IsLocalFileAddress(Path))
        return "";
    Path.erase(0, 7); // "file://" -> "/..."
    const std::size_t End = Path.find_first_of("?#");
    if (End != std::string::npos)
        Path.erase(End);
    gchar* Decoded = g_uri_unescape_string(Path.c_str(), nullptr);
    if (!Decoded)
        return "";
    std::string Result(Decoded);
    g_free(Decoded);
    return Result;
}

} // namespace

HRESULT TWebResourceRequest::put_Uri(const char* Uri) {
    if (!Uri)
        return E_INVALIDARG;
    FUri = Uri;
    return S_OK;
}

HRESULT TWebResourceRequest::put_Method(const char* Method) {
    if (!Method || !*Method)
        return E_INVALIDARG;
    FMethod = Method;
    return S_OK;
}

HRESULT TWebResourceResponse::AppendHeader(const char* Name, const char* Value) {
    if (!Name || !*Name || !Value || ContainsLineBreak(Name) || ContainsLineBreak(Value) ||
        std::strchr(Name, ':'))
        return E_INVALIDARG;
    if (!FHeaders.empty() && FHeaders.back() != '\n')
        FHeaders += "\r\n";
    FHeaders += std::string(Name) + ": " + Value;
    return S_OK;
}

HRESULT TWebResourceResponse::put_StatusCode(std::int32_t StatusCode) {
    if (StatusCode < 100 || StatusCode > 999)
        return E_INVALIDARG;
    FStatusCode = StatusCode;
    return S_OK;
}

bool MatchesUriPattern(const std::string& Pattern, const std::string& Uri) {
    // Iterative wildcard match with one back-tracking point.
    std::size_t p = 0, u = 0, Star = std::string::npos, Mark = 0;
    while (u < Uri.size()) {
        if (p < Pattern.size() && (Pattern[p] == '?' || Pattern[p] == Uri[u])) {
            ++p;
            ++u;
        } else if (p < Pattern.size() && Pattern[p] == '*') {
            Star = p++;
            Mark = u;
        } else if (Star != std::string::npos) {
            p = Star + 1;
            u = ++Mark;
        } else {
            return false;
        }
    }
    while (p < Pattern.size() && Pattern[p] == '*')
        ++p;
    return p == Pattern.size();
}

COREWEBVIEW2_WEB_RESOURCE_CONTEXT GuessResourceContext(SoupMessageHeaders* Headers) {
    if (!Headers)
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
    if (const char* Dest = soup_message_headers_get_one(Headers, "Sec-Fetch-Dest")) {
        const std::string Value = Platform::Text::LowerAscii(Dest);
        if (Value == "document" || Value == "iframe" || Value == "frame")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT;
        if (Value == "style")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET;
        if (Value == "image")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE;
        if (Value == "audio" || Value == "video")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA;
        if (Value == "track")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_TEXT_TRACK;
        if (Value == "font")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT;
        if (Value == "script" || Value == "worker" || Value == "sharedworker" || Value == "serviceworker")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT;
        if (Value == "manifest")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MANIFEST;
        if (Value == "empty")
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH;
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
    }
    if (const char* Accept = soup_message_headers_get_one(Headers, "Accept")) {
        const std::string Value = Platform::Text::LowerAscii(Accept);
        if (Value.starts_with("text/html"))
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT;
        if (Value.starts_with("text/css"))
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET;
        if (Value.starts_with("image/"))
            return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE;
    }
    return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
}

std::string HeaderLines(SoupMessageHeaders* Headers) {
    std::string Lines;
    if (!Headers)
        return Lines;
    SoupMessageHeadersIter Iter;
    soup_message_headers_iter_init(&Iter, Headers);
    const char *Name = nullptr, *Value = nullptr;
    while (soup_message_headers_iter_next(&Iter, &Name, &Value)) {
        if (!Lines.empty())
            Lines += "\r\n";
        Lines += std::string(Name) + ": " + Value;
    }
    return Lines;
}

TComPtr<ICoreWebView2WebResourceRequest> MakeResourceRequest(WebKitURISchemeRequest* Request) {
    const std::string Uri = ToPageAddress(webkit_uri_scheme_request_get_uri(Request));
    const char* Method = webkit_uri_scheme_request_get_http_method(Request);
    const std::string Headers = HeaderLines(webkit_uri_scheme_request_get_http_headers(Request));
    TComPtr<IStream> Content;
    // Every request that may carry a body gets a stream, read only if asked.
    const std::string MethodText = Method ? Method : "GET";
    if (MethodText != "GET" && MethodText != "HEAD")
        Content = TComPtr<IStream>::Attach(new TBodyStream(Request));
    return TComPtr<ICoreWebView2WebResourceRequest>::Attach(
        new TWebResourceRequest(Uri, Method ? Method : "GET", Headers, Content));
}

std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view Text) {
    std::vector<std::pair<std::string, std::string>> Fields;
    while (!Text.empty()) {
        const std::size_t End = Text.find('\n');
        const std::string_view Line = Text.substr(0, End);
        Text = End == std::string_view::npos ? std::string_view() : Text.substr(End + 1);
        const std::size_t Colon = Line.find(':');
        if (Colon == std::string_view::npos)
            continue;
        std::string Name = Trim(Line.substr(0, Colon));
        if (!Name.empty())
            Fields.emplace_back(std::move(Name), Trim(Line.substr(Colon + 1)));
    }
    return Fields;
}

bool FinishWithResponse(WebKitURISchemeRequest* Request, ICoreWebView2WebResourceResponse* Response) {
    TComPtr<IStream> Content;
    Response->get_Content(Content.Put());
    std::int32_t StatusCode = 200;
    Response->get_StatusCode(&StatusCode);
    char* Reason = nullptr;
    Response->get_ReasonPhrase(&Reason);
    char* HeaderText = nullptr;
    Response->get_Headers(&HeaderText);

    gint64 Size = 0;
    GInputStream* Stream = NewComInputStream(Content.Get(), Size);

    WebKitURISchemeResponse* SchemeResponse = webkit_uri_scheme_response_new(Stream, Size);
    webkit_uri_scheme_response_set_status(SchemeResponse, static_cast<guint>(StatusCode),
                                          Reason && *Reason ? Reason : nullptr);
    SoupMessageHeaders* Headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    std::string ContentType;
    bool ApplicationContent = false;
    for (const auto& [Name, Value] : HeaderFields(HeaderText ? HeaderText : "")) {
        if (Platform::Text::EqualsNoCase(Name, ApplicationContentHeader)) {
            ApplicationContent = Value == ApplicationContentValue;
            continue;
        }
        soup_message_headers_append(Headers, Name.c_str(), Value.c_str());
        if (Platform::Text::EqualsNoCase(Name, "content-type"))
            ContentType = Value;
    }
    if (!ContentType.empty()) {
        // The type alone; a charset parameter stays in the header.
        const std::string Mime = Trim(ContentType.substr(0, ContentType.find(';')));
        webkit_uri_scheme_response_set_content_type(SchemeResponse, Mime.c_str());
    }
    webkit_uri_scheme_response_set_http_headers(SchemeResponse, Headers);
    webkit_uri_scheme_request_finish_with_response(Request, SchemeResponse);
    g_object_unref(SchemeResponse);
    g_object_unref(Stream);
    std::free(Reason);
    std::free(HeaderText);
    return ApplicationContent;
}

void FinishFromDisk(WebKitURISchemeRequest* Request) {
    const std::string Path = LocalPathOf(webkit_uri_scheme_request_get_uri(Request));
    GError* Error = nullptr;
    if (!Path.empty()) {
        GFile* File = g_file_new_for_path(Path.c_str());
        GFileInfo* Info =
            g_file_query_info(File,
                              G_FILE_ATTRIBUTE_STANDARD_TYPE "," G_FILE_ATTRIBUTE_STANDARD_SIZE
                                                             "," G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                              G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
        if (Info && g_file_info_get_file_type(Info) == G_FILE_TYPE_REGULAR) {
            GFileInputStream* Stream = g_file_read(File, nullptr, &Error);
            if (Stream) {
                const char* ContentType = g_file_info_get_content_type(Info);
                gchar* Mime = ContentType ? g_content_type_get_mime_type(ContentType) : nullptr;
                webkit_uri_scheme_request_finish(Request, G_INPUT_STREAM(Stream), g_file_info_get_size(Info),
                                                 Mime);
                g_free(Mime);
                g_object_unref(Stream);
                g_object_unref(Info);
                g_object_unref(File);
                return;
            }
        }
        if (Info)
            g_object_unref(Info);
        g_object_unref(File);
    }
    if (!Error)
        Error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "The file %s was not found",
                            ToPageAddress(webkit_uri_scheme_request_get_uri(Request)).c_str());
    webkit_uri_scheme_request_finish_error(Request, Error);
    g_error_free(Error);
}

} // namespace Norvane::Engine
