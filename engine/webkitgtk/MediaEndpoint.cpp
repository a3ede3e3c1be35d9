#include "engine/webkitgtk/MediaEndpoint.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/WebResources.h"
#include "engine/webkitgtk/WebView.h"

#include <libsoup/soup.h>

#include <sys/random.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <vector>

namespace Norvane::Engine {

namespace {

constexpr gsize ChunkBytes = 256 * 1024;
constexpr const char* BodyKey = "norvane-media-body";

struct TEndpoint {
    SoupServer* Server = nullptr;
    guint Port = 0;
    std::string Host;                                     // "127.0.0.1:PORT"
    std::vector<std::pair<std::string, TWebView*>> Views; // token, view
};

TEndpoint& Endpoint() {
    static TEndpoint Instance;
    return Instance;
}

// 32 hexadecimal digits from the kernel's random source; "" when it fails.
std::string NewToken() {
    unsigned char Bytes[16];
    std::size_t Done = 0;
    while (Done < sizeof Bytes) {
        const ssize_t Got = getrandom(Bytes + Done, sizeof Bytes - Done, 0);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            return "";
        Done += static_cast<std::size_t>(Got);
    }
    static constexpr char Hex[] = "0123456789abcdef";
    std::string Token;
    for (const unsigned char Byte : Bytes) {
        Token += Hex[Byte >> 4];
        Token += Hex[Byte & 15];
    }
    return Token;
}

// Compares without stopping at the first difference: the time of an answer
// tells nothing of how much of a guessed token was right.
bool SameToken(std::string_view A, std::string_view B) {
    if (A.size() != B.size())
        return false;
    unsigned char Difference = 0;
    for (std::size_t i = 0; i < A.size(); ++i)
        Difference |= static_cast<unsigned char>(A[i] ^ B[i]);
    return Difference == 0;
}

TWebView* ViewOfToken(std::string_view Token) {
    TWebView* Found = nullptr;
    for (const auto& [Known, View] : Endpoint().Views)
        if (SameToken(Known, Token))
            Found = View;
    return Found;
}

void Refuse(SoupServerMessage* Message, guint Status) {
    soup_server_message_set_status(Message, Status, nullptr);
    soup_message_headers_replace(soup_server_message_get_response_headers(Message), "Cache-Control",
                                 "no-store");
}

// What is left to send of one answer.
struct TBody {
    TComPtr<IStream> Content;
    guint64 Left = 0;
};

// Appends the next chunk of the content, or completes the body. A content
// that ends early breaks the connection: the player sees a failed load, not a
// shorter file.
void WriteNextChunk(SoupServerMessage* Message, gpointer) {
    auto* Body = static_cast<TBody*>(g_object_get_data(G_OBJECT(Message), BodyKey));
    SoupMessageBody* Out = soup_server_message_get_response_body(Message);
    if (!Body || Body->Left == 0) {
        soup_message_body_complete(Out);
        return;
    }
    const auto Wanted = static_cast<ULONG>(std::min<guint64>(Body->Left, ChunkBytes));
    auto* Buffer = static_cast<char*>(g_malloc(Wanted));
    ULONG Done = 0;
    if (!Body->Content || FAILED(Body->Content->Read(Buffer, Wanted, &Done)) || Done == 0 || Done > Wanted) {
        g_free(Buffer);
        Body->Left = 0;
        g_printerr("norvane-engine: a media answer ended before its length\n");
        if (GSocket* Socket = soup_server_message_get_socket(Message))
            g_socket_shutdown(Socket, TRUE, TRUE, nullptr);
        soup_message_body_complete(Out);
        return;
    }
    Body->Left -= Done;
    soup_message_body_append(Out, SOUP_MEMORY_TAKE, Buffer, Done);
}

void Answer(SoupServerMessage* Message, ICoreWebView2WebResourceResponse* Response) {
    SoupMessageHeaders* Out = soup_server_message_get_response_headers(Message);
    if (!Response) {
        Refuse(Message, SOUP_STATUS_NOT_FOUND);
        return;
    }
    char* HeaderText = nullptr;
    Response->get_Headers(&HeaderText);
    const auto Fields = HeaderFields(HeaderText ? HeaderText : "");
    std::free(HeaderText);
    bool Payload = false;
    for (const auto& [Name, Value] : Fields)
        if (Platform::Text::EqualsNoCase(Name, ApplicationContentHeader))
            Payload = Value == ApplicationContentValue;
    if (!Payload) {
        Refuse(Message, SOUP_STATUS_NOT_FOUND);
        return;
    }
    std::int32_t Status = 200;
    Response->get_StatusCode(&Status);
    char* Reason = nullptr;
    Response->get_ReasonPhrase(&Reason);
    soup_server_message_set_status(Message, static_cast<guint>(Status), Reason && *Reason ? Reason : nullptr);
    std::free(Reason);

    TComPtr<IStream> Content;
    Response->get_Content(Content.Put());
    auto Body = std::make_unique<TBody>();
    bool Sized = false;
    for (const auto& [Name, Value] : Fields) {
        if (Platform::Text::EqualsNoCase(Name, ApplicationContentHeader) ||
            Platform::Text::EqualsNoCase(Name, "Cache-Control") ||
            Platform::Text::EqualsNoCase(Name, "Connection") ||
            Platform::Text::EqualsNoCase(Name, "Transfer-Encoding"))
            continue;
        if (Platform::Text::EqualsNoCase(Name, "Content-Length")) {
            char* End = nullptr;
            const guint64 Length = g_ascii_strtoull(Value.c_str(), &End, 10);
            if (End && *End == '\0' && !Value.empty()) {
                Body->Left = Length;
                Sized = true;
            }
            continue;
        }
        soup_message_headers_append(Out, Name.c_str(), Value.c_str());
    }
    if (!Sized && Content) {
        STATSTG Stats{};
        UINT64 Position = 0;
        if (SUCCEEDED(Content->Stat(&Stats, 0)) && SUCCEEDED(Content->Seek(0, STREAM_SEEK_CUR, &Position)))
            Body->Left = Stats.cbSize > Position ? Stats.cbSize - Position : 0;
    }
    if (!Content)
        Body->Left = 0;
    // The bytes stay in the archive: no cache of WebKit's keeps a copy.
    soup_message_headers_replace(Out, "Cache-Control", "no-store");
    soup_message_headers_replace(Out, "X-Content-Type-Options", "nosniff");
    // The application's documents may also read their media as data.
    const char* Origin =
        soup_message_headers_get_one(soup_server_message_get_request_headers(Message), "Origin");
    const std::string AppOrigin = AppPrefix().substr(0, AppPrefix().size() - 1);
    if (Origin && AppOrigin == Origin)
        soup_message_headers_replace(Out, "Access-Control-Allow-Origin", Origin);
    soup_message_headers_append(Out, "Vary", "Origin");
    soup_message_headers_set_content_length(Out, static_cast<goffset>(Body->Left));
    if (soup_server_message_get_method(Message) == SOUP_METHOD_HEAD)
        return;
    Body->Content = std::move(Content);
    soup_message_body_set_accumulate(soup_server_message_get_response_body(Message), FALSE);
    g_object_set_data_full(G_OBJECT(Message), BodyKey, Body.release(),
                           [](gpointer Data) { delete static_cast<TBody*>(Data); });
    g_signal_connect(Message, "wrote-chunk", G_CALLBACK(WriteNextChunk), nullptr);
    WriteNextChunk(Message, nullptr);
}

void OnRequest(SoupServer*, SoupServerMessage* Message, const char*, GHashTable*, gpointer) {
    TEndpoint& Self = Endpoint();
    const char* Method = soup_server_message_get_method(Message);
    if (Method != SOUP_METHOD_GET && Method != SOUP_METHOD_HEAD) {
        Refuse(Message, SOUP_STATUS_METHOD_NOT_ALLOWED);
        soup_message_headers_replace(soup_server_message_get_response_headers(Message), "Allow", "GET, HEAD");
        return;
    }
    SoupMessageHeaders* In = soup_server_message_get_request_headers(Message);
    const char* Host = soup_message_headers_get_one(In, "Host");
    if (!Host || Self.Host != Host) {
        Refuse(Message, SOUP_STATUS_MISDIRECTED_REQUEST);
        return;
    }
    // "/TOKEN/PATH", PATH as the page wrote it (percent-encoded).
    GUri* Uri = soup_server_message_get_uri(Message);
    const std::string_view Path = g_uri_get_path(Uri);
    const std::size_t Slash = Path.size() > 1 ? Path.find('/', 1) : std::string_view::npos;
    TWebView* View = Slash == std::string_view::npos ? nullptr : ViewOfToken(Path.substr(1, Slash - 1));
    if (!View || Slash + 1 >= Path.size()) {
        Refuse(Message, SOUP_STATUS_NOT_FOUND);
        return;
    }
    std::string Address = AppPrefix() + std::string(Path.substr(Slash + 1));
    if (const char* Query = g_uri_get_query(Uri))
        Address += std::string("?") + Query;
    // The host may answer later (a deferral): the message waits paused.
    struct TWait {
        bool Answered = false, Paused = false;
    };
    auto Wait = std::make_shared<TWait>();
    g_object_ref(Message);
    View->HandleMediaRequest(Address, Method, HeaderLines(In),
                             [Message, Wait](ICoreWebView2WebResourceResponse* Response) {
                                 Answer(Message, Response);
                                 Wait->Answered = true;
                                 if (Wait->Paused)
                                     soup_server_message_unpause(Message);
                                 g_object_unref(Message);
                             });
    if (!Wait->Answered) {
        Wait->Paused = true;
        soup_server_message_pause(Message);
    }
}

bool Open(TEndpoint& Self) {
    SoupServer* Server = soup_server_new("server-header", nullptr, nullptr);
    GError* Error = nullptr;
    if (!soup_server_listen_local(Server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &Error)) {
        g_printerr("norvane-engine: the media endpoint cannot listen: %s\n", Error ? Error->message : "");
        g_clear_error(&Error);
        g_object_unref(Server);
        return false;
    }
    guint Port = 0;
    GSList* Uris = soup_server_get_uris(Server);
    if (Uris)
        Port = static_cast<guint>(g_uri_get_port(static_cast<GUri*>(Uris->data)));
    g_slist_free_full(Uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    if (Port == 0 || Port > std::numeric_limits<guint16>::max()) {
        soup_server_disconnect(Server);
        g_object_unref(Server);
        return false;
    }
    soup_server_add_handler(Server, nullptr, OnRequest, nullptr, nullptr);
    Self.Server = Server;
    Self.Port = Port;
    Self.Host = "127.0.0.1:" + std::to_string(Port);
    return true;
}

} // namespace

std::string OpenMediaEndpoint(TWebView* View) {
    TEndpoint& Self = Endpoint();
    std::string Token = NewToken();
    if (Token.empty() || (!Self.Server && !Open(Self)))
        return "";
    Self.Views.emplace_back(Token, View);
    return "http://" + Self.Host + "/" + Token + "/";
}

void CloseMediaEndpoint(TWebView* View) {
    TEndpoint& Self = Endpoint();
    std::erase_if(Self.Views, [View](const auto& Entry) { return Entry.second == View; });
    if (Self.Views.empty() && Self.Server) {
        soup_server_disconnect(Self.Server);
        g_object_unref(Self.Server);
        Self.Server = nullptr;
        Self.Port = 0;
        Self.Host.clear();
    }
}

} // namespace Norvane::Engine
