// The browser window over the fake engine: the pages it serves for "file:///"
// addresses, the script and settings it gives a new browser, new windows as
// new processes, permissions and the progress bar.
#include "tests/windows/WindowsTestSupport.h"

#include "shared/browser/BrowserForm.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace Norvane::Testing;
using namespace Norvane::Testing::Windows;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Shared::TBrowserForm;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace fs = std::filesystem;

namespace {

// What the browser window adds to the headers of a payload entry's answer.
const std::string PayloadMark = std::string("\r\n") + Norvane::WebView2::ApplicationContentHeader + ": " +
                                Norvane::WebView2::ApplicationContentValue;

// A few mebibytes of varied bytes, longer than the decoder's checkpoint interval.
std::string VideoBytes() {
    std::string bytes(5 << 20, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Resource handler
// ---------------------------------------------------------------------------

std::string ReadAll(Norvane::Shared::TStream& Stream) {
    std::string bytes(static_cast<std::size_t>(Stream.Size()), '\0');
    bytes.resize(static_cast<std::size_t>(Stream.Read(bytes.data(), Stream.Size())));
    return bytes;
}

class ResourceHandlerTest : public BrowserWindowFixture {
protected:
    void SetUp() override {
        BrowserWindowFixture::SetUp();
        Payload = std::make_unique<TPayload>(std::map<std::string, std::string>{
            {"app/index.html", "<html>index from the archive</html>"},
            {"app/css/site.css", "body { color: red; }"},
            {"app/my image.png", "png with a space"},
            {"app/my%2Dimage.png", "png named with %2D"},
            {"app/only%2Dliteral.png", "literal %2D only"},
            {"app/donn\xC3\xA9"
             "es.txt",
             "accented name"},
            {"app/my-image.png", "png named with a dash"},
            {"app/sub/page.html", "sub page from the archive"},
            {"app/Images/Logo.PNG", "logo in upper case"},
            {"app/video.bin", VideoBytes()},
            {"app/both.txt", "both: archive"},
            {"other/elsewhere.html", "outside the application folder"},
        });
        ExeDir = Temp.Path() / "exe";
        AbsDir = Temp.Path() / "abs";
        WriteBeside("both.txt", "both: disk");
        WriteBeside("disk/only.css", "css beside the executable");
        WriteBeside("my file.txt", "disk file with a space");
        WriteBeside("elsewhere.html", "elsewhere beside the executable");
        fs::create_directories(AbsDir);
        WriteFile((AbsDir / "a.png").string(), "absolute png");
        WriteFile((AbsDir / "with space.png").string(), "absolute, real space");
        WriteFile((AbsDir / "with%20space.png").string(), "absolute, literal %20");

        MakeWindow({}, [&](TBrowserForm& W) {
            W.SetExeZip(&Payload->Zip());
            W.SetAppDirName("app");
            W.SetHandleRequests(true);
            W.SetIsRuntime(true);
        });
        // The folder of the executable is found at creation; the tests use their own.
        Window->SetAppDirPath(ExeDir.string() + "/");
    }

    void WriteBeside(const std::string& Name, const std::string& Content) {
        fs::create_directories((ExeDir / Name).parent_path());
        WriteFile((ExeDir / Name).string(), Content);
    }
    // What ResolveResource gives, as "content|type", or "-" for nothing.
    std::string Resolve(const std::string& Address) {
        auto resource = Window->ResolveResource(Address);
        if (!resource)
            return "-";
        return ReadAll(*resource->Content) + "|" + resource->ContentType;
    }
    std::string AbsoluteAddress(const std::string& Name) {
#ifdef _WIN32
        return "file:///" + (AbsDir / Name).generic_string(); // file:///C:/…
#else
        return "file://" + (AbsDir / Name).string();
#endif
    }

    TempDir Temp;
    fs::path ExeDir, AbsDir;
    std::unique_ptr<TPayload> Payload;
};

TEST_F(ResourceHandlerTest, ArchiveFirstThenBesideTheExecutableThenTheAbsolutePath) {
    EXPECT_EQ(Resolve("file:///index.html"), "<html>index from the archive</html>|text/html");
    EXPECT_EQ(Resolve("file:///css/site.css"), "body { color: red; }|text/css");
    // In the archive and beside the executable: the archive wins.
    EXPECT_EQ(Resolve("file:///both.txt"), "both: archive|text/plain");
    EXPECT_EQ(Resolve("file:///disk/only.css"), "css beside the executable|text/css");
    // Only entries of the application folder count.
    EXPECT_EQ(Resolve("file:///elsewhere.html"), "elsewhere beside the executable|text/html");
    EXPECT_EQ(Resolve(AbsoluteAddress("a.png")), "absolute png|image/x-png");
    // The same relative path beside the executable comes before the absolute path.
    WriteBeside((AbsDir / "a.png").relative_path().string(), "beside, under the absolute name");
    EXPECT_EQ(Resolve(AbsoluteAddress("a.png")), "beside, under the absolute name|image/x-png");
    EXPECT_EQ(Resolve("file:///missing.html"), "-");
}

TEST_F(ResourceHandlerTest, NamesAreDecodedFirstThenTakenLiterallyWithoutQueryOrFragment) {
    EXPECT_EQ(Resolve("file:///my%20image.png"), "png with a space|image/x-png");
    EXPECT_EQ(Resolve("file:///my-image.png"), "png named with a dash|image/x-png");
    EXPECT_EQ(Resolve("file:///my%20file.txt"), "disk file with a space|text/plain");
    // Every sequence is decoded as UTF-8; the decoded name comes first, and
    // the literal name of the "%20"-only rule still finds what was packed for it.
    EXPECT_EQ(Resolve("file:///donn%C3%A9es.txt"), "accented name|text/plain");
    EXPECT_EQ(Resolve("file:///my%2Dimage.png"), "png named with a dash|image/x-png");
    EXPECT_EQ(Resolve("file:///only%2Dliteral.png"), "literal %2D only|image/x-png");
    EXPECT_EQ(Resolve("file:///sub%2Fpage.html"), "sub page from the archive|text/html");
    // The absolute path is decoded too, and taken literally after that.
    EXPECT_EQ(Resolve(AbsoluteAddress("with%20space.png")), "absolute, real space|image/x-png");
    // A query or fragment is no part of the name.
    EXPECT_EQ(Resolve("file:///sub/page.html?y=2"), "sub page from the archive|text/html");
    EXPECT_EQ(Resolve("file:///sub/page.html#top"), "sub page from the archive|text/html");
    EXPECT_EQ(Resolve("file:///donn%C3%A9es.txt?v=3#a"), "accented name|text/plain");
    // A decoded name that would leave its folder is not looked up: not in the
    // archive's other folder, not beside the program's folder.
    for (const char* address : {"file:///..%2Fother%2Felsewhere.html", "file:///%2E%2E/other/elsewhere.html",
                                "file:///..%5Cexe%5Cboth.txt", "file:///both.txt%00.png"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(Resolve(address), "-");
    }
    WriteFile((Temp.Path() / "outside.txt").string(), "outside the program's folder");
    EXPECT_EQ(Resolve("file:///%2E%2E%2Foutside.txt"), "-");
}

TEST_F(ResourceHandlerTest, ByteRangesAreAnsweredWithTheAskedBytes) {
    const std::string video = VideoBytes();
    const std::string total = "/" + std::to_string(video.size());
    struct TCase {
        std::string Range;
        int Status;
        std::size_t First, Length;
        std::string ContentRange;
    } cases[] = {
        {"bytes=0-", 206, 0, video.size(), "bytes 0-" + std::to_string(video.size() - 1) + total},
        {"bytes=2000000-2000099", 206, 2000000, 100, "bytes 2000000-2000099" + total},
        {"bytes=100-199", 206, 100, 100, "bytes 100-199" + total}, // back after a far seek
        {"bytes=-10", 206, video.size() - 10, 10,
         "bytes " + std::to_string(video.size() - 10) + "-" + std::to_string(video.size() - 1) + total},
        {"bytes=3000000-99999999", 206, 3000000, video.size() - 3000000,
         "bytes 3000000-" + std::to_string(video.size() - 1) + total},
        {"bytes=99999999-", 416, 0, 0, "bytes *" + total},
        {"bytes=0-1,5-6", 200, 0, video.size(), ""}, // several ranges: the whole content
        {"items=0-1", 200, 0, video.size(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Range);
        TFakeWebResourceResponse* answer =
            FireResourceRequest("file:///video.bin", "Accept: */*\r\nrange: " + c.Range);
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->StatusCode, c.Status);
        std::string expectedHeaders = "Content-Type: application/octet-stream" + PayloadMark;
        if (!c.ContentRange.empty())
            expectedHeaders += "\r\nContent-Range: " + c.ContentRange;
        expectedHeaders += "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(c.Length);
        EXPECT_EQ(answer->Headers, expectedHeaders);
        EXPECT_TRUE(answer->Body() == video.substr(c.First, c.Length)) << "bytes differ";
    }
}

TEST_F(ResourceHandlerTest, ArchiveNamesMatchWithoutRegardToCase) {
    EXPECT_EQ(Resolve("file:///images/logo.png"), "logo in upper case|image/x-png");
    EXPECT_EQ(Resolve("file:///IMAGES/LOGO.png"), "logo in upper case|image/x-png");
    EXPECT_EQ(Resolve("file:///Index.HTML"), "<html>index from the archive</html>|text/html");
}

TEST_F(ResourceHandlerTest, TheResponseCarriesStatusReasonTypeHeaderAndTheWholeContent) {
    MarkCalls();
    // Text types carry their character set, other types none (the engine
    // refuses to stream WebAssembly whose type has one); every answer says
    // that ranges are answered and how long it is.
    auto headers = [](const std::string& Type, std::size_t Length, bool FromPayload) {
        return "Content-Type: " + Type + (FromPayload ? PayloadMark : "") +
               "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(Length);
    };
    TFakeWebResourceResponse* page = FireResourceRequest("file:///index.html");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->StatusCode, 200);
    EXPECT_EQ(page->ReasonPhrase, "OK");
    EXPECT_EQ(page->Headers, headers("text/html; charset=utf-8", 35, true));
    EXPECT_EQ(page->Body(), "<html>index from the archive</html>");

    TFakeWebResourceResponse* image = FireResourceRequest("file:///my%20image.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Headers, headers("image/x-png", 16, true));
    EXPECT_EQ(image->Body(), "png with a space");

    TFakeWebResourceResponse* disk = FireResourceRequest("file:///disk/only.css");
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->Headers, headers("text/css; charset=utf-8", 25, false));
    EXPECT_EQ(disk->Body(), "css beside the executable");

    TFakeWebResourceResponse* absolute = FireResourceRequest(AbsoluteAddress("a.png"));
    ASSERT_NE(absolute, nullptr);
    EXPECT_EQ(absolute->Body(), "absolute png");

    EXPECT_EQ(DetailsOf("Environment.CreateWebResourceResponse").size(), 4u);
    // The response holds its content after the request is over.
    EXPECT_EQ(Engine().Environment()->Responses.size(), 4u);
}

TEST_F(ResourceHandlerTest, NoResponseForOtherAddressesMissingFilesOrWhenRequestsAreNotHandled) {
    MarkCalls();
    for (const char* address : {"https://example.org/index.html", "about:blank", "file://server/index.html",
                                "data:text/html,index", "file:///missing.html", "file:///missing.html?y=2"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(FireResourceRequest(address), nullptr);
        EXPECT_EQ(Resolve(address), "-");
    }
    Window->SetHandleRequests(false);
    EXPECT_EQ(FireResourceRequest("file:///index.html"), nullptr);
    EXPECT_EQ(Resolve("file:///index.html"), "-");
    EXPECT_EQ(Resolve("file:///disk/only.css"), "-");
    EXPECT_EQ(CallCount("Environment.CreateWebResourceResponse"), 0u);
}

TEST_F(ResourceHandlerTest, WithoutArchiveOrFolderNameTheDiskIsUsed) {
    Window->SetAppDirName("");
    EXPECT_EQ(Resolve("file:///both.txt"), "both: disk|text/plain");
    Window->SetAppDirName("app");
    Window->SetExeZip(nullptr);
    EXPECT_EQ(Resolve("file:///both.txt"), "both: disk|text/plain");
    EXPECT_EQ(Resolve("file:///index.html"), "-");
}

// ---------------------------------------------------------------------------
// Document script, settings, filter and first navigation
// ---------------------------------------------------------------------------

using CreationTest = BrowserWindowFixture;

constexpr const char* DragOver =
    "window.addEventListener(\"dragover\", function(e){e.preventDefault();},false);";
constexpr const char* Drop = "window.addEventListener(\"drop\", function(e){e.preventDefault();}, false);";
constexpr const char* ClickNotice = "window.addEventListener(\"click\", function () "
                                    "{window.chrome.webview.postMessage(\"qvx-webbrowser-clicked\");});";

std::string BridgeLibrary() {
    return ReadFile(std::string(NORVANE_BINARY_DIR) + "/generated/bridge/QVX_EXTERNAL_JAVASCRIPT.js");
}

TEST_F(CreationTest, TheDocumentScriptIsJoinedByCarriageReturnsAndAddedOnce) {
    struct TCase {
        bool WithExternal, IsRuntime;
        std::string Extra, Expected;
    };
    const std::string library = BridgeLibrary();
    ASSERT_FALSE(library.empty());
    const std::string extra = "qvx.events.onCloseQuery = function () {};\n";
    const std::vector<TCase> cases = {
        {true, true, extra, "\r" + library + "\r" + DragOver + "\r" + Drop + "\r" + extra},
        {true, false, extra, "\r" + library + "\r" + DragOver + "\r" + Drop + "\r" + ClickNotice},
        {false, true, "", std::string("\r") + DragOver + "\r" + Drop},
        {false, true, " \r\n\t\n  \n", std::string("\r") + DragOver + "\r" + Drop},
        {false, true, "  go();\r\n", std::string("\r") + DragOver + "\r" + Drop + "\r" + "  go();\r\n"},
        {false, false, "go();", std::string("\r") + DragOver + "\r" + Drop + "\r" + ClickNotice},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("external " + std::to_string(c.WithExternal) + ", runtime " +
                     std::to_string(c.IsRuntime) + ", extra \"" + c.Extra + "\"");
        MakeWindow({}, [&](TBrowserForm& W) {
            W.SetWithExternal(c.WithExternal);
            W.SetIsRuntime(c.IsRuntime);
            W.SetWebviewJavascript(c.Extra);
        });
        EXPECT_EQ(Window->DocumentScript(), c.Expected);
        EXPECT_THAT(DetailsOf("View.AddScriptToExecuteOnDocumentCreated"), ElementsAre(c.Expected));
        FreeWindow();
        EdgeEx::Settle();
    }
}

TEST_F(CreationTest, SettingsFilterAndNavigationFollowTheScriptInOrder) {
    struct TCase {
        bool Zoom, Debug, ContextMenu;
        std::string StartPage;
    };
    for (const TCase& c : {TCase{true, false, true, "file:///start.html"}, TCase{false, true, false, ""}}) {
        SCOPED_TRACE(c.StartPage);
        MakeWindow({}, [&](TBrowserForm& W) {
            W.SetAllowZoom(c.Zoom);
            W.SetAllowDebug(c.Debug);
            W.SetAllowContextMenu(c.ContextMenu);
            W.SetStartPageURL(c.StartPage);
        });
        // The window's own calls: the script, the settings, the filter, the navigation.
        std::vector<std::string> made;
        for (const TCall& call : Engine().Calls()) {
            if (call.Name == "View.AddScriptToExecuteOnDocumentCreated")
                made.push_back(call.Name + "(...)");
            else if (call.Name.rfind("Settings.put_", 0) == 0 ||
                     call.Name == "View.AddWebResourceRequestedFilter" || call.Name == "View.Navigate")
                made.push_back(call.Name + "(" + call.Detail + ")");
        }
        auto flag = [](bool Value) { return std::string(Value ? "1" : "0"); };
        std::vector<std::string> expected = {
            "View.AddScriptToExecuteOnDocumentCreated(...)",
            "Settings.put_IsScriptEnabled(1)",
            "Settings.put_IsStatusBarEnabled(0)",
            "Settings.put_IsWebMessageEnabled(1)",
            "Settings.put_IsBuiltInErrorPageEnabled(1)",
            "Settings.put_IsZoomControlEnabled(" + flag(c.Zoom) + ")",
            "Settings.put_AreDevToolsEnabled(" + flag(c.Debug) + ")",
            "Settings.put_AreDefaultContextMenusEnabled(" + flag(c.ContextMenu) + ")",
            "View.AddWebResourceRequestedFilter(*," + std::to_string(COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL) +
                ")",
        };
        if (!c.StartPage.empty())
            expected.push_back("View.Navigate(" + c.StartPage + ")");
        EXPECT_EQ(made, expected);
        FreeWindow();
        EdgeEx::Settle();
    }
}

TEST_F(CreationTest, AFailedCreationGetsNoScriptSettingsFilterOrNavigation) {
    TScenario noController;
    noController.ControllerResult = E_FAIL;
    TScenario noSettings;
    noSettings.Results["View.get_Settings"] = E_FAIL;
    for (const TScenario& scenario : {noController, noSettings}) {
        MakeWindow(scenario, [](TBrowserForm& W) {
            W.SetWithExternal(true);
            W.SetIsRuntime(true);
            W.SetStartPageURL("file:///index.html");
        });
        EXPECT_FALSE(Window->EdgeBrowser()->WebViewCreated());
        EXPECT_EQ(CallCount("View.AddScriptToExecuteOnDocumentCreated"), 0u);
        EXPECT_THAT(Engine().CallNames("Settings.put_"), IsEmpty());
        EXPECT_EQ(CallCount("View.AddWebResourceRequestedFilter"), 0u);
        EXPECT_EQ(CallCount("View.Navigate"), 0u);
        EXPECT_TRUE(Window->ProgressBar->Visible());
        FreeWindow();
        EdgeEx::Settle();
    }
}

// ---------------------------------------------------------------------------
// New windows, permissions, progress bar
// ---------------------------------------------------------------------------

using PageRequestsTest = BrowserWindowFixture;

// Not on Windows: the desktop's opener is replaced through PATH by a /bin/sh
// script (there the system's shell opens web and mail links).
#ifndef _WIN32
// Fires a new-window request; whether the window marked it handled.
bool RequestNewWindow(const std::string& Address) {
    auto args = MakeComObject<TFakeNewWindowRequestedArgs>();
    args->Uri = Address;
    Engine().View()->Fire<ICoreWebView2NewWindowRequestedEventHandler>("NewWindowRequested", args.Get());
    return args->Handled != 0;
}

std::vector<std::string> Records(const fs::path& Folder) {
    std::vector<std::string> records;
    for (const auto& entry : fs::directory_iterator(Folder))
        if (entry.path().extension() == ".txt")
            records.push_back(ReadFile(entry.path().string()));
    return records;
}

TEST_F(PageRequestsTest, AFileAddressOpensANewProcessWebAndMailLinksTheDefaultProgram) {
    TempDir records;
    ::setenv(RelaunchRecordsVariable, records.Path().c_str(), 1);
    // The desktop's opener, replaced by one that records what it was given.
    TempDir bin;
    const fs::path opened = bin.Path() / "opened.log";
    WriteFile((bin.Path() / "xdg-open").string(),
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >>'" + opened.string() + "'\n");
    fs::permissions(bin.Path() / "xdg-open", fs::perms::owner_all);
    const std::string path = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", (bin.Path().string() + ":" + path).c_str(), 1);
    TPayload payload(std::map<std::string, std::string>{{"app/about.html", "<p>about</p>"}});
    MakeWindow({}, [&](TBrowserForm& W) {
        W.SetIsRuntime(true);
        W.SetRuntimeAppID(RelaunchTestID);
        W.SetExeZip(&payload.Zip());
        W.SetAppDirName("app");
    });
    EXPECT_EQ(Window->NewWindowParameters("file:///about us.html"),
              std::string("\"") + RelaunchTestID + "\" \"file:///about us.html\"");

    Window->SetIsRuntime(false);
    EXPECT_FALSE(RequestNewWindow("file:///outside-runtime.html"));
    EXPECT_FALSE(RequestNewWindow("https://example.org/"));
    Window->SetIsRuntime(true);
    EXPECT_FALSE(RequestNewWindow("about:blank"));
    EXPECT_FALSE(RequestNewWindow("blob:file:///5d1c"));
    EXPECT_EQ(CallCount("NewWindowRequestedArgs.put_Handled"), 0u);

    EXPECT_TRUE(RequestNewWindow("https://example.org/a?b=1"));
    EXPECT_TRUE(RequestNewWindow("mailto:someone@example.org"));
    // Two processes of their own: in either order.
    auto lines = [&] {
        std::vector<std::string> read;
        std::istringstream in(fs::exists(opened) ? ReadFile(opened.string()) : std::string());
        for (std::string line; std::getline(in, line);)
            read.push_back(line);
        return read;
    };
    EXPECT_TRUE(EdgeEx::PumpUntil([&] { return lines().size() >= 2; }, 20000));
    EXPECT_THAT(lines(), UnorderedElementsAre("https://example.org/a?b=1", "mailto:someone@example.org"));
    ::setenv("PATH", path.c_str(), 1);

    // A file address that is no page of the payload (a file on disk) opens nothing.
    EXPECT_TRUE(RequestNewWindow("file:///home/user/chain.html"));
    const std::string address = "FILE:///about.html?x=1#top";
    EXPECT_TRUE(RequestNewWindow(address));
    EXPECT_THAT(DetailsOf("NewWindowRequestedArgs.put_Handled"), ElementsAre("1", "1", "1", "1"));
    // The new process is this program, which records its second argument.
    EXPECT_TRUE(EdgeEx::PumpUntil([&] { return !Records(records.Path()).empty(); }, 20000));
    EXPECT_THAT(Records(records.Path()), ElementsAre(address));
    ::unsetenv(RelaunchRecordsVariable);
}
#endif

TEST_F(PageRequestsTest, EveryPermissionIsAllowed) {
    MakeWindow();
    for (int i = 0; i < 3; ++i) {
        auto args = MakeComObject<TFakePermissionRequestedArgs>();
        Engine().View()->Fire<ICoreWebView2PermissionRequestedEventHandler>("PermissionRequested",
                                                                            args.Get());
        EXPECT_EQ(args->State, COREWEBVIEW2_PERMISSION_STATE_ALLOW);
    }
    EXPECT_THAT(DetailsOf("PermissionRequestedArgs.put_State"), ElementsAre("1", "1", "1"));
}

TEST_F(PageRequestsTest, TheProgressBarIsShownUntilTheFirstCompletedNavigation) {
    for (BOOL firstSucceeds : {FALSE_VALUE, TRUE_VALUE}) {
        SCOPED_TRACE(firstSucceeds);
        MakeWindow({}, [](TBrowserForm& W) { W.SetStartPageURL("file:///index.html"); });
        EXPECT_TRUE(Window->ProgressBar->Visible());
        auto starting = MakeComObject<TFakeNavigationStartingArgs>();
        Engine().View()->Fire<ICoreWebView2NavigationStartingEventHandler>("NavigationStarting",
                                                                           starting.Get());
        EXPECT_TRUE(Window->ProgressBar->Visible());
        auto completed = MakeComObject<TFakeNavigationCompletedArgs>();
        completed->IsSuccess = firstSucceeds;
        Engine().View()->Fire<ICoreWebView2NavigationCompletedEventHandler>("NavigationCompleted",
                                                                            completed.Get());
        EXPECT_FALSE(Window->ProgressBar->Visible());
        // Later navigations do not bring it back.
        Engine().View()->Fire<ICoreWebView2NavigationStartingEventHandler>("NavigationStarting",
                                                                           starting.Get());
        completed->IsSuccess = !firstSucceeds;
        Engine().View()->Fire<ICoreWebView2NavigationCompletedEventHandler>("NavigationCompleted",
                                                                            completed.Get());
        EXPECT_FALSE(Window->ProgressBar->Visible());
        FreeWindow();
        EdgeEx::Settle();
    }
}

} // namespace
