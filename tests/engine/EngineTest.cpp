// Tests of the WebKitGTK engine library through its loader entries and
// interfaces, under a real display (Xvfb in CI), with real content processes.

#include "tests/engine/EngineHarness.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdkkeysyms.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Norvane::Testing;
using namespace Norvane::Testing::EngineHarness;

namespace {

constexpr HRESULT E_PENDING_FOR_TEST = static_cast<HRESULT>(0x8000000Au);

const char* const IndexPage = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>Engine Test</title>
<link rel="stylesheet" href="css/site.css">
<script>window.__firstScriptSaw = window.__documentScriptRan === true;</script>
</head><body><p id="text">h&eacute;llo</p>
<iframe src="frame.html"></iframe>
<script>
window.__received = [];
chrome.webview.addEventListener("message", function (e) { window.__received.push(e.data); });
</script></body></html>)";

const char* const FramePage =
    R"(<!DOCTYPE html><html><head><title>frame</title></head><body>frame</body></html>)";

void ServeApplication(TViewHarness& H) {
    H.Pages["file:///index.html"] = {"text/html", IndexPage};
    H.Pages["file:///frame.html"] = {"text/html", FramePage};
    H.Pages["file:///css/site.css"] = {"text/css", "#text { color: rgb(1, 2, 3); }"};
    H.Pages["file:///data/abs.json"] = {"application/json", R"({"from":"memory"})"};
    H.Pages["file:///second.html"] = {"text/html", PageWithBody("Second", "second")};
}

// An HTTP server on the loopback address that counts the requests for each
// path: "/redirect" answers with a redirect to "/final", any other path with
// a small page.
class TLoopbackServer {
public:
    TLoopbackServer() {
        FSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t Size = sizeof(Address);
        if (bind(FSocket, reinterpret_cast<sockaddr*>(&Address), Size) == 0 && listen(FSocket, 16) == 0 &&
            getsockname(FSocket, reinterpret_cast<sockaddr*>(&Address), &Size) == 0)
            FPort = ntohs(Address.sin_port);
        FThread = std::thread([this] { Serve(); });
    }
    ~TLoopbackServer() {
        shutdown(FSocket, SHUT_RDWR); // ends the waiting accept
        FThread.join();
        close(FSocket);
    }
    std::string Url(const std::string& Path) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + Path;
    }
    int Count(const std::string& Path) {
        const std::lock_guard<std::mutex> Lock(FMutex);
        return FCounts[Path];
    }

private:
    void Serve() {
        for (;;) {
            const int Client = accept(FSocket, nullptr, nullptr);
            if (Client < 0)
                return;
            std::string Request;
            char Buffer[4096];
            while (Request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t Read = recv(Client, Buffer, sizeof(Buffer), 0);
                if (Read <= 0)
                    break;
                Request.append(Buffer, static_cast<std::size_t>(Read));
            }
            const std::size_t Start = Request.find(' ') + 1;
            const std::string Path = Request.substr(Start, Request.find(' ', Start) - Start);
            {
                const std::lock_guard<std::mutex> Lock(FMutex);
                ++FCounts[Path];
            }
            const std::string Body = "<html><head><title>" + Path + "</title></head><body>page</body></html>";
            const std::string Reply = Path == "/redirect"
                                          ? "HTTP/1.1 302 Found\r\nLocation: /final\r\nContent-Length: "
                                            "0\r\nConnection: close\r\n\r\n"
                                          : "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                                std::to_string(Body.size()) +
                                                "\r\nConnection: close\r\n\r\n" + Body;
            for (std::size_t Sent = 0; Sent < Reply.size();) {
                const ssize_t Written = send(Client, Reply.data() + Sent, Reply.size() - Sent, MSG_NOSIGNAL);
                if (Written <= 0)
                    break;
                Sent += static_cast<std::size_t>(Written);
            }
            close(Client);
        }
    }

    int FSocket = -1;
    int FPort = 0;
    std::thread FThread;
    std::mutex FMutex;
    std::map<std::string, int> FCounts;
};

// Whether two JSON texts stand for the same value (object keys in any order).
bool SameJson(const std::string& A, const std::string& B) {
    rapidjson::Document Left, Right;
    Left.Parse(A.c_str());
    Right.Parse(B.c_str());
    return !Left.HasParseError() && !Right.HasParseError() && Left == Right;
}

// Runs Script until it gives something other than null.
std::string Eventually(TViewHarness& H, const std::string& Script) {
    std::string Json = "null";
    RunUntil([&] {
        Json = H.Run(Script).Json;
        return Json != "null";
    });
    return Json;
}

// A key press or release delivered to Widget as the toolkit delivers one.
void SendKey(GtkWidget* Widget, guint Keyval, guint State, bool Press) {
    GdkDisplay* Display = gtk_widget_get_display(Widget);
    GdkEvent* Event = gdk_event_new(Press ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    Event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(Widget)));
    Event->key.send_event = TRUE;
    Event->key.time = GDK_CURRENT_TIME;
    Event->key.state = State;
    Event->key.keyval = Keyval;
    GdkKeymapKey* Keys = nullptr;
    gint Count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(Display), Keyval, &Keys, &Count) &&
        Count > 0) {
        Event->key.hardware_keycode = static_cast<guint16>(Keys[0].keycode);
        Event->key.group = static_cast<guint8>(Keys[0].group);
    }
    g_free(Keys);
    gdk_event_set_device(Event, gdk_seat_get_keyboard(gdk_display_get_default_seat(Display)));
    gtk_widget_event(Widget, Event);
    gdk_event_free(Event);
}

void SendScroll(GtkWidget* Widget, GdkScrollDirection Direction, guint State) {
    GdkDisplay* Display = gtk_widget_get_display(Widget);
    GdkEvent* Event = gdk_event_new(GDK_SCROLL);
    Event->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(Widget)));
    Event->scroll.send_event = TRUE;
    Event->scroll.time = GDK_CURRENT_TIME;
    Event->scroll.direction = Direction;
    Event->scroll.state = State;
    gdk_event_set_device(Event, gdk_seat_get_pointer(gdk_display_get_default_seat(Display)));
    gtk_widget_event(Widget, Event);
    gdk_event_free(Event);
}

struct TImageSize {
    int Width = 0, Height = 0;
};

TImageSize DecodedSize(const std::vector<std::uint8_t>& Bytes) {
    TImageSize Size;
    GdkPixbufLoader* Loader = gdk_pixbuf_loader_new();
    if (gdk_pixbuf_loader_write(Loader, Bytes.data(), Bytes.size(), nullptr) &&
        gdk_pixbuf_loader_close(Loader, nullptr)) {
        if (GdkPixbuf* Pixbuf = gdk_pixbuf_loader_get_pixbuf(Loader)) {
            Size.Width = gdk_pixbuf_get_width(Pixbuf);
            Size.Height = gdk_pixbuf_get_height(Pixbuf);
        }
    }
    g_object_unref(Loader);
    return Size;
}

// Closes the toplevel windows that a test left behind (the engine's pop-ups).
void CloseOtherWindows(const std::vector<GtkWidget*>& Keep) {
    GList* Windows = gtk_window_list_toplevels();
    for (GList* Item = Windows; Item; Item = Item->next) {
        auto* Window = GTK_WIDGET(Item->data);
        if (std::find(Keep.begin(), Keep.end(), Window) == Keep.end() && gtk_widget_get_visible(Window))
            gtk_widget_destroy(Window);
    }
    g_list_free(Windows);
}

GtkWidget* FindWindowTitled(const std::string& Title) {
    GtkWidget* Found = nullptr;
    GList* Windows = gtk_window_list_toplevels();
    for (GList* Item = Windows; Item; Item = Item->next) {
        const char* Text = gtk_window_get_title(GTK_WINDOW(Item->data));
        if (Text && Title == Text && gtk_widget_get_visible(GTK_WIDGET(Item->data)))
            Found = GTK_WIDGET(Item->data);
    }
    g_list_free(Windows);
    return Found;
}

std::string SelfPath() {
    std::error_code Error;
    return std::filesystem::read_symlink("/proc/self/exe", Error).string();
}

} // namespace

// ---------------------------------------------------------------------------
// Loading the library and creating the environment
// ---------------------------------------------------------------------------

TEST(EngineLoader, ExportsTheLoaderEntriesAndReportsTheWebKitVersion) {
    auto& Library = TEngineLibrary::Get();
    ASSERT_TRUE(Library.Loaded()) << Library.Error;

    char* Version = nullptr;
    ASSERT_EQ(Library.BrowserVersion(nullptr, &Version), S_OK);
    const std::string Text = Library.Take(Version);
    EXPECT_EQ(Text, NORVANE_WEBKIT_VERSION); // the installed WebKitGTK

    char* Available = nullptr;
    ASSERT_EQ(Library.AvailableVersion(nullptr, &Available), S_OK);
    EXPECT_EQ(Library.Take(Available), Text);

    EXPECT_EQ(Library.BrowserVersion(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(Library.CreateEnvironment(nullptr), E_POINTER);
}

TEST(EngineLoader, EnvironmentAskedForOnAWorkerThreadCompletesOnTheMainThread) {
    TEnvironmentResult Result = CreateEnvironment(true);
    ASSERT_EQ(Result.Code, S_OK);
    ASSERT_TRUE(Result.Environment);
    EXPECT_TRUE(Result.CompletedOnMainThread);

    auto& Library = TEngineLibrary::Get();
    char* FromEnvironment = nullptr;
    ASSERT_EQ(Result.Environment->get_BrowserVersionString(&FromEnvironment), S_OK);
    char* FromLoader = nullptr;
    Library.BrowserVersion(nullptr, &FromLoader);
    EXPECT_EQ(Library.Take(FromEnvironment), Library.Take(FromLoader));

    // The environment answers QueryInterface for what it is, and only that.
    TComPtr<ICoreWebView2Environment> Same;
    EXPECT_EQ(Result.Environment.As(Same), S_OK);
    TComPtr<ICoreWebView2> NotAView;
    EXPECT_EQ(Result.Environment.As(NotAView), E_NOINTERFACE);
    EXPECT_FALSE(NotAView);

    // Loaded into a local scope, the library and WebKit join the program's
    // global scope with the environment, where GTK looks up types by name.
    EXPECT_NE(::dlsym(RTLD_DEFAULT, "webkit_web_view_new"), nullptr);
}

TEST(EngineLoader, ControllerRequestsWithoutAUsableParentAreRefused) {
    TEnvironmentResult Result = CreateEnvironment(false);
    ASSERT_EQ(Result.Code, S_OK);
    int Calls = 0;
    auto Handler = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [&](HRESULT, ICoreWebView2Controller*) {
            ++Calls;
            return S_OK;
        });
    EXPECT_EQ(Result.Environment->CreateCoreWebView2Controller(nullptr, Handler.Get()), E_INVALIDARG);
    GtkWidget* Label = g_object_ref_sink(gtk_label_new("not a container"));
    EXPECT_EQ(Result.Environment->CreateCoreWebView2Controller(Label, Handler.Get()), E_INVALIDARG);
    g_object_unref(Label);
    THostWindow Host(200, 100);
    EXPECT_EQ(Result.Environment->CreateCoreWebView2Controller(Host.Parent(), nullptr), E_POINTER);

    // A parent that already holds its one child cannot take the engine's.
    gtk_container_add(GTK_CONTAINER(Host.Parent()), gtk_label_new("taken"));
    HRESULT Completion = S_OK;
    TComPtr<ICoreWebView2Controller> Controller;
    auto Second = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [&](HRESULT Code, ICoreWebView2Controller* Made) {
            Completion = Code;
            Controller = TComPtr<ICoreWebView2Controller>(Made);
            ++Calls;
            return S_OK;
        });
    ASSERT_EQ(Result.Environment->CreateCoreWebView2Controller(Host.Parent(), Second.Get()), S_OK);
    ASSERT_TRUE(RunUntil([&] { return Calls == 1; }));
    EXPECT_TRUE(FAILED(Completion));
    EXPECT_FALSE(Controller);
}

// ---------------------------------------------------------------------------
// The view inside the parent window
// ---------------------------------------------------------------------------

TEST(EngineView, OneChildInTheParentPlacesTheViewAtTheBounds) {
    TViewHarness H;
    ASSERT_TRUE(H.Create(800, 600));
    GtkWidget* Child = H.EngineChild();
    ASSERT_TRUE(Child);
    GList* ParentChildren = gtk_container_get_children(GTK_CONTAINER(H.Host->Parent()));
    EXPECT_EQ(g_list_length(ParentChildren), 1u);
    g_list_free(ParentChildren);
    GtkWidget* View = H.WebKitWidget();
    ASSERT_TRUE(View);

    // The child asks for no size, so the window can shrink below the view.
    gint Minimum = -1, Natural = -1;
    gtk_widget_get_preferred_width(Child, &Minimum, &Natural);
    EXPECT_EQ(Minimum, 0);
    gtk_widget_get_preferred_height(Child, &Minimum, &Natural);
    EXPECT_EQ(Minimum, 0);

    auto Placed = [&](int X, int Y, int Width, int Height) {
        return RunUntil(
            [&] {
                GtkAllocation HostArea, ViewArea;
                gtk_widget_get_allocation(Child, &HostArea);
                gtk_widget_get_allocation(View, &ViewArea);
                return ViewArea.x - HostArea.x == X && ViewArea.y - HostArea.y == Y &&
                       ViewArea.width == Width && ViewArea.height == Height;
            },
            10);
    };
    EXPECT_TRUE(Placed(0, 0, 800, 600));
    ASSERT_EQ(H.Controller->put_Bounds(RECT{0, 0, 400, 300}), S_OK);
    EXPECT_TRUE(Placed(0, 0, 400, 300));
    ASSERT_EQ(H.Controller->put_Bounds(RECT{10, 20, 410, 320}), S_OK);
    EXPECT_TRUE(Placed(10, 20, 400, 300));
    RECT Bounds{};
    ASSERT_EQ(H.Controller->get_Bounds(&Bounds), S_OK);
    EXPECT_EQ(Bounds.left, 10);
    EXPECT_EQ(Bounds.bottom, 320);

    // A window smaller than the bounds cuts the view off at its edge.
    gtk_window_resize(GTK_WINDOW(H.Host->Window()), 200, 150);
    EXPECT_TRUE(RunUntil([&] { return gtk_widget_get_allocated_width(Child) == 200; }, 10));
    EXPECT_TRUE(Placed(10, 20, 190, 130));

    ASSERT_EQ(H.Controller->put_IsVisible(FALSE), S_OK);
    EXPECT_FALSE(gtk_widget_get_visible(Child));
    BOOL Visible = TRUE;
    H.Controller->get_IsVisible(&Visible);
    EXPECT_EQ(Visible, FALSE);
    ASSERT_EQ(H.Controller->put_IsVisible(-1), S_OK);
    EXPECT_TRUE(gtk_widget_get_visible(Child));
}

TEST(EngineView, ServesThePagesThroughTheResourceFilterFromMemory) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    TempDir Disk;
    WriteFile(Disk / "disk.txt", "read from disk");

    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(H.Source(), "file:///index.html");
    EXPECT_EQ(H.Title(), "Engine Test");
    ASSERT_FALSE(H.Titles.empty());
    EXPECT_EQ(H.Titles.back(), "Engine Test");
    EXPECT_EQ(H.StartingUris.front(), "file:///index.html");

    // The handler saw file:/// addresses, the page's relative ones included,
    // and what it answered is what the page got (the style sheet applies).
    auto Seen = [&](const std::string& Uri) {
        return std::find(H.Requests.begin(), H.Requests.end(), Uri) != H.Requests.end();
    };
    EXPECT_TRUE(Seen("file:///index.html"));
    EXPECT_TRUE(Seen("file:///css/site.css"));
    EXPECT_TRUE(Seen("file:///frame.html"));
    EXPECT_EQ(H.Run("getComputedStyle(document.getElementById('text')).color").Json, "\"rgb(1, 2, 3)\"");
    EXPECT_EQ(H.Run("document.getElementById('text').textContent").Json, "\"h\xC3\xA9llo\"");

    // An absolute file:/// address inside the page reaches the same handler.
    H.Run("fetch('file:///data/abs.json').then(r => r.json()).then(j => window.__abs = j.from,"
          " e => window.__abs = 'failed: ' + e); 0");
    EXPECT_EQ(Eventually(H, "window.__abs"), "\"memory\"");
    EXPECT_TRUE(Seen("file:///data/abs.json"));

    // Without an answer the engine loads the address itself: the real file.
    const std::string DiskUri = "file://" + (Disk.Path() / "disk.txt").string();
    H.Run("fetch('" + DiskUri +
          "').then(r => r.text()).then(t => window.__disk = t,"
          " e => window.__disk = 'failed: ' + e); 0");
    EXPECT_EQ(Eventually(H, "window.__disk"), "\"read from disk\"");
    EXPECT_TRUE(Seen(DiskUri));

    // The page's own origin stays the same for every page of the application.
    EXPECT_EQ(H.Run("location.origin").Json, "\"norvane://app\"");
    EXPECT_EQ(H.Run("window.isSecureContext").Json, "true");

    H.Run("document.title = 'Renamed'");
    EXPECT_TRUE(RunUntil([&] { return !H.Titles.empty() && H.Titles.back() == "Renamed"; }));
    EXPECT_EQ(H.Title(), "Renamed");
}

TEST(EngineView, ResponsesAreReadAsStreamsWithTheirStatusAndHeaders) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    std::string large(3 << 20, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4096)
        large[i] = static_cast<char>('a' + (i / 4096) % 26);
    H.Pages["file:///large.bin"] = {"application/octet-stream", large};
    H.Pages["file:///part.bin"] = {"application/octet-stream", "cde", 206, "Content-Range: bytes 2-4/10"};
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    // Several reads of the stream: the whole body arrives in order.
    H.Run("fetch('file:///large.bin').then(r => r.text()).then(t => window.__large = t.length + ':' +"
          " t.charAt(4096 * 25) + t.charAt(4096 * 700), e => window.__large = 'failed: ' + e); 0");
    EXPECT_EQ(Eventually(H, "window.__large"), "\"3145728:zy\"");
    // A range request reaches the handler with its header; the partial answer
    // keeps its status and Content-Range.
    H.Run("fetch('file:///part.bin', {headers: {Range: 'bytes=2-4'}}).then(r => r.text().then(t =>"
          " window.__part = r.status + ' ' + r.headers.get('Content-Range') + ' ' + t),"
          " e => window.__part = 'failed: ' + e); 0");
    EXPECT_EQ(Eventually(H, "window.__part"), "\"206 bytes 2-4/10 cde\"");
    auto at = std::find(H.Requests.begin(), H.Requests.end(), "file:///part.bin");
    ASSERT_NE(at, H.Requests.end());
    EXPECT_NE(H.RequestHeaders[static_cast<std::size_t>(at - H.Requests.begin())].find("bytes=2-4"),
              std::string::npos);
}

namespace {

// A content of Bytes whose reading fails once FailAt bytes have been read.
class TFailingStream final : public TComObject<IStream> {
public:
    TFailingStream(std::string Bytes, std::size_t FailAt) : FBytes(std::move(Bytes)), FFailAt(FailAt) {}
    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (ReadCount)
            *ReadCount = 0;
        if (FPosition >= FFailAt)
            return E_FAIL;
        const auto Done = static_cast<ULONG>(std::min<std::size_t>(Count, FFailAt - FPosition));
        std::memcpy(Buffer, FBytes.data() + FPosition, Done);
        FPosition += Done;
        if (ReadCount)
            *ReadCount = Done;
        return S_OK;
    }
    HRESULT NV_STDCALL Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        FPosition =
            static_cast<std::size_t>((Origin == STREAM_SEEK_CUR ? static_cast<INT64>(FPosition) : 0) + Move);
        if (NewPosition)
            *NewPosition = FPosition;
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        *Stats = STATSTG{FBytes.size(), STGTY_STREAM, STGM_READ};
        return S_OK;
    }

private:
    std::string FBytes;
    std::size_t FFailAt;
    std::size_t FPosition = 0;
};

} // namespace

// A small content is taken from the stream's current position; one whose
// reading fails part-way fails the page's read of it.
TEST(EngineView, SmallResponsesStartAtTheStreamPositionAndFailWithTheirStream) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    EventRegistrationToken Token{};
    H.View->add_WebResourceRequested(
        Callback<ICoreWebView2WebResourceRequestedEventHandler>(
            [&H](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* Args) {
                TComPtr<ICoreWebView2WebResourceRequest> Request;
                Args->get_Request(Request.Put());
                char* Uri = nullptr;
                Request->get_Uri(&Uri);
                const std::string Address = TEngineLibrary::Get().Take(Uri);
                TComPtr<IStream> Content;
                if (Address == "file:///offset.txt") {
                    Content = TComPtr<IStream>(
                        MakeComObject<TComMemoryStream>(std::string("skipped:served")).Get());
                    Content->Seek(8, STREAM_SEEK_SET, nullptr);
                } else if (Address == "file:///broken.txt") {
                    Content =
                        TComPtr<IStream>(MakeComObject<TFailingStream>(std::string(1000, 'b'), 600).Get());
                } else {
                    return S_OK;
                }
                TComPtr<ICoreWebView2WebResourceResponse> Response;
                H.Environment->CreateWebResourceResponse(Content.Get(), 200, "OK", "Content-Type: text/plain",
                                                         Response.Put());
                Args->put_Response(Response.Get());
                return S_OK;
            })
            .Get(),
        &Token);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.Run("fetch('file:///offset.txt').then(r => r.text()).then(t => window.__offset = t,"
          " e => window.__offset = 'failed'); 0");
    EXPECT_EQ(Eventually(H, "window.__offset"), "\"served\"");
    H.Run("fetch('file:///broken.txt').then(r => r.text()).then(t => window.__broken = 'read ' + t.length,"
          " e => window.__broken = 'failed'); 0");
    EXPECT_EQ(Eventually(H, "window.__broken"), "\"failed\"");
}

TEST(EngineView, DeferredResponsesAreServedWhenTheDeferralCompletes) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    H.DeferResponses = true;
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(H.Title(), "Engine Test");
    EXPECT_EQ(H.Run("getComputedStyle(document.getElementById('text')).color").Json, "\"rgb(1, 2, 3)\"");
}

TEST(EngineView, ExecuteScriptGivesTheValueAsJson) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));

    TScriptResult Object = H.Run("({a: 1, b: [true, null, 'x\"y'], c: {d: 'é'}})");
    EXPECT_EQ(Object.Code, S_OK);
    EXPECT_TRUE(SameJson(Object.Json, R"({"a":1,"b":[true,null,"x\"y"],"c":{"d":"é"}})")) << Object.Json;
    EXPECT_EQ(H.Run("[1, 'two', {three: 3}]").Json, R"([1,"two",{"three":3}])");
    EXPECT_EQ(H.Run("1 + 2").Json, "3");
    EXPECT_EQ(H.Run("undefined").Json, "null");
    EXPECT_EQ(H.Run("var unused = 5;").Json, "null");
    // A script that throws completes with null, as the WebView2 does.
    TScriptResult Thrown = H.Run("throw new Error('no')");
    EXPECT_EQ(Thrown.Code, S_OK);
    EXPECT_EQ(Thrown.Json, "null");
    EXPECT_EQ(H.View->ExecuteScript(nullptr, nullptr), E_INVALIDARG);
}

TEST(EngineView, DocumentScriptsRunFirstInEveryFrameUntilRemoved) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    std::string Id;
    ASSERT_EQ(H.View->AddScriptToExecuteOnDocumentCreated(
                  "window.__documentScriptRan = true; window.__scriptsBefore = document.scripts.length;",
                  Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>(
                      [&](HRESULT Code, const char* NewId) {
                          if (SUCCEEDED(Code) && NewId)
                              Id = NewId;
                          return S_OK;
                      })
                      .Get()),
              S_OK);
    ASSERT_TRUE(RunUntil([&] { return !Id.empty(); }));

    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(H.Run("[window.__firstScriptSaw, window.__scriptsBefore]").Json, "[true,0]");
    EXPECT_EQ(Eventually(H, "document.querySelector('iframe').contentWindow.__documentScriptRan"), "true");

    ASSERT_EQ(H.View->RemoveScriptToExecuteOnDocumentCreated(Id.c_str()), S_OK);
    ASSERT_TRUE(H.NavigateAndWait("file:///second.html"));
    EXPECT_EQ(H.Run("window.__documentScriptRan === undefined").Json, "true");
}

TEST(EngineView, NavigationsOfThePageAndTheirFailures) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    BOOL CanGoBack = TRUE;
    H.View->get_CanGoBack(&CanGoBack);
    EXPECT_EQ(CanGoBack, FALSE);

    // The page's own move to an absolute file:/// address goes to the handler.
    int Before = H.NavigationsCompleted;
    H.Run("location.href = 'file:///second.html'; 0");
    ASSERT_TRUE(H.WaitForNavigation(Before));
    EXPECT_EQ(H.Source(), "file:///second.html");
    EXPECT_EQ(H.StartingUris.back(), "file:///second.html");
    H.View->get_CanGoBack(&CanGoBack);
    EXPECT_NE(CanGoBack, FALSE);

    // A handler that cancels the navigation stops it; the page stays.
    H.OnNavigationStarting = [](ICoreWebView2NavigationStartingEventArgs* Args) { Args->put_Cancel(TRUE); };
    EXPECT_FALSE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(H.LastWebError, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
    EXPECT_EQ(H.Source(), "file:///second.html");
    H.OnNavigationStarting = nullptr;

    // An address with no answer and no file fails.
    EXPECT_FALSE(H.NavigateAndWait("file:///missing-page.html"));
    EXPECT_EQ(H.NavigateAndWait("file:///index.html"), true);
    EXPECT_EQ(H.View->Navigate("not an address"), E_INVALIDARG);
}

// WebKit asks the host about the frames' navigations as it does about the
// page's, without saying which is which; frames of the page being left that
// navigate while the page moves on must not lend it their address.
TEST(EngineView, NavigationStartingNamesThePageWhileFramesNavigateToo) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    std::vector<std::string> Starting;
    std::vector<bool> UserInitiated;
    H.OnNavigationStarting = [&](ICoreWebView2NavigationStartingEventArgs* Args) {
        char* Uri = nullptr;
        Args->get_Uri(&Uri);
        Starting.push_back(TEngineLibrary::Get().Take(Uri));
        BOOL User = FALSE;
        Args->get_IsUserInitiated(&User);
        UserInitiated.push_back(User != FALSE);
    };
    for (int Round = 0; Round < 4; ++Round) {
        ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
        Starting.clear();
        UserInitiated.clear();
        const int Before = H.NavigationsCompleted;
        // The move is decided first; frames added from timers are decided
        // while it is under way (a different number each round).
        H.Run("location.href = 'file:///second.html'; for (let i = 0; i < " + std::to_string(Round + 1) +
              "; ++i) setTimeout(function () { const f = document.createElement('iframe');"
              " f.src = 'frame.html?' + i; document.body.appendChild(f); }, i); 0");
        ASSERT_TRUE(H.WaitForNavigation(Before));
        EXPECT_EQ(H.Source(), "file:///second.html");
        EXPECT_EQ(Starting, std::vector<std::string>{"file:///second.html"}) << "round " << Round;
    }
    // A load the host asked for is no user's.
    Starting.clear();
    UserInitiated.clear();
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(Starting, std::vector<std::string>{"file:///index.html"});
    EXPECT_EQ(UserInitiated, std::vector<bool>{false});
}

// A navigation cancelled in NavigationStarting never reaches the server: the
// page's own move, the host's, and a redirect are refused before their
// requests are sent; a redirect is announced under its navigation's id.
TEST(EngineView, ACancelledNavigationSendsNoRequest) {
    TLoopbackServer Server;
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ASSERT_TRUE(H.NavigateAndWait(Server.Url("/start")));
    struct TStart {
        std::string Uri;
        bool Redirected;
        UINT64 Id;
        std::string Headers;
    };
    std::vector<TStart> Starts;
    H.OnNavigationStarting = [&](ICoreWebView2NavigationStartingEventArgs* Args) {
        char *Uri = nullptr, *Headers = nullptr;
        BOOL Redirected = FALSE;
        UINT64 Id = 0;
        Args->get_Uri(&Uri);
        Args->get_IsRedirected(&Redirected);
        Args->get_NavigationId(&Id);
        Args->get_RequestHeaders(&Headers);
        const TEngineLibrary& Library = TEngineLibrary::Get();
        Starts.push_back({Library.Take(Uri), Redirected != FALSE, Id, Library.Take(Headers)});
        const std::string& Address = Starts.back().Uri;
        if (Address.ends_with("/target") || Address.ends_with("/final"))
            Args->put_Cancel(TRUE);
    };

    auto Move = [&](const std::string& Path) {
        const int Before = H.NavigationsCompleted;
        H.Run("location.href = '" + Path + "'; 0");
        return RunUntil([&] { return H.NavigationsCompleted > Before; });
    };
    ASSERT_TRUE(Move("/target"));
    EXPECT_FALSE(H.LastNavigationSuccess);
    EXPECT_EQ(H.LastWebError, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
    ASSERT_EQ(Starts.size(), 1u);
    EXPECT_EQ(Starts[0].Uri, Server.Url("/target"));
    EXPECT_NE(Starts[0].Headers.find("Referer: " + Server.Url("/start")), std::string::npos)
        << Starts[0].Headers;

    EXPECT_FALSE(H.NavigateAndWait(Server.Url("/target")));

    Starts.clear();
    ASSERT_TRUE(Move("/redirect"));
    EXPECT_FALSE(H.LastNavigationSuccess);
    ASSERT_EQ(Starts.size(), 2u);
    EXPECT_EQ(Starts[0].Uri, Server.Url("/redirect"));
    EXPECT_FALSE(Starts[0].Redirected);
    EXPECT_EQ(Starts[1].Uri, Server.Url("/final"));
    EXPECT_TRUE(Starts[1].Redirected);
    EXPECT_EQ(Starts[1].Id, Starts[0].Id);

    RunFor(0.3); // a request sent late would have arrived by now
    EXPECT_EQ(Server.Count("/target"), 0);
    EXPECT_EQ(Server.Count("/redirect"), 1);
    EXPECT_EQ(Server.Count("/final"), 0);
    EXPECT_EQ(H.Source(), Server.Url("/start"));

    // A navigation let go, the page's or the host's, is announced once.
    for (const bool ByPage : {true, false}) {
        Starts.clear();
        if (ByPage) {
            ASSERT_TRUE(Move("/other"));
        } else {
            const int Before = H.NavigationsCompleted;
            ASSERT_EQ(H.View->NavigateToString("<p>text</p>"), S_OK);
            ASSERT_TRUE(H.WaitForNavigation(Before));
        }
        EXPECT_TRUE(H.LastNavigationSuccess);
        ASSERT_EQ(Starts.size(), 1u);
        EXPECT_EQ(Starts[0].Uri, ByPage ? Server.Url("/other") : "about:blank");
    }
}

TEST(EngineView, ALoadReportsItsNotificationsInOrder) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    std::vector<std::string> Order;
    EventRegistrationToken Token{};
    H.View->add_SourceChanged(
        Callback<ICoreWebView2SourceChangedEventHandler>([&](ICoreWebView2*,
                                                             ICoreWebView2SourceChangedEventArgs* Args) {
            BOOL IsNew = FALSE;
            Args->get_IsNewDocument(&IsNew);
            Order.push_back(IsNew ? "source(new)" : "source(same)");
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_ContentLoading(
        Callback<ICoreWebView2ContentLoadingEventHandler>([&](ICoreWebView2*,
                                                              ICoreWebView2ContentLoadingEventArgs* Args) {
            BOOL IsError = TRUE;
            Args->get_IsErrorPage(&IsError);
            Order.push_back(IsError ? "content(error)" : "content");
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_HistoryChanged(
        Callback<ICoreWebView2HistoryChangedEventHandler>([&](ICoreWebView2*, IUnknown*) {
            Order.push_back("history");
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_NavigationStarting(
        Callback<ICoreWebView2NavigationStartingEventHandler>([&](ICoreWebView2*,
                                                                  ICoreWebView2NavigationStartingEventArgs*) {
            Order.push_back("starting");
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_NavigationCompleted(Callback<ICoreWebView2NavigationCompletedEventHandler>(
                                        [&](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*) {
                                            Order.push_back("completed");
                                            return S_OK;
                                        })
                                        .Get(),
                                    &Token);

    EXPECT_EQ(H.Source(), "about:blank");
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    // History may change once or twice around the commit; the rest is fixed.
    std::vector<std::string> WithoutHistory;
    std::copy_if(Order.begin(), Order.end(), std::back_inserter(WithoutHistory),
                 [](const std::string& Item) { return Item != "history"; });
    EXPECT_EQ(WithoutHistory, (std::vector<std::string>{"starting", "source(new)", "content", "completed"}));
    EXPECT_NE(std::find(Order.begin(), Order.end(), "history"), Order.end());

    // A move inside the document changes the address, not the document.
    Order.clear();
    H.Run("location.hash = 'part'; 0");
    ASSERT_TRUE(
        RunUntil([&] { return std::find(Order.begin(), Order.end(), "source(same)") != Order.end(); }));
    EXPECT_EQ(H.Source(), "file:///index.html#part");
    EXPECT_EQ(std::find(Order.begin(), Order.end(), "starting"), Order.end());

    // The engine's error page for a missing page is a content load of its own.
    Order.clear();
    EXPECT_FALSE(H.NavigateAndWait("file:///not-there.html"));
    EXPECT_TRUE(
        RunUntil([&] { return std::find(Order.begin(), Order.end(), "content(error)") != Order.end(); }));
    EXPECT_EQ(std::count(Order.begin(), Order.end(), "starting"), 1);

    // Back and forward through the history.
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_TRUE(H.NavigateAndWait("file:///second.html"));
    Order.clear();
    ASSERT_EQ(H.View->GoBack(), S_OK);
    ASSERT_TRUE(RunUntil([&] { return H.Source() == "file:///index.html"; }));
    BOOL CanGoForward = FALSE;
    ASSERT_TRUE(RunUntil([&] { return SUCCEEDED(H.View->get_CanGoForward(&CanGoForward)) && CanGoForward; }));
    EXPECT_EQ(std::count(Order.begin(), Order.end(), "source(same)"), 0);

    // NavigateToString shows the text.
    const int Before = H.NavigationsCompleted;
    ASSERT_EQ(H.View->NavigateToString("<html><head><title>From text</title></head><body>t</body></html>"),
              S_OK);
    ASSERT_TRUE(H.WaitForNavigation(Before));
    EXPECT_TRUE(RunUntil([&] { return H.Title() == "From text"; }));
    EXPECT_EQ(H.Source(), "about:blank");
}

TEST(EngineView, FocusFullScreenAndWindowCloseAreReported) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    int Got = 0, Lost = 0, CloseRequests = 0, FullScreenChanges = 0;
    EventRegistrationToken Token{};
    H.Controller->add_GotFocus(
        Callback<ICoreWebView2FocusChangedEventHandler>([&](ICoreWebView2Controller*, IUnknown*) {
            ++Got;
            return S_OK;
        }).Get(),
        &Token);
    H.Controller->add_LostFocus(
        Callback<ICoreWebView2FocusChangedEventHandler>([&](ICoreWebView2Controller*, IUnknown*) {
            ++Lost;
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_WindowCloseRequested(
        Callback<ICoreWebView2WindowCloseRequestedEventHandler>([&](ICoreWebView2*, IUnknown*) {
            ++CloseRequests;
            return S_OK;
        }).Get(),
        &Token);
    H.View->add_ContainsFullScreenElementChanged(
        Callback<ICoreWebView2ContainsFullScreenElementChangedEventHandler>([&](ICoreWebView2*, IUnknown*) {
            ++FullScreenChanges;
            return S_OK;
        }).Get(),
        &Token);

    gtk_window_present(GTK_WINDOW(H.Host->Window()));
    ASSERT_TRUE(RunUntil([&] { return gtk_window_is_active(GTK_WINDOW(H.Host->Window())); }, 10));
    ASSERT_EQ(H.Controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC), S_OK);
    EXPECT_TRUE(RunUntil([&] { return Got >= 1; }));
    EXPECT_TRUE(gtk_widget_has_focus(H.WebKitWidget()));
    gtk_window_set_focus(GTK_WINDOW(H.Host->Window()), nullptr);
    EXPECT_TRUE(RunUntil([&] { return Lost >= 1; }));

    H.Run("document.getElementById('text').requestFullscreen(); 0");
    ASSERT_TRUE(RunUntil([&] { return FullScreenChanges >= 1; }));
    BOOL FullScreen = FALSE;
    H.View->get_ContainsFullScreenElement(&FullScreen);
    EXPECT_NE(FullScreen, FALSE);
    // The page sees its element full screen; the window is left to the host.
    EXPECT_EQ(Eventually(H, "document.fullscreenElement ? document.fullscreenElement.id : null"), "\"text\"");
    EXPECT_FALSE(gdk_window_get_state(gtk_widget_get_window(H.Host->Window())) & GDK_WINDOW_STATE_FULLSCREEN);
    H.Run("document.exitFullscreen(); 0");
    ASSERT_TRUE(RunUntil([&] { return FullScreenChanges >= 2; }));
    EXPECT_EQ(Eventually(H, "document.fullscreenElement === null ? true : null"), "true");
    H.View->get_ContainsFullScreenElement(&FullScreen);
    EXPECT_EQ(FullScreen, FALSE);

    // The page asks to close; the view itself stays until the host closes it.
    H.Run("window.close(); 0");
    EXPECT_TRUE(RunUntil([&] { return CloseRequests == 1; }));
    EXPECT_EQ(H.Run("1").Json, "1");
}

TEST(EngineView, ClosingRemovesTheViewAndLaterCallsReportIt) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    // The eight switches start on, as WebView2's do.
    using TGetter = HRESULT (NV_STDCALL ICoreWebView2Settings::*)(BOOL*);
    for (TGetter Get :
         {&ICoreWebView2Settings::get_IsScriptEnabled, &ICoreWebView2Settings::get_IsWebMessageEnabled,
          &ICoreWebView2Settings::get_AreDefaultScriptDialogsEnabled,
          &ICoreWebView2Settings::get_IsStatusBarEnabled, &ICoreWebView2Settings::get_AreDevToolsEnabled,
          &ICoreWebView2Settings::get_AreDefaultContextMenusEnabled,
          &ICoreWebView2Settings::get_IsZoomControlEnabled,
          &ICoreWebView2Settings::get_IsBuiltInErrorPageEnabled}) {
        BOOL Value = FALSE;
        EXPECT_EQ((H.Settings.Get()->*Get)(&Value), S_OK);
        EXPECT_NE(Value, FALSE);
    }
    // DevTools protocol events have no counterpart in WebKit: a failure code.
    TComPtr<ICoreWebView2DevToolsProtocolEventReceiver> Receiver;
    EXPECT_TRUE(FAILED(H.View->GetDevToolsProtocolEventReceiver("Runtime.consoleAPICalled", Receiver.Put())));
    EXPECT_FALSE(Receiver);
    ASSERT_EQ(H.Controller->Close(), S_OK);
    EXPECT_EQ(gtk_bin_get_child(GTK_BIN(H.Host->Parent())), nullptr);
    EXPECT_EQ(H.View->Navigate("file:///index.html"), HRESULT_ERROR_INVALID_STATE);
    EXPECT_EQ(H.View->ExecuteScript("1", nullptr), HRESULT_ERROR_INVALID_STATE);
    EXPECT_EQ(H.Controller->put_Bounds(RECT{0, 0, 1, 1}), HRESULT_ERROR_INVALID_STATE);
    // The settings object of the closed view still answers.
    BOOL Enabled = FALSE;
    EXPECT_EQ(H.Settings->get_IsScriptEnabled(&Enabled), S_OK);
    EXPECT_NE(Enabled, FALSE);
    EXPECT_EQ(H.Controller->Close(), S_OK);
}

// ---------------------------------------------------------------------------
// Web messages
// ---------------------------------------------------------------------------

TEST(EngineMessages, PageAndHostExchangeJsonAndStrings) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));

    H.Run("chrome.webview.postMessage({k: 1, s: 'x'}); chrome.webview.postMessage('h\u00e9llo \u2713'); 0");
    ASSERT_TRUE(H.WaitForMessages(2));
    EXPECT_EQ(H.Messages[0], R"({"k":1,"s":"x"})");
    EXPECT_EQ(H.StringMessages[0], "<not a string>");
    EXPECT_EQ(H.Messages[1], "\"h\xC3\xA9llo \xE2\x9C\x93\"");
    EXPECT_EQ(H.StringMessages[1], "h\xC3\xA9llo \xE2\x9C\x93");

    ASSERT_EQ(H.View->PostWebMessageAsJson(R"({"reply":[1,2],"__proto__":{"p":1}})"), S_OK);
    ASSERT_EQ(H.View->PostWebMessageAsString("text \"q\"\u2028end"), S_OK);
    EXPECT_EQ(Eventually(H, "window.__received.length === 2 ? true : null"), "true");
    // data is the parsed JSON: "__proto__" stays an own key, as with JSON.parse.
    EXPECT_EQ(H.Run("window.__received[0].reply[1] === 2 && Object.keys(window.__received[0]).join() === "
                    "'reply,__proto__' && Object.getPrototypeOf(window.__received[0]) === Object.prototype")
                  .Json,
              "true");
    EXPECT_EQ(H.Run("window.__received[1] === 'text \"q\"\\u2028end'").Json, "true");

    EXPECT_EQ(H.View->PostWebMessageAsJson("{bad"), E_INVALIDARG);
    EXPECT_EQ(H.View->PostWebMessageAsJson("1); alert(2); (1"), E_INVALIDARG);
    EXPECT_EQ(H.View->PostWebMessageAsJson(nullptr), E_INVALIDARG);
}

TEST(EngineMessages, AListenerThatRemovesItselfDoesNotHideTheMessageFromOthers) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.Run("window.__order = [];"
          "const a = function () { window.__order.push('a'); chrome.webview.removeEventListener('message', "
          "a); };"
          "chrome.webview.addEventListener('message', a);"
          "chrome.webview.addEventListener('message', function () { window.__order.push('b'); }); 0");
    H.View->PostWebMessageAsJson("1");
    H.View->PostWebMessageAsJson("2");
    EXPECT_EQ(Eventually(H, "window.__order.length === 3 ? window.__order.join('') : null"), "\"abb\"");
    EXPECT_EQ(H.Run("chrome.webview instanceof EventTarget").Json, "true");
}

TEST(EngineMessages, OnlyTheTopDocumentReachesTheHost) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    // Neither the frame nor the page's own world holds the channel's native end.
    EXPECT_EQ(Eventually(H,
                         "document.querySelector('iframe').contentWindow.document.readyState === 'complete'"
                         " ? [typeof frames[0].chrome, typeof (window.webkit && window.webkit.messageHandlers"
                         " && window.webkit.messageHandlers.norvaneWebview)] : null"),
              R"(["undefined","undefined"])");
}

TEST(EngineMessages, OnlyTheApplicationsOwnDocumentsGetTheHostsScriptsAndChannel) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    bool Added = false;
    ASSERT_EQ(
        H.View->AddScriptToExecuteOnDocumentCreated(
            "window.__hostScript = true;",
            Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>([&](HRESULT,
                                                                                           const char*) {
                return Added = true, S_OK;
            }).Get()),
        S_OK);
    ASSERT_TRUE(RunUntil([&] { return Added; }));

    // A document made by an application page from an object address keeps both.
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    int Before = H.NavigationsCompleted;
    H.Run("location.href = URL.createObjectURL(new Blob(['<p>made here</p>'], {type: 'text/html'})); 0");
    ASSERT_TRUE(H.WaitForNavigation(Before));
    EXPECT_EQ(H.Run("[window.__hostScript === true, typeof chrome.webview]").Json, R"([true,"object"])");
    H.Run("chrome.webview.postMessage('from blob'); 0");
    ASSERT_TRUE(H.WaitForMessages(1));
    EXPECT_EQ(H.MessageSources[0].rfind("blob:file:///", 0), 0u) << H.MessageSources[0];

    // A document at no address of the application gets neither.
    ASSERT_TRUE(H.NavigateAndWait("data:text/html,<p>not the application's</p>"));
    EXPECT_EQ(H.Run("[typeof window.__hostScript, typeof window.chrome]").Json,
              R"(["undefined","undefined"])");
    // A listener made by that document hears nothing of the host.
    H.Run("window.chrome = {webview: {__norvaneDispatch: function (m) { document.title = 'got ' + m; }}}; 0");
    ASSERT_EQ(H.View->PostWebMessageAsJson(R"({"secret":1})"), S_OK);
    RunFor(0.3);
    EXPECT_EQ(H.Run("document.title").Json, "\"\"");
}

// Bytes the host answers without marking them as the payload's (a file from
// the disk) serve the application's pages as resources, never as documents:
// not at the top, not in a frame, whatever their address.
TEST(EngineMessages, OnlyThePayloadsBytesMakeADocumentOfTheApplication) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    TServedPage Disk("text/html",
                     PageWithBody("Disk", "<script>chrome.webview.postMessage('from disk')</script>"));
    Disk.FromPayload = false;
    H.Pages["file:///home/user/chain.html"] = Disk;

    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.Run("fetch('file:///home/user/chain.html').then(r => r.text()).then(t => window.__fetched = t.length > "
          "0); 0");
    EXPECT_EQ(Eventually(H, "window.__fetched"), "true");

    H.Run("const f = document.createElement('iframe'); f.src = 'file:///home/user/chain.html';"
          " document.body.appendChild(f); 0");
    RunFor(0.5);
    H.Run("location.href = 'file:///home/user/chain.html'; 0");
    RunFor(1.0);
    EXPECT_EQ(H.Source(), "file:///index.html");
    EXPECT_EQ(H.Title(), "Engine Test");
    EXPECT_TRUE(H.Messages.empty());
    EXPECT_EQ(H.Run("[...document.querySelectorAll('iframe')].map(f => { try { return "
                    "f.contentDocument.title; } catch (e) { return 'closed'; } }).includes('Disk')")
                  .Json,
              "false");
}

// The widget of the given type under Widget, or null.
GtkWidget* FindWidgetOfType(GtkWidget* Widget, const char* TypeName) {
    if (std::strcmp(G_OBJECT_TYPE_NAME(Widget), TypeName) == 0)
        return Widget;
    if (!GTK_IS_CONTAINER(Widget))
        return nullptr;
    GList* Children = gtk_container_get_children(GTK_CONTAINER(Widget));
    GtkWidget* Found = nullptr;
    for (GList* Item = Children; Item && !Found; Item = Item->next)
        Found = FindWidgetOfType(GTK_WIDGET(Item->data), TypeName);
    g_list_free(Children);
    return Found;
}

// Runs Script in the message world of the view's top document, where the
// channel's native end lives, through WebKit's own entry (the engine library
// holds WebKit loaded; the tests do not link it).
void RunInMessageWorld(TViewHarness& H, const std::string& Script) {
    using TEvaluate = void (*)(GtkWidget*, const char*, gssize, const char*, const char*, GCancellable*,
                               GAsyncReadyCallback, gpointer);
    void* WebKit = dlopen("libwebkit2gtk-4.1.so.0", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(WebKit, nullptr);
    auto Evaluate = reinterpret_cast<TEvaluate>(dlsym(WebKit, "webkit_web_view_evaluate_javascript"));
    GtkWidget* View = FindWidgetOfType(H.Host->Parent(), "WebKitWebView");
    ASSERT_TRUE(Evaluate && View);
    Evaluate(View, Script.c_str(), -1, "norvane", nullptr, nullptr, nullptr, nullptr);
}

TEST(EngineMessages, TheHostTakesMessagesOnlyFromTheApplicationsOwnTopDocument) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    const std::string Post = "window.webkit.messageHandlers.norvaneWebview.postMessage(";
    testing::internal::CaptureStderr();
    RunInMessageWorld(H, Post + R"('http://127.0.0.1:9/remote.html\n{"a":1}'))");
    RunInMessageWorld(H, Post + R"('{"a":2}'))");
    // Sent as the forwarder sends: it arrives, after the two before it.
    RunInMessageWorld(H, Post + R"('norvane://app/index.html\n{"a":3}'))");
    EXPECT_TRUE(H.WaitForMessages(1));
    // A document at no address of the application that claims one.
    const int Before = H.NavigationsCompleted;
    ASSERT_EQ(H.View->NavigateToString("<p>not the application's</p>"), S_OK);
    ASSERT_TRUE(H.WaitForNavigation(Before));
    RunInMessageWorld(H, Post + R"('norvane://app/index.html\n{"a":4}'))");
    RunFor(0.5);
    const std::string Refusals = testing::internal::GetCapturedStderr();
    ASSERT_EQ(H.Messages.size(), 1u);
    EXPECT_EQ(H.Messages[0], R"({"a":3})");
    EXPECT_EQ(H.MessageSources[0], "file:///index.html");
    EXPECT_NE(Refusals.find("refused a web message from http://127.0.0.1:9/remote.html\n"), std::string::npos)
        << Refusals;
    EXPECT_NE(Refusals.find("refused a web message from about:blank\n"), std::string::npos) << Refusals;
}

TEST(EngineMessages, MessagesAreDroppedWhileWebMessagesAreOff) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_EQ(H.Settings->put_IsWebMessageEnabled(FALSE), S_OK);
    H.Run("chrome.webview.postMessage('while off'); 0");
    EXPECT_EQ(H.View->PostWebMessageAsJson("1"), E_ACCESSDENIED);
    ASSERT_EQ(H.Settings->put_IsWebMessageEnabled(TRUE), S_OK);
    H.Run("chrome.webview.postMessage('after'); 0");
    ASSERT_TRUE(H.WaitForMessages(1));
    // The channel keeps order: had the first been delivered, it would be first.
    ASSERT_EQ(H.Messages.size(), 1u);
    EXPECT_EQ(H.Messages[0], "\"after\"");
}

TEST(EngineMessages, MessagesNestedTooDeeplyOrTooLargeAreRefused) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    const auto Nested = [](std::size_t Depth) { return std::string(Depth, '[') + std::string(Depth, ']'); };
    // The page's own script can post any text as a message's JSON.
    const std::string PostAsJson = "(function (text) { document.dispatchEvent(new "
                                   "CustomEvent('norvane-webview-post', {detail: text})); })";
    testing::internal::CaptureStderr();
    H.Run(PostAsJson + "('['.repeat(1000000) + ']'.repeat(1000000)); 0");
    H.Run(PostAsJson + "('" + Nested(512) + "'); 0");
    H.Run("chrome.webview.postMessage('x'.repeat(100000000)); 0");      // too long already
    H.Run("chrome.webview.postMessage('\\u00e9'.repeat(40000000)); 0"); // too long as UTF-8
    H.Run("chrome.webview.postMessage('after'); 0");
    const bool Arrived = H.WaitForMessages(2);
    const std::string Refusals = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(Arrived);
    ASSERT_EQ(H.Messages.size(), 2u);
    EXPECT_EQ(H.Messages[0], Nested(512));
    EXPECT_EQ(H.Messages[1], "\"after\"");
    EXPECT_EQ(H.StringMessages, (std::vector<std::string>{"<not a string>", "after"}));
    for (const char* Refusal : {"refused a web message nested deeper than 512 levels\n",
                                " characters (limit 67108864 bytes)\n", " bytes (limit 67108864 bytes)\n"})
        EXPECT_NE(Refusals.find(Refusal), std::string::npos) << Refusal << " in " << Refusals;

    // The host's messages are held to the same depth, and the page still hears them.
    EXPECT_EQ(H.View->PostWebMessageAsJson(Nested(1000000).c_str()), E_INVALIDARG);
    ASSERT_EQ(H.View->PostWebMessageAsJson(Nested(512).c_str()), S_OK);
    ASSERT_EQ(H.View->PostWebMessageAsJson(R"("back")"), S_OK);
    EXPECT_EQ(Eventually(H, "window.__received.length === 2 ? window.__received[1] : null"), R"("back")");
}

// ---------------------------------------------------------------------------
// Pop-ups, permissions, dialogs
// ---------------------------------------------------------------------------

TEST(EngineRequests, RefusedPopUpsGiveNullAndReportTheirAddress) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.HandleNewWindows = true;
    EXPECT_EQ(H.Run("window.open('file:///popup.html') === null").Json, "true");
    EXPECT_EQ(H.Run("window.open('other.html?x=1', '_blank') === null").Json, "true");
    ASSERT_EQ(H.NewWindowUris.size(), 2u);
    EXPECT_EQ(H.NewWindowUris[0], "file:///popup.html");
    EXPECT_EQ(H.NewWindowUris[1], "file:///other.html?x=1");
}

TEST(EngineRequests, UnhandledPopUpsOpenTheEnginesOwnWindow) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    // The pop-up names in its title whether it got the host's channel; it
    // must not, and its opener gets no window object either.
    H.HandleNewWindows = false;
    const std::string Uri = "data:text/html,<title>Popup</title><script>document.title = window.chrome && "
                            "window.chrome.webview ? \"Popup With Host\" : \"Popup Without Host\";</script>";
    EXPECT_EQ(H.Run("window.open('" + Uri + "') === null").Json, "true");
    EXPECT_TRUE(RunUntil([&] { return FindWindowTitled("Popup Without Host") != nullptr; }));
    EXPECT_EQ(FindWindowTitled("Popup With Host"), nullptr);
    // A page on disk is never shown in such a window.
    TempDir Disk;
    WriteFile(Disk / "popup.html", PageWithBody("Popup From Disk", "disk"));
    const std::string DiskUri = "file://" + (Disk.Path() / "popup.html").string();
    EXPECT_EQ(H.Run("window.open('" + DiskUri + "') === null").Json, "true");
    RunFor(1.0);
    EXPECT_EQ(FindWindowTitled("Popup From Disk"), nullptr);
    ASSERT_EQ(H.NewWindowUris.size(), 2u);
    EXPECT_EQ(H.NewWindowUris[1], DiskUri);
    CloseOtherWindows({H.Host->Window()});
}

TEST(EngineRequests, PermissionStatesSetByTheHandlerAreApplied) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    const std::string AskForPosition = "navigator.geolocation.getCurrentPosition(() => "
                                       "chrome.webview.postMessage({geolocation: 'position'}),"
                                       " e => chrome.webview.postMessage({geolocation: e.code})); 0";

    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.PermissionAnswer = COREWEBVIEW2_PERMISSION_STATE_DENY;
    H.Run(AskForPosition);
    ASSERT_TRUE(H.WaitForMessages(1));
    EXPECT_EQ(H.Messages[0], R"({"geolocation":1})"); // PERMISSION_DENIED
    ASSERT_EQ(H.PermissionKinds.size(), 1u);
    EXPECT_EQ(H.PermissionKinds[0], COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION);

    // Granted, the page gets past the permission: a position, or (no location
    // service on a test machine) POSITION_UNAVAILABLE, never PERMISSION_DENIED.
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.PermissionAnswer = COREWEBVIEW2_PERMISSION_STATE_ALLOW;
    H.Run(AskForPosition);
    ASSERT_TRUE(H.WaitForMessages(2));
    EXPECT_TRUE(H.Messages[1] == R"({"geolocation":2})" || H.Messages[1] == R"({"geolocation":"position"})")
        << H.Messages[1];
    ASSERT_EQ(H.PermissionKinds.size(), 2u);

    // Notifications the application's own pages hold from the start (a
    // request at load has no user's gesture): the handler is not asked.
    H.Run("Notification.requestPermission().then(p => chrome.webview.postMessage({notifications: p})); 0");
    ASSERT_TRUE(H.WaitForMessages(3));
    EXPECT_EQ(H.Messages[2], R"({"notifications":"granted"})");
    ASSERT_EQ(H.PermissionKinds.size(), 2u);
    // The Permissions API reads the same; a kind never decided stays "prompt".
    H.Run("Promise.all(['notifications', 'camera'].map(name => navigator.permissions.query({name})))"
          ".then(s => chrome.webview.postMessage({query: s.map(p => p.state).join()})); 0");
    ASSERT_TRUE(H.WaitForMessages(4));
    EXPECT_EQ(H.Messages[3], R"({"query":"granted,prompt"})");

    // A later handler that defers decides last: the allow of the first is overruled.
    struct TLater {
        TComPtr<ICoreWebView2PermissionRequestedEventArgs> Args;
        TComPtr<ICoreWebView2Deferral> Deferral;
    } Later;
    EventRegistrationToken Token{};
    H.View->add_PermissionRequested(Callback<ICoreWebView2PermissionRequestedEventHandler>(
                                        [&](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* Args) {
                                            Later.Args =
                                                TComPtr<ICoreWebView2PermissionRequestedEventArgs>(Args);
                                            return Args->GetDeferral(Later.Deferral.Put());
                                        })
                                        .Get(),
                                    &Token);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.Run(AskForPosition);
    ASSERT_TRUE(RunUntil([&] { return Later.Deferral.Get() != nullptr; }));
    RunFor(0.1);
    EXPECT_EQ(H.Messages.size(), 4u); // still undecided
    Later.Args->put_State(COREWEBVIEW2_PERMISSION_STATE_DENY);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    EXPECT_EQ(Later.Deferral->Complete(), HRESULT_ERROR_INVALID_STATE);
    ASSERT_TRUE(H.WaitForMessages(5));
    EXPECT_EQ(H.Messages[4], R"({"geolocation":1})");
}

TEST(EngineRequests, ScriptDialogsGoToTheHandlerWhenDefaultDialogsAreOff) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_EQ(H.Settings->put_AreDefaultScriptDialogsEnabled(FALSE), S_OK);
    auto& Library = TEngineLibrary::Get();
    std::vector<std::string> Seen;
    EventRegistrationToken Token{};
    H.View->add_ScriptDialogOpening(Callback<ICoreWebView2ScriptDialogOpeningEventHandler>(
                                        [&](ICoreWebView2*, ICoreWebView2ScriptDialogOpeningEventArgs* Args) {
                                            COREWEBVIEW2_SCRIPT_DIALOG_KIND Kind{};
                                            Args->get_Kind(&Kind);
                                            char* Message = nullptr;
                                            Args->get_Message(&Message);
                                            char* Default = nullptr;
                                            Args->get_DefaultText(&Default);
                                            Seen.push_back(std::to_string(Kind) + ":" +
                                                           Library.Take(Message) + ":" +
                                                           Library.Take(Default));
                                            if (Kind == COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT)
                                                Args->put_ResultText("typed");
                                            if (Kind != COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT)
                                                Args->Accept();
                                            return S_OK;
                                        })
                                        .Get(),
                                    &Token);
    EXPECT_EQ(H.Run("[confirm('Sure?'), prompt('Name?', 'def'), alert('Hi')]").Json,
              R"([true,"typed",null])");
    ASSERT_EQ(Seen.size(), 3u);
    EXPECT_EQ(Seen[0], "1:Sure?:");
    EXPECT_EQ(Seen[1], "2:Name?:def");
    EXPECT_EQ(Seen[2], "0:Hi:");
    H.View->remove_ScriptDialogOpening(Token);
    // With nobody to answer, a confirm is cancelled.
    EXPECT_EQ(H.Run("confirm('Again?')").Json, "false");
}

// A handler's answer that comes later: the arguments and the deferral taken.
template <class TArgs> struct TDeferred {
    TComPtr<TArgs> Args;
    TComPtr<ICoreWebView2Deferral> Deferral;
    bool Taken() const { return Deferral.Get() != nullptr; }
    void Reset() {
        Args = nullptr;
        Deferral = nullptr;
    }
};

TEST(EngineRequests, ADeferredScriptDialogWaitsForItsAnswer) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_EQ(H.Settings->put_AreDefaultScriptDialogsEnabled(FALSE), S_OK);
    TDeferred<ICoreWebView2ScriptDialogOpeningEventArgs> Later;
    EventRegistrationToken Token{};
    H.View->add_ScriptDialogOpening(Callback<ICoreWebView2ScriptDialogOpeningEventHandler>(
                                        [&](ICoreWebView2*, ICoreWebView2ScriptDialogOpeningEventArgs* Args) {
                                            Later.Args =
                                                TComPtr<ICoreWebView2ScriptDialogOpeningEventArgs>(Args);
                                            return Args->GetDeferral(Later.Deferral.Put());
                                        })
                                        .Get(),
                                    &Token);
    // The page asks from a timer, so that the asking script itself is not held up.
    auto Ask = [&](const std::string& Expression) {
        Later.Reset();
        H.Run("setTimeout(function () { chrome.webview.postMessage({answer: " + Expression + "}); }, 0); 0");
        return RunUntil([&] { return Later.Taken(); });
    };

    // A confirm: the page waits; an answer given after the handler returned
    // counts once the deferral completes.
    ASSERT_TRUE(Ask("confirm('Later?')"));
    RunFor(0.3);
    EXPECT_TRUE(H.Messages.empty());
    ASSERT_EQ(Later.Args->Accept(), S_OK);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    EXPECT_EQ(Later.Deferral->Complete(), HRESULT_ERROR_INVALID_STATE);
    ASSERT_TRUE(H.WaitForMessages(1));
    EXPECT_EQ(H.Messages[0], R"({"answer":true})");

    // A prompt gets the text set before completion.
    ASSERT_TRUE(Ask("prompt('Name?', 'default')"));
    ASSERT_EQ(Later.Args->put_ResultText("given later"), S_OK);
    ASSERT_EQ(Later.Args->Accept(), S_OK);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    ASSERT_TRUE(H.WaitForMessages(2));
    EXPECT_EQ(H.Messages[1], R"({"answer":"given later"})");

    // An alert holds the page until completion too.
    ASSERT_TRUE(Ask("(alert('Hi'), 'after alert')"));
    RunFor(0.3);
    EXPECT_EQ(H.Messages.size(), 2u);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    ASSERT_TRUE(H.WaitForMessages(3));
    EXPECT_EQ(H.Messages[2], R"({"answer":"after alert"})");

    // Completed without Accept, a confirm is refused.
    ASSERT_TRUE(Ask("confirm('Refuse?')"));
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    ASSERT_TRUE(H.WaitForMessages(4));
    EXPECT_EQ(H.Messages[3], R"({"answer":false})");
}

TEST(EngineRequests, ADialogDeferralCompletedAfterTheViewClosedChangesNothing) {
    TDeferred<ICoreWebView2ScriptDialogOpeningEventArgs> Later;
    {
        TViewHarness H;
        ASSERT_TRUE(H.Create());
        ServeApplication(H);
        ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
        ASSERT_EQ(H.Settings->put_AreDefaultScriptDialogsEnabled(FALSE), S_OK);
        EventRegistrationToken Token{};
        H.View->add_ScriptDialogOpening(
            Callback<ICoreWebView2ScriptDialogOpeningEventHandler>(
                [&](ICoreWebView2*, ICoreWebView2ScriptDialogOpeningEventArgs* Args) {
                    Later.Args = TComPtr<ICoreWebView2ScriptDialogOpeningEventArgs>(Args);
                    return Args->GetDeferral(Later.Deferral.Put());
                })
                .Get(),
            &Token);
        H.Run("setTimeout(function () { confirm('Pending'); }, 0); 0");
        ASSERT_TRUE(RunUntil([&] { return Later.Taken(); }));
        H.Close();
        RunFor(0.2);
    }
    ASSERT_EQ(Later.Args->Accept(), S_OK);
    EXPECT_EQ(Later.Deferral->Complete(), S_OK);
    Later.Reset();
    RunFor(0.3);
    // The engine goes on serving new views.
    TViewHarness Next;
    ASSERT_TRUE(Next.Create());
    ServeApplication(Next);
    ASSERT_TRUE(Next.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(Next.Run("1 + 1").Json, "2");
}

TEST(EngineRequests, ADeferredNewWindowRequestIsCarriedOutWhenCompleted) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    TViewHarness Target;
    ASSERT_TRUE(Target.Create(320, 240));
    Target.Pages["file:///popup.html"] = {"text/html", PageWithBody("Into The Target", "popup")};
    H.HandleNewWindows = false;
    TDeferred<ICoreWebView2NewWindowRequestedEventArgs> Later;
    EventRegistrationToken Token{};
    H.View->add_NewWindowRequested(Callback<ICoreWebView2NewWindowRequestedEventHandler>(
                                       [&](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* Args) {
                                           Later.Args =
                                               TComPtr<ICoreWebView2NewWindowRequestedEventArgs>(Args);
                                           return Args->GetDeferral(Later.Deferral.Put());
                                       })
                                       .Get(),
                                   &Token);
    const std::vector<GtkWidget*> Windows{H.Host->Window(), Target.Host->Window()};
    auto OtherWindows = [&] {
        int Count = 0;
        GList* All = gtk_window_list_toplevels();
        for (GList* Item = All; Item; Item = Item->next)
            if (std::find(Windows.begin(), Windows.end(), GTK_WIDGET(Item->data)) == Windows.end() &&
                gtk_window_get_window_type(GTK_WINDOW(Item->data)) == GTK_WINDOW_TOPLEVEL &&
                gtk_widget_get_visible(GTK_WIDGET(Item->data)))
                ++Count;
        g_list_free(All);
        return Count;
    };
    // The page's window.open cannot wait for the host's answer: it gets null.
    auto Open = [&](const std::string& Uri) {
        Later.Reset();
        return H.Run("window.open('" + Uri + "') === null").Json == "true" && Later.Taken();
    };

    // Into a view the host names.
    ASSERT_TRUE(Open("file:///popup.html"));
    RunFor(0.3);
    EXPECT_EQ(Target.NavigationsCompleted, 0);
    ASSERT_EQ(Later.Args->put_NewWindow(Target.View.Get()), S_OK);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    ASSERT_TRUE(Target.WaitForNavigation(0));
    EXPECT_EQ(Target.Source(), "file:///popup.html");
    EXPECT_TRUE(RunUntil([&] { return Target.Title() == "Into The Target"; }));
    EXPECT_EQ(OtherWindows(), 0);

    // Handled later: nothing opens.
    ASSERT_TRUE(Open("file:///popup.html?second"));
    ASSERT_EQ(Later.Args->put_Handled(TRUE), S_OK);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    RunFor(0.5);
    EXPECT_EQ(Target.NavigationsCompleted, 1);
    EXPECT_EQ(OtherWindows(), 0);

    // Left alone: the engine's own pop-up window, once the deferral completes.
    ASSERT_TRUE(Open("data:text/html,<title>Deferred Popup</title>popup"));
    RunFor(0.3);
    EXPECT_EQ(OtherWindows(), 0);
    ASSERT_EQ(Later.Deferral->Complete(), S_OK);
    EXPECT_TRUE(RunUntil([&] { return FindWindowTitled("Deferred Popup") != nullptr; }));
    CloseOtherWindows(Windows);
    EXPECT_EQ(H.NewWindowUris.size(), 3u);
}

// ---------------------------------------------------------------------------
// Capture, process, zoom and keys
// ---------------------------------------------------------------------------

TEST(EngineCapture, PreviewsArePngAndJpegImagesOfTheVisibleView) {
    TViewHarness H;
    ASSERT_TRUE(H.Create(320, 200));
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));

    auto Capture = [&](COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT Format, TComMemoryStream* Stream) {
        HRESULT Result = E_PENDING_FOR_TEST;
        const HRESULT Call = H.View->CapturePreview(
            Format, Stream, Callback<ICoreWebView2CapturePreviewCompletedHandler>([&](HRESULT Code) {
                                Result = Code;
                                return S_OK;
                            }).Get());
        if (FAILED(Call))
            return Call;
        RunUntil([&] { return Result != E_PENDING_FOR_TEST; });
        return Result;
    };
    auto Png = MakeComObject<TComMemoryStream>();
    ASSERT_EQ(Capture(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG, Png.Get()), S_OK);
    const auto& PngBytes = Png->Bytes();
    ASSERT_GT(PngBytes.size(), 24u);
    const std::uint8_t Signature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_TRUE(std::equal(std::begin(Signature), std::end(Signature), PngBytes.begin()));
    auto BigEndian = [&](std::size_t At) {
        return (PngBytes[At] << 24) | (PngBytes[At + 1] << 16) | (PngBytes[At + 2] << 8) | PngBytes[At + 3];
    };
    EXPECT_EQ(BigEndian(16), 320); // IHDR width
    EXPECT_EQ(BigEndian(20), 200); // IHDR height
    const TImageSize Decoded = DecodedSize(PngBytes);
    EXPECT_EQ(Decoded.Width, 320);
    EXPECT_EQ(Decoded.Height, 200);

    auto Jpeg = MakeComObject<TComMemoryStream>();
    ASSERT_EQ(Capture(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG, Jpeg.Get()), S_OK);
    const auto& JpegBytes = Jpeg->Bytes();
    ASSERT_GT(JpegBytes.size(), 4u);
    EXPECT_EQ(JpegBytes[0], 0xFF);
    EXPECT_EQ(JpegBytes[1], 0xD8);
    EXPECT_EQ(JpegBytes[JpegBytes.size() - 2], 0xFF);
    EXPECT_EQ(JpegBytes.back(), 0xD9);
    EXPECT_EQ(DecodedSize(JpegBytes).Width, 320);

    // Into a file stream, as the control does for a file name.
    TempDir Files;
    TComPtr<IStream> File;
    ASSERT_EQ(TComFileStream::Open(Files / "shot.png", STGM_CREATE | STGM_READWRITE, File.Put()), S_OK);
    HRESULT Result = E_PENDING_FOR_TEST;
    ASSERT_EQ(H.View->CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG, File.Get(),
                                     Callback<ICoreWebView2CapturePreviewCompletedHandler>([&](HRESULT Code) {
                                         Result = Code;
                                         return S_OK;
                                     }).Get()),
              S_OK);
    File = nullptr; // the engine keeps its own reference until it is done
    ASSERT_TRUE(RunUntil([&] { return Result != E_PENDING_FOR_TEST; }));
    EXPECT_EQ(Result, S_OK);
    const std::string Saved = ReadFile(Files / "shot.png");
    EXPECT_EQ(DecodedSize(std::vector<std::uint8_t>(Saved.begin(), Saved.end())).Width, 320);

    EXPECT_EQ(H.View->CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(
        H.View->CapturePreview(static_cast<COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT>(7), Png.Get(), nullptr),
        E_INVALIDARG);
}

TEST(EngineProcess, ACrashedContentProcessIsReportedAndTheViewRecovers) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));

    UINT32 Pid = 0;
    ASSERT_TRUE(RunUntil([&] { return SUCCEEDED(H.View->get_BrowserProcessId(&Pid)) && Pid != 0; }));
    EXPECT_NE(static_cast<pid_t>(Pid), getpid());
    const std::string CommandLine = ReadFile("/proc/" + std::to_string(Pid) + "/cmdline");
    EXPECT_NE(CommandLine.find("WebKitWebProcess"), std::string::npos) << CommandLine;

    ASSERT_EQ(kill(static_cast<pid_t>(Pid), SIGKILL), 0);
    ASSERT_TRUE(RunUntil([&] { return !H.ProcessFailures.empty(); }));
    EXPECT_EQ(H.ProcessFailures[0], COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED);
    UINT32 After = 1;
    ASSERT_EQ(H.View->get_BrowserProcessId(&After), S_OK);
    EXPECT_EQ(After, 0u);

    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    EXPECT_EQ(H.Run("1 + 1").Json, "2");
    UINT32 NewPid = 0;
    ASSERT_TRUE(RunUntil([&] { return SUCCEEDED(H.View->get_BrowserProcessId(&NewPid)) && NewPid != 0; }));
    EXPECT_NE(NewPid, Pid);
}

TEST(EngineProcess, AnUnresponsivePageIsReported) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_TRUE(Input::PresentAndWait(H.Host->Window()));
    // The page stops answering for eight seconds while the user clicks and types.
    H.View->ExecuteScript(
        "setTimeout(() => { const end = Date.now() + 8000; while (Date.now() < end); }, 50); 0", nullptr);
    RunFor(0.3);
    EXPECT_TRUE(RunUntil(
        [&] {
            Input::Click(H.Host->Window(), 100, 100, 1);
            Input::TapKey(GDK_KEY_a);
            RunFor(0.3);
            return !H.ProcessFailures.empty();
        },
        12));
    ASSERT_FALSE(H.ProcessFailures.empty());
    EXPECT_EQ(H.ProcessFailures[0], COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE);
    // Once the page answers again, it works as before.
    EXPECT_TRUE(RunUntil([&] { return H.Run("2 + 2").Json == "4"; }, 15));
}

TEST(EngineInput, ZoomFollowsTheFactorAndTheKeysWhenAllowed) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    GtkWidget* View = H.WebKitWidget();
    ASSERT_TRUE(View);

    ASSERT_EQ(H.Controller->put_ZoomFactor(1.5), S_OK);
    ASSERT_EQ(H.ZoomChanges.size(), 1u);
    EXPECT_DOUBLE_EQ(H.ZoomChanges[0], 1.5);
    EXPECT_EQ(H.Controller->put_ZoomFactor(0), E_INVALIDARG);

    SendKey(View, GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, true);
    SendKey(View, GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, false);
    double Zoom = 0;
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.75);
    SendKey(View, GDK_KEY_minus, GDK_CONTROL_MASK, true);
    SendKey(View, GDK_KEY_minus, GDK_CONTROL_MASK, false);
    SendKey(View, GDK_KEY_minus, GDK_CONTROL_MASK, true);
    SendKey(View, GDK_KEY_minus, GDK_CONTROL_MASK, false);
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.25);
    SendScroll(View, GDK_SCROLL_UP, GDK_CONTROL_MASK);
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.5);
    SendKey(View, GDK_KEY_0, GDK_CONTROL_MASK, true);
    SendKey(View, GDK_KEY_0, GDK_CONTROL_MASK, false);
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.0);
    EXPECT_EQ(H.ZoomChanges.size(), 6u);

    ASSERT_EQ(H.Settings->put_IsZoomControlEnabled(FALSE), S_OK);
    SendKey(View, GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, true);
    SendKey(View, GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, false);
    SendScroll(View, GDK_SCROLL_UP, GDK_CONTROL_MASK);
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.0);
}

TEST(EngineInput, AcceleratorKeysArriveInWindowsTermsAndCanBeTakenByTheHost) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    GtkWidget* View = H.WebKitWidget();
    ASSERT_TRUE(View);

    struct TKey {
        COREWEBVIEW2_KEY_EVENT_KIND Kind;
        UINT32 VirtualKey;
        std::int32_t LParam;
        COREWEBVIEW2_PHYSICAL_KEY_STATUS Status;
    };
    std::vector<TKey> Keys;
    EventRegistrationToken Token{};
    H.Controller->add_AcceleratorKeyPressed(
        Callback<ICoreWebView2AcceleratorKeyPressedEventHandler>(
            [&](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* Args) {
                TKey Key{};
                Args->get_KeyEventKind(&Key.Kind);
                Args->get_VirtualKey(&Key.VirtualKey);
                Args->get_KeyEventLParam(&Key.LParam);
                Args->get_PhysicalKeyStatus(&Key.Status);
                Keys.push_back(Key);
                if (Key.VirtualKey == 0xBB) // the host takes Ctrl+Plus
                    Args->put_Handled(TRUE);
                return S_OK;
            })
            .Get(),
        &Token);

    SendKey(View, GDK_KEY_s, GDK_CONTROL_MASK, true);
    SendKey(View, GDK_KEY_s, GDK_CONTROL_MASK, false);
    ASSERT_EQ(Keys.size(), 2u);
    EXPECT_EQ(Keys[0].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN);
    EXPECT_EQ(Keys[0].VirtualKey, static_cast<UINT32>('S'));
    EXPECT_EQ((Keys[0].LParam >> 16) & 0xFF, 0x1F); // scan code of S
    EXPECT_EQ(Keys[0].LParam & 0xFFFF, 1);          // repeat count
    EXPECT_NE(Keys[0].LParam & (1 << 25), 0);       // Ctrl held
    EXPECT_EQ(Keys[0].LParam & (1 << 30), 0);       // was up before
    EXPECT_EQ(Keys[1].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP);
    EXPECT_NE(static_cast<std::uint32_t>(Keys[1].LParam) & 0x80000000u, 0u);
    EXPECT_NE(Keys[1].Status.IsKeyReleased, FALSE);

    // Typing a plain letter is no accelerator.
    SendKey(View, GDK_KEY_a, 0, true);
    SendKey(View, GDK_KEY_a, 0, false);
    EXPECT_EQ(Keys.size(), 2u);

    // Alt+F: system keys.
    SendKey(View, GDK_KEY_f, GDK_MOD1_MASK, true);
    ASSERT_EQ(Keys.size(), 3u);
    EXPECT_EQ(Keys[2].Kind, COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN);
    EXPECT_NE(Keys[2].LParam & (1 << 29), 0);
    SendKey(View, GDK_KEY_f, GDK_MOD1_MASK, false);

    // A key the host marks handled does not reach the engine's own zoom keys.
    SendKey(View, GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, true);
    double Zoom = 0;
    H.Controller->get_ZoomFactor(&Zoom);
    EXPECT_DOUBLE_EQ(Zoom, 1.0);
    EXPECT_EQ(Keys.back().VirtualKey, 0xBBu);
}

// ---------------------------------------------------------------------------
// Real input through the X server: context menus, developer tools, focus
// ---------------------------------------------------------------------------

namespace {

// A page that reports to the host the right clicks and keys it receives.
const char* const InputPage = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>Input</title></head>
<body style="margin:0"><div id="area" style="height:400px">area</div>
<button id="first">first</button><button id="last">last</button>
<script>
document.addEventListener('contextmenu', function (e) { chrome.webview.postMessage('contextmenu'); });
document.addEventListener('keydown', function (e) { chrome.webview.postMessage('key:' + e.key); });
</script></body></html>)";

// The engine's context menu while it is on the screen: a mapped menu in a
// pop-up window of this process.
GtkWidget* ShownMenu() {
    GtkWidget* Found = nullptr;
    GList* Windows = gtk_window_list_toplevels();
    for (GList* Item = Windows; Item; Item = Item->next) {
        GtkWidget* Child = gtk_bin_get_child(GTK_BIN(Item->data));
        if (Child && GTK_IS_MENU(Child) && gtk_widget_get_mapped(Child))
            Found = Child;
    }
    g_list_free(Windows);
    return Found;
}

std::vector<std::string> MenuLabels(GtkWidget* Menu) {
    std::vector<std::string> Labels;
    GList* Items = gtk_container_get_children(GTK_CONTAINER(Menu));
    for (GList* Item = Items; Item; Item = Item->next)
        if (GTK_IS_MENU_ITEM(Item->data) && !GTK_IS_SEPARATOR_MENU_ITEM(Item->data))
            if (const char* Label = gtk_menu_item_get_label(GTK_MENU_ITEM(Item->data)))
                Labels.emplace_back(Label);
    g_list_free(Items);
    return Labels;
}

// The engine's inspector: its own window, or docked inside the web view.
bool InspectorShown(TViewHarness& H) {
    bool Shown = false;
    GList* Windows = gtk_window_list_toplevels();
    for (GList* Item = Windows; Item; Item = Item->next)
        if (std::string(G_OBJECT_TYPE_NAME(Item->data)) == "WebKitInspectorWindow" &&
            gtk_widget_get_mapped(GTK_WIDGET(Item->data)))
            Shown = true;
    g_list_free(Windows);
    GList* Docked = gtk_container_get_children(GTK_CONTAINER(H.WebKitWidget()));
    for (GList* Item = Docked; Item; Item = Item->next)
        if (gtk_widget_get_mapped(GTK_WIDGET(Item->data)))
            Shown = true;
    g_list_free(Docked);
    return Shown;
}

// The host window on top with the input focus inside the page.
bool FocusThePage(TViewHarness& H) {
    if (!Input::PresentAndWait(H.Host->Window()))
        return false;
    if (FAILED(H.Controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC)))
        return false;
    return RunUntil([&] { return gtk_widget_has_focus(H.WebKitWidget()); }, 5);
}

std::size_t CountOf(const std::vector<std::string>& Items, const std::string& Item) {
    return static_cast<std::size_t>(std::count(Items.begin(), Items.end(), Item));
}

} // namespace

TEST(EngineInput, ARightClickOpensTheEnginesMenuOnlyWhileDefaultMenusAreOn) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    H.Pages["file:///index.html"] = {"text/html", InputPage};
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    ASSERT_TRUE(Input::PresentAndWait(H.Host->Window()));
    GtkWidget* View = H.WebKitWidget();

    // On (the default): the page hears the click and the engine's menu opens.
    Input::Click(View, 100, 100, 3);
    ASSERT_TRUE(H.WaitForMessages(1));
    EXPECT_EQ(H.Messages[0], "\"contextmenu\"");
    ASSERT_TRUE(RunUntil([] { return ShownMenu() != nullptr; }, 10));
    const std::vector<std::string> Labels = MenuLabels(ShownMenu());
    EXPECT_FALSE(Labels.empty());
    Input::TapKey(GDK_KEY_Escape);
    ASSERT_TRUE(RunUntil([] { return ShownMenu() == nullptr; }, 10));

    // Off: the page still hears the click, but no menu opens.
    ASSERT_EQ(H.Settings->put_AreDefaultContextMenusEnabled(FALSE), S_OK);
    Input::Click(View, 120, 80, 3);
    ASSERT_TRUE(H.WaitForMessages(2));
    EXPECT_EQ(H.Messages[1], "\"contextmenu\"");
    RunFor(0.5);
    EXPECT_EQ(ShownMenu(), nullptr);

    // On again, without reloading the page.
    ASSERT_EQ(H.Settings->put_AreDefaultContextMenusEnabled(TRUE), S_OK);
    Input::Click(View, 100, 100, 3);
    ASSERT_TRUE(H.WaitForMessages(3));
    EXPECT_TRUE(RunUntil([] { return ShownMenu() != nullptr; }, 10));
    Input::TapKey(GDK_KEY_Escape);
    EXPECT_TRUE(RunUntil([] { return ShownMenu() == nullptr; }, 10));
}

TEST(EngineInput, DeveloperToolsOpenWithTheirKeysOnlyWhileAllowed) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    H.Pages["file:///index.html"] = {"text/html", InputPage};
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));

    // Not allowed: F12, Ctrl+Shift+I and the interface's own call open
    // nothing, and the keys reach the page like any other.
    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(FALSE), S_OK);
    ASSERT_TRUE(FocusThePage(H));
    Input::TapKey(GDK_KEY_F12);
    Input::TapKey(GDK_KEY_i, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    ASSERT_EQ(H.View->OpenDevToolsWindow(), S_OK);
    ASSERT_TRUE(RunUntil([&] {
        return CountOf(H.Messages, "\"key:F12\"") == 1 && CountOf(H.Messages, "\"key:I\"") == 1;
    })) << testing::PrintToString(H.Messages);
    RunFor(0.5);
    EXPECT_FALSE(InspectorShown(H));
    // The page's menu then offers one item less: the inspector's.
    auto MenuItemsAtTheSamePoint = [&] {
        Input::Click(H.WebKitWidget(), 100, 100, 3);
        if (!RunUntil([] { return ShownMenu() != nullptr; }, 10))
            return std::size_t(0);
        const std::size_t Count = MenuLabels(ShownMenu()).size();
        Input::TapKey(GDK_KEY_Escape);
        RunUntil([] { return ShownMenu() == nullptr; }, 10);
        return Count;
    };
    const std::size_t WithoutTools = MenuItemsAtTheSamePoint();
    EXPECT_GT(WithoutTools, 0u);
    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(TRUE), S_OK);
    EXPECT_EQ(MenuItemsAtTheSamePoint(), WithoutTools + 1);

    // Allowed: F12 opens the inspector, and the page does not get the key.
    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(TRUE), S_OK);
    ASSERT_TRUE(FocusThePage(H));
    Input::TapKey(GDK_KEY_F12);
    EXPECT_TRUE(RunUntil([&] { return InspectorShown(H); }, 15));
    // Switching the tools off closes an open inspector.
    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(FALSE), S_OK);
    EXPECT_TRUE(RunUntil([&] { return !InspectorShown(H); }, 15));

    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(TRUE), S_OK);
    ASSERT_TRUE(FocusThePage(H));
    Input::TapKey(GDK_KEY_i, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    EXPECT_TRUE(RunUntil([&] { return InspectorShown(H); }, 15));
    ASSERT_EQ(H.Settings->put_AreDevToolsEnabled(FALSE), S_OK);
    EXPECT_TRUE(RunUntil([&] { return !InspectorShown(H); }, 15));
    EXPECT_EQ(CountOf(H.Messages, "\"key:F12\""), 1u) << testing::PrintToString(H.Messages);
    EXPECT_EQ(CountOf(H.Messages, "\"key:I\""), 1u);
}

// WebKit gives a key press the page did not use back to the toolkit; the host
// hears of it once, and the key's next press is no repeat.
TEST(EngineInput, AKeyThePageLeavesUnhandledReachesTheHostOnce) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    H.Pages["file:///index.html"] = {"text/html", InputPage};
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    struct TKey {
        COREWEBVIEW2_KEY_EVENT_KIND Kind;
        std::int32_t LParam;
    };
    std::vector<TKey> Keys; // those of the S key
    EventRegistrationToken Token{};
    H.Controller->add_AcceleratorKeyPressed(
        Callback<ICoreWebView2AcceleratorKeyPressedEventHandler>(
            [&](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* Args) {
                UINT32 VirtualKey = 0;
                Args->get_VirtualKey(&VirtualKey);
                TKey Key{};
                Args->get_KeyEventKind(&Key.Kind);
                Args->get_KeyEventLParam(&Key.LParam);
                if (VirtualKey == 'S')
                    Keys.push_back(Key);
                return S_OK;
            })
            .Get(),
        &Token);
    ASSERT_TRUE(FocusThePage(H));
    for (int Round = 0; Round < 2; ++Round) {
        Input::TapKey(GDK_KEY_s, GDK_CONTROL_MASK);
        // The page saw it (and left it alone) before the toolkit got it back.
        ASSERT_TRUE(RunUntil([&] { return CountOf(H.Messages, "\"key:s\"") == std::size_t(Round + 1); }));
        RunFor(0.3);
    }
    ASSERT_EQ(Keys.size(), 4u);
    EXPECT_EQ(Keys[0].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN);
    EXPECT_EQ(Keys[1].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP);
    EXPECT_EQ(Keys[2].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN);
    EXPECT_EQ(Keys[2].LParam & (1 << 30), 0); // was up before: no repeat
    EXPECT_EQ(Keys[3].Kind, COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP);
}

TEST(EngineInput, MovingTheFocusInByTabReachesTheFirstOrLastElement) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    ServeApplication(H);
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    H.Run("document.body.innerHTML = '<input id=first><button>middle</button><input id=last>'; 0");
    ASSERT_TRUE(Input::PresentAndWait(H.Host->Window()));
    const std::string Active = "document.hasFocus() && document.activeElement && document.activeElement.id "
                               "? document.activeElement.id : null";
    ASSERT_EQ(H.Controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT), S_OK);
    EXPECT_EQ(Eventually(H, Active), "\"first\"");
    gtk_window_set_focus(GTK_WINDOW(H.Host->Window()), nullptr);
    H.Run("document.activeElement.blur(); 0");
    ASSERT_EQ(H.Controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS), S_OK);
    EXPECT_EQ(Eventually(H, Active), "\"last\"");
}

TEST(EngineInput, TabPastTheEdgesOfThePageAsksTheHostToMoveFocus) {
    TViewHarness H;
    ASSERT_TRUE(H.Create());
    H.Pages["file:///index.html"] = {"text/html", InputPage};
    ASSERT_TRUE(H.NavigateAndWait("file:///index.html"));
    std::vector<COREWEBVIEW2_MOVE_FOCUS_REASON> Reasons;
    EventRegistrationToken First{}, Token{};
    H.Controller->add_MoveFocusRequested(
        Callback<ICoreWebView2MoveFocusRequestedEventHandler>(
            [&](ICoreWebView2Controller*, ICoreWebView2MoveFocusRequestedEventArgs* Args) {
                COREWEBVIEW2_MOVE_FOCUS_REASON Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
                Args->get_Reason(&Reason);
                Reasons.push_back(Reason);
                return S_OK;
            })
            .Get(),
        &First);
    auto Active = [&] { return H.Run("document.activeElement ? document.activeElement.id : ''").Json; };
    ASSERT_TRUE(FocusThePage(H));

    // Inside the page Tab moves between its elements and asks nothing.
    ASSERT_EQ(H.Run("document.getElementById('first').focus(); document.activeElement.id").Json, "\"first\"");
    Input::TapKey(GDK_KEY_Tab);
    ASSERT_TRUE(RunUntil([&] { return Active() == "\"last\""; }, 5));
    EXPECT_TRUE(Reasons.empty());

    // Tab past the last element: the host is asked for the next control.
    Input::TapKey(GDK_KEY_Tab);
    ASSERT_TRUE(RunUntil([&] { return !Reasons.empty(); }, 5));
    ASSERT_EQ(Reasons.size(), 1u);
    EXPECT_EQ(Reasons[0], COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT);

    // Shift+Tab before the first element: the previous control.
    ASSERT_TRUE(FocusThePage(H));
    ASSERT_EQ(H.Run("document.getElementById('first').focus(); document.activeElement.id").Json, "\"first\"");
    Input::TapKey(GDK_KEY_Tab, GDK_SHIFT_MASK);
    ASSERT_TRUE(RunUntil([&] { return Reasons.size() >= 2; }, 5));
    ASSERT_EQ(Reasons.size(), 2u);
    EXPECT_EQ(Reasons[1], COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS);

    // Unhandled, the toolkit moves focus on to the window's next control;
    // handled, the host has taken care of it and the toolkit leaves focus be.
    GtkWidget* Parent = H.Host->Parent();
    g_object_ref(Parent);
    gtk_container_remove(GTK_CONTAINER(H.Host->Window()), Parent);
    GtkWidget* Row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(Row), Parent, TRUE, TRUE, 0);
    g_object_unref(Parent);
    GtkWidget* Button = gtk_button_new_with_label("next control");
    gtk_box_pack_start(GTK_BOX(Row), Button, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(H.Host->Window()), Row);
    gtk_widget_show_all(Row);
    ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_mapped(H.WebKitWidget()); }, 5));
    auto TabFromLast = [&] {
        if (!FocusThePage(H))
            return false;
        H.Run("document.getElementById('last').focus(); 0");
        const std::size_t Before = Reasons.size();
        Input::TapKey(GDK_KEY_Tab);
        return RunUntil([&] { return Reasons.size() > Before; }, 5);
    };
    ASSERT_TRUE(TabFromLast());
    EXPECT_TRUE(RunUntil([&] { return gtk_widget_has_focus(Button); }, 5));
    H.Controller->add_MoveFocusRequested(
        Callback<ICoreWebView2MoveFocusRequestedEventHandler>(
            [&](ICoreWebView2Controller*, ICoreWebView2MoveFocusRequestedEventArgs* Args) {
                return Args->put_Handled(TRUE);
            })
            .Get(),
        &Token);
    ASSERT_TRUE(TabFromLast());
    RunFor(0.3);
    EXPECT_FALSE(gtk_widget_has_focus(Button));
    EXPECT_TRUE(gtk_widget_has_focus(H.WebKitWidget()));
    H.Controller->remove_MoveFocusRequested(Token);
    const std::size_t Asked = Reasons.size();

    // A removed handler hears nothing more.
    H.Controller->remove_MoveFocusRequested(First);
    ASSERT_TRUE(FocusThePage(H));
    H.Run("document.getElementById('last').focus(); 0");
    Input::TapKey(GDK_KEY_Tab);
    RunFor(0.3);
    EXPECT_EQ(Reasons.size(), Asked);
}

// ---------------------------------------------------------------------------
// Website data: kept across runs, separate per profile folder
// ---------------------------------------------------------------------------

namespace {

// Child-process mode: opens the application page with the profile folder
// Folder, prints what local storage held under "k" and stores Value there.
int StorageProbe(const std::string& Folder, const std::string& Value) {
    setenv("WEBVIEW2_USER_DATA_FOLDER", Folder.c_str(), 1);
    TViewHarness H;
    if (!H.Create(200, 100))
        return 2;
    H.Pages["file:///index.html"] = {
        "text/html",
        PageWithBody("probe", "<script>var before = localStorage.getItem('k');"
                              "localStorage.setItem('k', '" +
                                  Value + "'); chrome.webview.postMessage(String(before));</script>")};
    if (!H.NavigateAndWait("file:///index.html") || !H.WaitForMessages(1))
        return 3;
    std::printf("%s\n", H.StringMessages[0].c_str());
    std::fflush(stdout);
    // Another page of the same application reads the same storage.
    H.Pages["file:///sub/other.html"] = {"text/html", PageWithBody("other", "")};
    if (!H.NavigateAndWait("file:///sub/other.html"))
        return 4;
    std::printf("%s\n", H.Run("localStorage.getItem('k')").Json.c_str());
    H.Close();
    return 0;
}

// Child-process mode: uses a view, unloads the library, keeps running, exits.
int UnloadProbe() {
    {
        TViewHarness H;
        if (!H.Create(200, 100))
            return 2;
        H.Pages["file:///index.html"] = {"text/html", PageWithBody("unload", "")};
        if (!H.NavigateAndWait("file:///index.html"))
            return 3;
    }
    RunFor(0.3);
    auto& Library = TEngineLibrary::Get();
    if (dlclose(Library.Handle) != 0)
        return 4;
    // The library asks never to be unloaded: WebKit's threads and types point into it.
    void* Still = dlopen(NORVANE_ENGINE_LIBRARY_FOR_TEST, RTLD_NOW | RTLD_NOLOAD);
    std::printf("%s\n", Still ? "still loaded" : "unloaded");
    std::fflush(stdout);
    RunFor(0.5);
    return 0;
}

std::string Probe(const std::string& Folder, const std::string& Value) {
    return RunCommand(ShellQuote(SelfPath()) + " --storage-probe " + ShellQuote(Folder) + " " +
                      ShellQuote(Value) + " 2>/dev/null")
        .Output;
}

} // namespace

TEST(EngineStorage, LocalStorageSurvivesARestartAndIsSeparatePerProfileFolder) {
    TempDir Profiles;
    const std::string First = Profiles / "first", Second = Profiles / "second";
    EXPECT_EQ(Probe(First, "alpha"), "null\n\"alpha\"\n");
    EXPECT_EQ(Probe(First, "beta"), "alpha\n\"beta\"\n");
    EXPECT_EQ(Probe(Second, "gamma"), "null\n\"gamma\"\n");
    EXPECT_EQ(Probe(First, "delta"), "beta\n\"delta\"\n");
    EXPECT_TRUE(std::filesystem::is_directory(First + "/WebKit"));
}

TEST(EngineLoader, UnloadingTheLibraryLeavesTheProcessRunning) {
    const CommandResult Result = RunCommand(ShellQuote(SelfPath()) + " --unload-probe 2>/dev/null");
    EXPECT_EQ(Result.ExitCode, 0);
    EXPECT_EQ(Result.Output, "still loaded\n");
}

// The runtime receives the engine as one file under the archive's fixed name;
// the web-process extension it carries must come out beside it.
TEST(EngineLoader, ALibraryCopiedAloneBringsOutItsExtension) {
    TempDir Folder;
    const std::string Copy = Folder / "WebView2LoaderWin32.dll";
    std::filesystem::copy_file(NORVANE_ENGINE_LIBRARY_FOR_TEST, Copy);
    const CommandResult Result =
        RunCommand("NORVANE_ENGINE_LIBRARY_PATH=" + ShellQuote(Copy) + " " + ShellQuote(SelfPath()) +
                   " --gtest_filter=EngineView.ServesThePagesThroughTheResourceFilterFromMemory 2>&1");
    EXPECT_EQ(Result.ExitCode, 0) << Result.Output;
    const std::filesystem::path Extension =
        std::filesystem::path(NORVANE_ENGINE_LIBRARY_FOR_TEST).parent_path() / "webkit-extensions" /
        "libnorvane-engine-extension.so";
    const std::string Written = Folder / "webkit-extensions/libnorvane-engine-extension.so";
    ASSERT_TRUE(std::filesystem::exists(Written));
    EXPECT_EQ(ReadFile(Written), ReadFile(Extension.string()));
}

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--unload-probe") {
        if (!gtk_init_check(&argc, &argv))
            return 1;
        return UnloadProbe();
    }
    if (argc == 4 && std::string(argv[1]) == "--storage-probe") {
        if (!gtk_init_check(&argc, &argv))
            return 1;
        return StorageProbe(argv[2], argv[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "EngineTest needs a display (run it through scripts/with-display.sh)\n");
        return 1;
    }
    TempDir Profile;
    setenv("WEBVIEW2_USER_DATA_FOLDER", Profile.Path().c_str(), 1);
    return RUN_ALL_TESTS();
}
