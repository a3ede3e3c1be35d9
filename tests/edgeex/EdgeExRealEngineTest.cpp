// The browser control against the real engine library of this project
// (WebKitGTK), loaded by path like in the runtime: a page served from memory
// through the resource filter, a script result, messages both ways, the title;
// a refused pop-up, a granted permission, a PNG preview and a crashed content
// process.
#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/support/TestSupport.h"

#include "platform/Process.h"

#include "shared/Streams.h"

#include <gmock/gmock.h>

#include <csignal>
#include <fstream>
#include <sys/types.h>

using namespace Norvane::Testing::EdgeEx;
using namespace Norvane::WebView2;
namespace Ui = Norvane::Platform::Ui;

namespace {

// The headers of a page as the browser window answers a payload entry.
const std::string PayloadPageHeaders = std::string("Content-Type: text/html; charset=utf-8\r\n") +
                                       ApplicationContentHeader + ": " + ApplicationContentValue;

const char* Page = R"html(<!doctype html>
<html><head><title>Probe</title></head>
<body><p id="text">served from memory</p>
<script>
window.chrome.webview.addEventListener("message", function (e) {
  document.title = "got " + e.data.x;
  window.chrome.webview.postMessage({echo: e.data.x * 2});
});
window.chrome.webview.postMessage({hello: document.title});
</script></body></html>)html";

// Not a result code the engine gives: the completion has not come yet.
constexpr HRESULT NotYet = 0x7FFF0000;

std::string TakeEngineText(char* Text) {
    std::string result = Text ? Text : "";
    std::free(Text); // the engine's CoTaskMemFree is free()
    return result;
}

class RealEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Norvane::Shared::WebView2LoaderPath = NORVANE_REAL_ENGINE;
        Norvane::Platform::SetEnv("WEBVIEW2_USER_DATA_FOLDER", (Profile / "profile"));
        Form = new Ui::TForm();
        Form->SetBounds(20, 20, 820, 640);
        Browser = new TEdgeBrowser(Form);
        Browser->SetAlign(Ui::TAlign::alClient);
    }
    void TearDown() override {
        delete Browser;
        delete Form;
        Settle();
    }

    Norvane::Testing::TempDir Profile;
    Ui::TForm* Form = nullptr;
    TEdgeBrowser* Browser = nullptr;
};

TEST_F(RealEngineTest, ServesAPageFromMemoryRunsScriptsAndPassesMessagesBothWays) {
    HRESULT created = NotYet;
    std::vector<std::string> requested, messages, titles, scripts;
    bool completed = false, success = false;

    Browser->OnCreateWebViewCompleted = [&](TCustomEdgeBrowser* Sender, HRESULT Code) {
        created = Code;
        if (FAILED(Code))
            return;
        Sender->AddWebResourceRequestedFilter("*", 0);
        Sender->Navigate("file:///index.html");
    };
    Browser->OnWebResourceRequested = [&](TCustomEdgeBrowser* Sender,
                                          Norvane::Shared::TWebResourceRequestedEventArgs* Args) {
        TComPtr<ICoreWebView2WebResourceRequest> request;
        ASSERT_EQ(Args->ArgsInterface()->get_Request(request.Put()), S_OK);
        char* uri = nullptr;
        request->get_Uri(&uri);
        const std::string address = TakeEngineText(uri);
        requested.push_back(address);
        if (address != "file:///index.html")
            return;
        auto content = MakeComObject<TComMemoryStream>(std::string(Page));
        TComPtr<ICoreWebView2WebResourceResponse> response;
        ASSERT_EQ(Sender->EnvironmentInterface()->CreateWebResourceResponse(
                      content.Get(), 200, "OK", PayloadPageHeaders.c_str(), response.Put()),
                  S_OK);
        Args->ArgsInterface()->put_Response(response.Get());
    };
    Browser->OnNavigationCompleted = [&](TCustomEdgeBrowser*, bool IsSuccess, Norvane::Shared::TOleEnum) {
        completed = true;
        success = IsSuccess;
    };
    Browser->OnWebMessageReceived = [&](TCustomEdgeBrowser*,
                                        Norvane::Shared::TWebMessageReceivedEventArgs* Args) {
        char* json = nullptr;
        Args->ArgsInterface()->get_WebMessageAsJson(&json);
        messages.push_back(TakeEngineText(json));
    };
    Browser->OnDocumentTitleChanged = [&](TCustomEdgeBrowser*, const std::string& Title) {
        titles.push_back(Title);
    };
    Browser->OnExecuteScript = [&](TCustomEdgeBrowser*, HRESULT Code, const std::string& Json) {
        scripts.push_back(std::to_string(Code) + " " + Json);
    };

    Browser->SetParent(Form);
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return created != NotYet; }, 30000));
    ASSERT_EQ(created, S_OK);
    ASSERT_TRUE(PumpUntil([&] { return completed && messages.size() >= 1; }, 30000));
    EXPECT_TRUE(success);
    ASSERT_FALSE(requested.empty());
    EXPECT_EQ(requested.front(), "file:///index.html");
    EXPECT_EQ(messages.front(), "{\"hello\":\"Probe\"}");
    EXPECT_EQ(Browser->LocationURL(), "file:///index.html");
    // The title may follow the first message.
    EXPECT_TRUE(PumpUntil([&] { return Browser->DocumentTitle() == "Probe"; }, 15000));
    EXPECT_FALSE(Browser->BrowserVersionInfo().empty());

    Browser->ExecuteScript("document.getElementById('text').textContent");
    Browser->ExecuteScript("[6 * 7, [true, null], 'x']");
    ASSERT_TRUE(PumpUntil([&] { return scripts.size() == 2; }, 15000));
    EXPECT_EQ(scripts[0], "0 \"served from memory\"");
    EXPECT_EQ(scripts[1], "0 [42,[true,null],\"x\"]");

    ASSERT_EQ(Browser->DefaultInterface()->PostWebMessageAsJson("{\"x\":21}"), S_OK);
    ASSERT_TRUE(PumpUntil(
        [&] { return messages.size() >= 2 && !titles.empty() && titles.back() == "got 21"; }, 15000));
    EXPECT_EQ(messages[1], "{\"echo\":42}");

    // The view fills the client area and follows SizeRatio.
    RECT bounds{};
    Browser->ControllerInterface()->get_Bounds(&bounds);
    EXPECT_EQ(bounds.right, Browser->ClientWidth());
    EXPECT_EQ(bounds.bottom, Browser->ClientHeight());
    Browser->SetSizeRatio(0.5);
    Browser->ControllerInterface()->get_Bounds(&bounds);
    EXPECT_EQ(bounds.right, Browser->ClientWidth() / 2);
    Form->Hide();
}

TEST_F(RealEngineTest, RefusesAPopUpGrantsAPermissionCapturesAPreviewAndReportsACrash) {
    HRESULT created = NotYet;
    bool completed = false;
    std::vector<std::string> popups, messages;
    std::vector<COREWEBVIEW2_PERMISSION_KIND> kinds;
    std::vector<Norvane::Shared::TOleEnum> failures;
    HRESULT captured = NotYet;

    Browser->OnCreateWebViewCompleted = [&](TCustomEdgeBrowser* Sender, HRESULT Code) {
        created = Code;
        if (FAILED(Code))
            return;
        Sender->AddWebResourceRequestedFilter("*", 0);
        Sender->Navigate("file:///index.html");
    };
    Browser->OnWebResourceRequested = [&](TCustomEdgeBrowser* Sender,
                                          Norvane::Shared::TWebResourceRequestedEventArgs* Args) {
        auto content = MakeComObject<TComMemoryStream>(
            std::string("<!doctype html><title>Second</title><body style='background:#0a0'>page</body>"));
        TComPtr<ICoreWebView2WebResourceResponse> response;
        ASSERT_EQ(Sender->EnvironmentInterface()->CreateWebResourceResponse(
                      content.Get(), 200, "OK", PayloadPageHeaders.c_str(), response.Put()),
                  S_OK);
        Args->ArgsInterface()->put_Response(response.Get());
    };
    Browser->OnNavigationCompleted = [&](TCustomEdgeBrowser*, bool, Norvane::Shared::TOleEnum) {
        completed = true;
    };
    Browser->OnNewWindowRequested = [&](TCustomEdgeBrowser*,
                                        Norvane::Shared::TNewWindowRequestedEventArgs* Args) {
        char* uri = nullptr;
        Args->ArgsInterface()->get_Uri(&uri);
        popups.push_back(TakeEngineText(uri));
        Args->ArgsInterface()->put_Handled(TRUE_VALUE);
    };
    Browser->OnPermissionRequested = [&](TCustomEdgeBrowser*,
                                         Norvane::Shared::TPermissionRequestedEventArgs* Args) {
        COREWEBVIEW2_PERMISSION_KIND kind{};
        Args->ArgsInterface()->get_PermissionKind(&kind);
        kinds.push_back(kind);
        Args->ArgsInterface()->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
    };
    Browser->OnWebMessageReceived = [&](TCustomEdgeBrowser*,
                                        Norvane::Shared::TWebMessageReceivedEventArgs* Args) {
        char* json = nullptr;
        Args->ArgsInterface()->get_WebMessageAsJson(&json);
        messages.push_back(TakeEngineText(json));
    };
    Browser->OnCapturePreviewCompleted = [&](TCustomEdgeBrowser*, HRESULT Code) { captured = Code; };
    Browser->OnProcessFailed = [&](TCustomEdgeBrowser*, Norvane::Shared::TOleEnum Kind) {
        failures.push_back(Kind);
    };

    Browser->SetParent(Form);
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return created != NotYet; }, 30000));
    ASSERT_EQ(created, S_OK);
    ASSERT_TRUE(PumpUntil([&] { return completed; }, 30000));

    // A pop-up the handler marks handled does not open; the page gets null.
    Browser->ExecuteScript("chrome.webview.postMessage({opened: window.open('https://example.invalid/p?q=1') "
                           "!== null})");
    ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }, 15000));
    EXPECT_EQ(messages[0], "{\"opened\":false}");
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0], "https://example.invalid/p?q=1");

    // A permission the handler allows is granted to the page.
    // (No location service on a test machine: past the permission, the page
    // hears POSITION_UNAVAILABLE, never PERMISSION_DENIED.)
    Browser->ExecuteScript(
        "navigator.geolocation.getCurrentPosition(() => chrome.webview.postMessage("
        "{geolocation: 'position'}), e => chrome.webview.postMessage({geolocation: e.code}))");
    ASSERT_TRUE(PumpUntil([&] { return messages.size() >= 2; }, 15000));
    EXPECT_TRUE(messages[1] == "{\"geolocation\":2}" || messages[1] == "{\"geolocation\":\"position\"}")
        << messages[1];
    ASSERT_EQ(kinds.size(), 1u);
    EXPECT_EQ(kinds[0], COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION);

    // A PNG preview of the view's size.
    Norvane::Shared::TMemoryStream png;
    Browser->CapturePreview(png, TCustomEdgeBrowser::TPreviewFormat::PNG);
    ASSERT_TRUE(PumpUntil([&] { return captured != NotYet; }, 15000));
    ASSERT_EQ(captured, S_OK);
    const auto& bytes = png.Bytes();
    ASSERT_GT(bytes.size(), 24u);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), bytes.begin()));
    auto be32 = [&](std::size_t At) {
        return (std::uint32_t(bytes[At]) << 24) | (std::uint32_t(bytes[At + 1]) << 16) |
               (std::uint32_t(bytes[At + 2]) << 8) | std::uint32_t(bytes[At + 3]);
    };
    EXPECT_EQ(be32(16), static_cast<std::uint32_t>(Browser->ClientWidth()));
    EXPECT_EQ(be32(20), static_cast<std::uint32_t>(Browser->ClientHeight()));

    // The content process ends: ProcessFailed, and our own process lives on.
    const std::uint32_t pid = Browser->BrowserProcessID();
    ASSERT_NE(pid, 0u);
    ASSERT_NE(pid, static_cast<std::uint32_t>(getpid()));
    ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(PumpUntil([&] { return !failures.empty(); }, 15000));
    EXPECT_EQ(failures[0],
              static_cast<Norvane::Shared::TOleEnum>(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED));
    Form->Hide();
}

} // namespace

int main(int argc, char** argv) {
    return RunTests(argc, argv);
}

namespace {

// A page served from memory whose image and script come from the handler too.
const char* LivelyPage = R"html(<!doctype html>
<html><head><title>Lively</title></head>
<body><p>page</p><img src="file:///picture.png"></body></html>)html";

void Serve(TCustomEdgeBrowser* Sender, Norvane::Shared::TWebResourceRequestedEventArgs* Args,
           const std::string& Html) {
    auto content = MakeComObject<TComMemoryStream>(Html);
    TComPtr<ICoreWebView2WebResourceResponse> response;
    Sender->EnvironmentInterface()->CreateWebResourceResponse(content.Get(), 200, "OK",
                                                              PayloadPageHeaders.c_str(), response.Put());
    Args->ArgsInterface()->put_Response(response.Get());
}

// Shows Html, served from memory for every address, in Browser on Form; true
// once its navigation completed.
bool ShowPage(TEdgeBrowser& Browser, Ui::TForm& Form, const std::string& Html) {
    bool completed = false;
    Browser.OnCreateWebViewCompleted = [](TCustomEdgeBrowser* Sender, HRESULT Code) {
        if (FAILED(Code))
            return;
        Sender->AddWebResourceRequestedFilter("*", 0);
        Sender->Navigate("file:///index.html");
    };
    Browser.OnWebResourceRequested = [Html](TCustomEdgeBrowser* Sender,
                                            Norvane::Shared::TWebResourceRequestedEventArgs* Args) {
        Serve(Sender, Args, Html);
    };
    Browser.OnNavigationCompleted = [&completed](TCustomEdgeBrowser*, bool, Norvane::Shared::TOleEnum) {
        completed = true;
    };
    Browser.SetParent(&Form);
    Form.Show();
    const bool shown = PumpUntil([&] { return completed; }, 30000);
    Browser.OnNavigationCompleted = nullptr;
    return shown;
}

} // namespace

// Freeing the control inside a handler of the engine's own signals leaves the
// process running and the next control working: the engine destroys its view
// only once WebKit has left the signal.
TEST_F(RealEngineTest, TheControlMayBeFreedInsideItsHandlers) {
    // NavigationStarting: of the host's navigation, raised inside WebKit's
    // decision, and of the page's, raised once the page has answered about frames.
    enum class TWhere { ScriptDialog, ResourceRequest, FullScreen, HostNavigation, PageNavigation };
    for (TWhere where : {TWhere::ScriptDialog, TWhere::ResourceRequest, TWhere::FullScreen,
                         TWhere::HostNavigation, TWhere::PageNavigation}) {
        SCOPED_TRACE(static_cast<int>(where));
        if (!Browser) {
            Browser = new TEdgeBrowser(Form);
            Browser->SetAlign(Ui::TAlign::alClient);
        }
        bool loaded = false, freed = false;
        auto free = [&] {
            delete Browser;
            Browser = nullptr;
            freed = true;
        };
        Browser->OnCreateWebViewCompleted = [&](TCustomEdgeBrowser* Sender, HRESULT Code) {
            if (FAILED(Code))
                return;
            Sender->SettingsInterface()->put_AreDefaultScriptDialogsEnabled(0);
            Sender->AddWebResourceRequestedFilter("*", 0);
            Sender->Navigate("file:///index.html");
        };
        Browser->OnWebResourceRequested = [&](TCustomEdgeBrowser* Sender,
                                              Norvane::Shared::TWebResourceRequestedEventArgs* Args) {
            TComPtr<ICoreWebView2WebResourceRequest> request;
            Args->ArgsInterface()->get_Request(request.Put());
            char* uri = nullptr;
            request->get_Uri(&uri);
            if (TakeEngineText(uri) == "file:///index.html")
                Serve(Sender, Args, LivelyPage);
            else if (where == TWhere::ResourceRequest)
                free();
        };
        Browser->OnNavigationCompleted = [&](TCustomEdgeBrowser*, bool, Norvane::Shared::TOleEnum) {
            loaded = true;
        };
        Browser->OnScriptDialogOpening = [&](TCustomEdgeBrowser*, auto*) { free(); };
        Browser->OnContainsFullScreenElementChanged = [&](TCustomEdgeBrowser*, bool) { free(); };
        Browser->OnNavigationStarting = [&](TCustomEdgeBrowser*, auto*) {
            if (loaded && (where == TWhere::HostNavigation || where == TWhere::PageNavigation))
                free();
        };
        Browser->SetParent(Form);
        Form->Show();
        if (where != TWhere::ResourceRequest) {
            ASSERT_TRUE(PumpUntil([&] { return loaded; }, 30000));
            if (where == TWhere::HostNavigation)
                Browser->Navigate("file:///next.html");
            else
                Browser->ExecuteScript(where == TWhere::ScriptDialog ? "alert('free me'); 0"
                                       : where == TWhere::FullScreen
                                           ? "document.body.requestFullscreen(); 0"
                                           : "location.href = 'file:///next.html'; 0");
        }
        ASSERT_TRUE(PumpUntil([&] { return freed; }, 30000));
        Settle();
    }
    // A new control on the same form still shows pages.
    Browser = new TEdgeBrowser(Form);
    Browser->SetAlign(Ui::TAlign::alClient);
    ASSERT_TRUE(ShowPage(*Browser, *Form, "<!doctype html><title>After</title>"));
    EXPECT_TRUE(PumpUntil([&] { return Browser->DocumentTitle() == "After"; }, 15000));
    Form->Hide();
}

// Closing the browser process ends the view's content process through the
// engine while the loop goes on, instead of a blocking wait and a kill.
TEST_F(RealEngineTest, ClosingTheBrowserProcessEndsItWhileTheLoopGoesOn) {
    ASSERT_TRUE(ShowPage(*Browser, *Form, "<!doctype html><title>Closing</title>"));
    ASSERT_TRUE(PumpUntil([&] { return Browser->BrowserProcessID() != 0; }, 30000));
    const std::uint32_t pid = Browser->BrowserProcessID();
    bool dispatched = false;
    Ui::Application().Queue([&] { dispatched = true; });
    Browser->CloseBrowserProcess();
    EXPECT_TRUE(dispatched);
    // Ended: gone, or a zombie its parent has not collected yet.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string fields;
    std::getline(stat, fields);
    const std::size_t close = fields.rfind(')');
    EXPECT_TRUE(fields.empty() || (close != std::string::npos && fields.substr(close + 2, 1) == "Z"))
        << fields;
    Form->Hide();
}
