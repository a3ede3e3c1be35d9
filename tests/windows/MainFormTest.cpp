// The main window over the fake engine: its settings steps, the start page,
// the application's extra script, the dynamic title and the close protocol
// with the page.
#include "tests/windows/WindowsTestSupport.h"

#include "runtime/ExeZipLoader.h"
#include "runtime/MainForm.h"

#include <gmock/gmock.h>

using namespace Norvane::Testing;
using namespace Norvane::Testing::Windows;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Platform::Ui::Application;
using Norvane::Platform::Ui::TBorderStyle;
using Norvane::Platform::Ui::TFormStyle;
using Norvane::Platform::Ui::TObject;
using Norvane::Platform::Ui::TPosition;
using Norvane::Platform::Ui::TWindowState;
using Norvane::Runtime::TMainForm;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace Runtime = Norvane::Runtime;

namespace {

constexpr const char* TestAppID = "com.example.sample";
constexpr const char* TestAppName = "Sample Application";

class MainWindowTest : public BrowserWindowFixture {
protected:
    void SetUp() override {
        BrowserWindowFixture::SetUp();
        UsePayload({{"app/index.html", "<html></html>"}});
        Runtime::ProjectINI = &Ini;
        Runtime::AppID = TestAppID;
        Runtime::AppName = TestAppName;
        Runtime::AppFolderName = "app";
        Runtime::AppIndexHtml = "index.html";
        CommandLine({"norvane-runtime"});
    }
    void TearDown() override {
        FreeMain();
        Runtime::ExeZip = nullptr;
        Runtime::ProjectINI = nullptr;
        Runtime::SetCommandLine(0, nullptr);
        BrowserWindowFixture::TearDown();
    }
    void UsePayload(const std::map<std::string, std::string>& Files) {
        Payload = std::make_unique<TPayload>(Files);
        Runtime::ExeZip = &Payload->Zip();
    }
    void CommandLine(const std::vector<std::string>& Arguments) {
        std::vector<const char*> argv;
        for (const std::string& argument : Arguments)
            argv.push_back(argument.c_str());
        Runtime::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    }
    // Creates the main window with these settings (lines of section App) and
    // waits for the browser's creation.
    TMainForm* MakeMain(const std::string& AppSettings = "") {
        FreeMain();
        Ini.LoadFromBytes("[App]\n" + AppSettings);
        Engine().Reset();
        ClearCallMark();
        Main = Norvane::Platform::Ui::TCustomForm::Create<TMainForm>(nullptr);
        EXPECT_NE(Main->BrowserForm(), nullptr);
        if (Main->BrowserForm()) {
            EXPECT_TRUE(WaitCreated(Main->BrowserForm()->EdgeBrowser()));
        }
        return Main;
    }
    void FreeMain() {
        delete Main;
        Main = nullptr;
        EdgeEx::Settle();
    }

    std::unique_ptr<TPayload> Payload;
    Norvane::Shared::TProjectIni Ini;
    TMainForm* Main = nullptr;
};

TEST_F(MainWindowTest, TheBrowserWindowAndTheModuleAreWiredForTheRuntime) {
    MakeMain("AllowDebug=1\nAllowZoom=0\nAllowContextMenu=1\n");
    Norvane::Shared::TBrowserForm* browser = Main->BrowserForm();
    Norvane::Shared::TBrowserExternalModule* module = Main->BrowserExternalModule();
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(Main->CanClose());
    EXPECT_EQ(browser->Parent(), Main);
    EXPECT_EQ(browser->ExeZip(), &Payload->Zip());
    EXPECT_TRUE(browser->IsRuntime());
    EXPECT_TRUE(browser->WithExternal());
    EXPECT_TRUE(browser->HandleRequests());
    EXPECT_EQ(browser->AppDirName(), "app");
    EXPECT_EQ(browser->RuntimeAppID(), TestAppID);
    EXPECT_TRUE(browser->AllowDebug());
    EXPECT_FALSE(browser->AllowZoom());
    EXPECT_TRUE(browser->AllowContextMenu());
    EXPECT_THAT(DetailsOf("Settings.put_AreDevToolsEnabled"), ElementsAre("1"));
    EXPECT_EQ(module->ExeZip(), &Payload->Zip());
    EXPECT_EQ(module->MainForm(), Main);
    EXPECT_EQ(module->BrowserForm(), browser);
    EXPECT_EQ(module->ProjectINI(), &Ini);
    EXPECT_EQ(Main->Caption(), TestAppName);
    EXPECT_EQ(Application().Title(), TestAppName);
    // The page's messages reach the bridge, which answers through the browser.
    FireWebMessage(JsonMessage(R"({"id": 10002, "uuid": "rt", "data": {}})").Get());
    EXPECT_THAT(DetailsOf("View.PostWebMessageAsJson"),
                ElementsAre(R"({"uuid": "rt", "success": true, "result": true})"));
}

TEST_F(MainWindowTest, BorderStateAndFullScreenSettings) {
    const TBorderStyle borders[] = {TBorderStyle::bsNone,       TBorderStyle::bsSingle,
                                    TBorderStyle::bsSizeable,   TBorderStyle::bsDialog,
                                    TBorderStyle::bsToolWindow, TBorderStyle::bsSizeToolWin};
    for (int value = 0; value < 6; ++value) {
        SCOPED_TRACE(value);
        MakeMain("WindowBorder=" + std::to_string(value));
        EXPECT_EQ(Main->BorderStyle(), borders[value]);
        EXPECT_EQ(Main->WindowState(), TWindowState::wsNormal);
        EXPECT_FALSE(Main->BrowserExternalModule()->InFullscreen());
    }
    for (const char* settings : {"", "WindowBorder=6", "WindowBorder=-1", "WindowBorder=99"}) {
        SCOPED_TRACE(settings);
        MakeMain(settings);
        EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsSizeable);
    }
    struct TStateCase {
        const char* Settings;
        TWindowState Expected;
    };
    for (const TStateCase& c : {TStateCase{"WindowState=0", TWindowState::wsNormal},
                                TStateCase{"WindowState=1", TWindowState::wsMaximized},
                                TStateCase{"WindowState=2", TWindowState::wsNormal},
                                TStateCase{"WindowState=-1", TWindowState::wsNormal}}) {
        SCOPED_TRACE(c.Settings);
        MakeMain(c.Settings);
        EXPECT_EQ(Main->WindowState(), c.Expected);
    }
    // Full screen: borderless and maximized; border and state settings are not used.
    MakeMain("WindowStyle=1\nWindowBorder=3\nWindowState=0\n");
    EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsNone);
    EXPECT_EQ(Main->WindowState(), TWindowState::wsMaximized);
    EXPECT_TRUE(Main->BrowserExternalModule()->InFullscreen());
    MakeMain("WindowStyle=2\nWindowBorder=3\n");
    EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsDialog);
    EXPECT_EQ(Main->WindowState(), TWindowState::wsNormal);
    EXPECT_FALSE(Main->BrowserExternalModule()->InFullscreen());
}

TEST_F(MainWindowTest, PositionSizeLimitsAndOrderSettings) {
    struct TPositionCase {
        const char* Settings;
        TPosition Expected;
    };
    for (const TPositionCase& c :
         {TPositionCase{"", TPosition::poDesktopCenter},
          TPositionCase{"WindowPosition=0\nLeft=10\nTop=10", TPosition::poDesktopCenter},
          TPositionCase{"WindowPosition=1", TPosition::poDefaultPosOnly},
          TPositionCase{"WindowPosition=-3", TPosition::poDefaultPosOnly}}) {
        SCOPED_TRACE(c.Settings);
        MakeMain(c.Settings);
        EXPECT_EQ(Main->Position(), c.Expected);
    }

    MakeMain();
    EXPECT_EQ(Main->Left(), 50);
    EXPECT_EQ(Main->Top(), 50);
    EXPECT_EQ(Main->Width(), 800);
    EXPECT_EQ(Main->Height(), 600);
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsNormal);

    MakeMain(
        "Left=30\nTop=40\nWidth=800\nHeight=500\nMinWidth=900\nMinHeight=300\nMaxWidth=1200\nMaxHeight=700\n"
        "WindowOrder=1");
    EXPECT_EQ(Main->Constraints().MinWidth, 900);
    EXPECT_EQ(Main->Constraints().MinHeight, 300);
    EXPECT_EQ(Main->Constraints().MaxWidth, 1200);
    EXPECT_EQ(Main->Constraints().MaxHeight, 700);
    EXPECT_GE(Main->Width(), 900);
    EXPECT_EQ(Main->Height(), 500);
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsStayOnTop);

    MakeMain("WindowOrder=2");
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsNormal);
}

TEST_F(MainWindowTest, TheStartPageIsTheStartFileUnlessRelaunchedWithTheIdAndAnAddress) {
    auto startPage = [&] {
        auto navigations = DetailsOf("View.Navigate");
        EXPECT_EQ(navigations.size(), 1u);
        EXPECT_EQ(Main->BrowserForm()->StartPageURL(), navigations.empty() ? "" : navigations[0]);
        return navigations.empty() ? std::string() : navigations[0];
    };
    MakeMain();
    EXPECT_EQ(startPage(), "file:///index.html");

    Runtime::AppIndexHtml = "pages/home.html";
    MakeMain();
    EXPECT_EQ(startPage(), "file:///pages/home.html");

    UsePayload({{"app/index.html", "<html></html>"}, {"app/help.html", "<html></html>"}});
    CommandLine({"norvane-runtime", TestAppID, "file:///help.html?topic=a%20b#top"});
    MakeMain();
    EXPECT_EQ(startPage(), "file:///help.html?topic=a%20b#top");

    // An address that names no page of the payload (a file on disk) is not taken.
    CommandLine({"norvane-runtime", TestAppID, "file:///home/user/chain.html"});
    MakeMain();
    EXPECT_EQ(startPage(), "file:///pages/home.html");

    for (const std::vector<std::string>& ignored :
         {std::vector<std::string>{"norvane-runtime", TestAppID},
          std::vector<std::string>{"norvane-runtime", "com.example.other", "file:///help.html"},
          std::vector<std::string>{"norvane-runtime", "COM.EXAMPLE.SAMPLE", "file:///help.html"},
          std::vector<std::string>{"norvane-runtime", TestAppID, "file:///help.html", "more"}}) {
        SCOPED_TRACE(ignored.back());
        CommandLine(ignored);
        MakeMain();
        EXPECT_EQ(startPage(), "file:///pages/home.html");
    }
}

TEST_F(MainWindowTest, TheExtraScriptComesFromTheArchiveEntry) {
    const std::string extra = "qvx.events.onCloseQuery = function () { ask(); };\r\n";
    UsePayload({{"app/index.html", "<html></html>"}, {"qvx-webviewjs", extra}});
    MakeMain();
    EXPECT_EQ(Main->BrowserForm()->WebviewJavascript(), extra);
    auto scripts = DetailsOf("View.AddScriptToExecuteOnDocumentCreated");
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_TRUE(scripts[0].ends_with("\r" + extra)) << scripts[0].substr(scripts[0].size() - 200);

    UsePayload({{"app/index.html", "<html></html>"}});
    MakeMain();
    EXPECT_EQ(Main->BrowserForm()->WebviewJavascript(), "");
    EXPECT_TRUE(EdgeEx::ReportedErrors().empty());
}

TEST_F(MainWindowTest, TheCaptionFollowsTheTitleOnlyWhileDynamicAppTitleIsOn) {
    MakeMain();
    TFakeView* view = Engine().View();
    auto changeTitle = [&](const std::string& Title) {
        view->Title = Title;
        view->Fire<ICoreWebView2DocumentTitleChangedEventHandler, IUnknown>("DocumentTitleChanged", nullptr);
    };
    changeTitle("First page");
    EXPECT_EQ(Main->Caption(), TestAppName);
    // The setting is read anew on every change.
    Ini.LoadFromBytes("[App]\nDynamicAppTitle=1\n");
    changeTitle("Second page");
    EXPECT_EQ(Main->Caption(), "Second page");
    changeTitle("Third page");
    EXPECT_EQ(Main->Caption(), "Third page");
    EXPECT_EQ(Application().Title(), TestAppName);
    Ini.LoadFromBytes("[App]\nDynamicAppTitle=0\n");
    changeTitle("Fourth page");
    EXPECT_EQ(Main->Caption(), "Third page");
}

TEST_F(MainWindowTest, ACloseIsRefusedAndAskedOfThePageWhichClosesThroughTheBridge) {
    MakeMain();
    Main->Show();
    MarkCalls();
    // The scripts of the close protocol (the page also hears of the window's
    // focus and bounds).
    const auto closeQueries = [] {
        std::vector<std::string> scripts;
        for (const std::string& script : DetailsOf("View.ExecuteScript"))
            if (script.starts_with("qvx.events.onCloseQuery"))
                scripts.push_back(script);
        return scripts;
    };

    // The window manager's close request (the close box).
    ASSERT_TRUE(RequestCloseByWindowManager(*Main));
    ASSERT_TRUE(EdgeEx::PumpUntil([&] { return !closeQueries().empty(); }));
    EXPECT_THAT(closeQueries(), ElementsAre("qvx.events.onCloseQuery();"));
    EXPECT_TRUE(Main->Visible());
    EXPECT_FALSE(Main->CanClose());
    // A programmatic close is refused the same way.
    Main->Close();
    EXPECT_TRUE(Main->Visible());
    EXPECT_EQ(closeQueries().size(), 2u);

    // Watch the frees: the module (its hidden form goes with it), then the browser window.
    std::vector<std::string> freed;
    Main->BrowserExternalModule()->BrowserExternalForm()->OnDestroy = [&freed](TObject*) {
        freed.push_back("module");
    };
    Norvane::Shared::TBrowserForm* browser = Main->BrowserForm();
    auto browserDestroy = browser->OnDestroy;
    browser->OnDestroy = [&freed, browserDestroy](TObject* Sender) {
        freed.push_back("browser window");
        browserDestroy(Sender);
    };

    // The page's default handler calls qvx.app.close().
    FireWebMessage(JsonMessage(R"({"id": 50001, "uuid": "close", "data": {}})").Get());
    // The close ran inside the engine's callback, the frees wait for the loop.
    EXPECT_TRUE(Main->CanClose());
    EXPECT_FALSE(Main->Visible());
    EXPECT_EQ(Main->BrowserForm(), nullptr);
    EXPECT_EQ(Main->BrowserExternalModule(), nullptr);
    EXPECT_THAT(closeQueries(), ElementsAre("qvx.events.onCloseQuery();", "qvx.events.onCloseQuery();",
                                            "qvx.events.onCloseQuery();"));
    EXPECT_THAT(freed, IsEmpty());
    EXPECT_THAT(DetailsOf("View.PostWebMessageAsJson"), IsEmpty());
    EXPECT_TRUE(EdgeEx::PumpUntil([&] { return freed.size() == 2; }));
    EXPECT_THAT(freed, ElementsAre("module", "browser window"));
    EXPECT_EQ(CallCount("Controller.Close"), 1u);
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
}

} // namespace
