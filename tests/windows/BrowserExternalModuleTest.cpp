// The bridge module on a browser window over the fake engine: real web
// messages in, replies posted through the view, errors to the application's
// error report once the engine's callback has returned.
#include "tests/windows/WindowsTestSupport.h"

#include "platform/Process.h"
#include "platform/Session.h"
#include "platform/System.h"
#include "shared/Resources.h"
#include "shared/bridge/BrowserExternalModule.h"
#include "tests/support/TestSupport.h"

#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gmock/gmock.h>

using namespace Norvane::Testing;
using namespace Norvane::Testing::Windows;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Shared::TBrowserExternalModule;
using Norvane::Shared::TBrowserForm;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

class ModuleTest : public BrowserWindowFixture {
protected:
    void SetUp() override {
        BrowserWindowFixture::SetUp();
        MakeWindow();
        Module = std::make_unique<TBrowserExternalModule>();
        Module->SetBrowserForm(Window);
        Module->OnShowRefusal = [this](const std::string& Text) { Refusals.push_back(Text); };
        Module->OnAppCloseRequest = [this](Norvane::Platform::Ui::TObject* Sender) {
            CloseRequests.push_back(Sender);
        };
        TBrowserExternalModule* module = Module.get();
        Window->OnPageMessage = [module](const std::string& Source, const std::string& AsString,
                                         const std::string& AsJson) {
            module->ReceiveWebMessage(Source, AsString, AsJson);
        };
        MarkCalls();
    }
    void TearDown() override {
        Module.reset();
        BrowserWindowFixture::TearDown();
    }
    // Sends a message and lets the loop run once; the replies posted.
    std::vector<std::string> Send(TMessageArgs* Args) {
        const std::size_t before = DetailsOf("View.PostWebMessageAsJson").size();
        FireWebMessage(Args);
        Norvane::Platform::Ui::Application().ProcessMessages();
        std::vector<std::string> posted = DetailsOf("View.PostWebMessageAsJson");
        posted.erase(posted.begin(), posted.begin() + static_cast<std::ptrdiff_t>(before));
        return posted;
    }
    std::vector<std::string> Send(const std::string& Json) { return Send(JsonMessage(Json).Get()); }

    std::unique_ptr<TBrowserExternalModule> Module;
    std::vector<std::string> Refusals;
    std::vector<Norvane::Platform::Ui::TObject*> CloseRequests;
};

TEST_F(ModuleTest, HelloAndIsRuntimeReplyExactlyAndIsRuntimeFollowsTheArchive) {
    EXPECT_THAT(Send(R"({"id": 10001, "uuid": "u-1", "data": {}})"),
                ElementsAre(R"({"uuid": "u-1", "success": true, "result": "2022.5"})"));
    EXPECT_THAT(Send(R"({"id": 10002, "uuid": "u-2", "data": {}})"),
                ElementsAre(R"({"uuid": "u-2", "success": true, "result": false})"));
    TPayload payload(std::map<std::string, std::string>{{"app/index.html", "<html></html>"}});
    Module->SetExeZip(&payload.Zip());
    EXPECT_THAT(Send(R"({"id": 10002, "uuid": "u-3", "data": {}})"),
                ElementsAre(R"({"uuid": "u-3", "success": true, "result": true})"));
    // A uuid with characters JSON does not allow as they are comes back escaped.
    EXPECT_THAT(Send(R"({"id": 10001, "uuid": "a\"b\\c\u0001", "data": {}})"),
                ElementsAre(R"({"uuid": "a\"b\\c\u0001", "success": true, "result": "2022.5"})"));
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
}

TEST_F(ModuleTest, IdsAreServedAsNumbersOrNumericTextsOthersAreIgnored) {
    EXPECT_THAT(Send(R"({"id": "10001", "uuid": "as-text", "data": {}})"),
                ElementsAre(R"({"uuid": "as-text", "success": true, "result": "2022.5"})"));
    EXPECT_THAT(Send(R"({"id": 12345, "uuid": "unknown", "data": {}})"), IsEmpty());
    EXPECT_THAT(Send(R"({"id": "abc", "uuid": "not-a-number", "data": {}})"), IsEmpty());
    EXPECT_THAT(Send(R"({"id": 10001.5, "uuid": "fraction", "data": {}})"), IsEmpty());
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
    EXPECT_THAT(Refusals, IsEmpty());
}

TEST_F(ModuleTest, AppCloseRaisesTheCloseRequestAndPostsNothing) {
    EXPECT_THAT(Send(R"({"id": 50001, "uuid": "close", "data": {}})"), IsEmpty());
    EXPECT_THAT(CloseRequests, ElementsAre(static_cast<Norvane::Platform::Ui::TObject*>(Module.get())));
    Module->OnAppCloseRequest = nullptr;
    EXPECT_THAT(Send(R"({"id": 50001, "uuid": "close-again", "data": {}})"), IsEmpty());
    EXPECT_EQ(CloseRequests.size(), 1u);
}

TEST_F(ModuleTest, MalformedRequestsAreReportedAfterTheCallbackReturnedAndPostNothing) {
    struct TCase {
        std::string Json, Error;
    };
    for (const TCase& c : {TCase{R"({"id": 10001, "uuid": "no-data"})", "Value 'data' not found"},
                           TCase{R"({"uuid": "no-id", "data": {}})", "Value 'id' not found"},
                           TCase{R"({"id": 10001, "data": {}})", "Value 'uuid' not found"},
                           TCase{R"({"id": 10001, "uuid": "u", "data": []})",
                                 "Conversion from TJSONArray to TJSONObject is not supported"},
                           TCase{R"({"id": {}, "uuid": "u", "data": {}})",
                                 "Conversion from TJSONObject to string is not supported"}}) {
        SCOPED_TRACE(c.Json);
        EdgeEx::ReportedErrors().clear();
        auto args = JsonMessage(c.Json);
        FireWebMessage(args.Get());
        // Nothing is reported from inside the engine's callback...
        EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
        // ...but from the message loop.
        EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
        EXPECT_THAT(EdgeEx::ReportedErrors(), ElementsAre(c.Error));
    }
    EdgeEx::ReportedErrors().clear();
    FireWebMessage(JsonMessage("{\"id\": 10001, \"uuid\": ").Get());
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
    EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
    EXPECT_THAT(EdgeEx::ReportedErrors(), ElementsAre(StartsWith("Invalid JSON text")));
    EXPECT_EQ(CallCount("View.PostWebMessageAsJson"), 0u);
    // The next message is served as usual.
    EXPECT_THAT(Send(R"({"id": 10001, "uuid": "after", "data": {}})"),
                ElementsAre(R"({"uuid": "after", "success": true, "result": "2022.5"})"));
}

TEST_F(ModuleTest, EveryFunctionIsRegisteredOnceWithItsNameRefusalAndLibraryWrapper) {
    struct TRow {
        std::int32_t Id;
        const char* Name;
        bool Args;
        const char* Refusal;      // nullptr: served everywhere
        const char* Via = "call"; // the library function that carries it
    };
    const std::vector<TRow> expected = {
        {10001, "qvx.hello", false, nullptr},
        {10002, "qvx.isRuntime", false, nullptr},
        {11001, "qvx.system.logoff", false, "Calls to qvx.system.logoff() works only at runtime."},
        {11002, "qvx.system.reboot", false, "Calls to qvx.system.reboot() works only at runtime."},
        {11003, "qvx.system.shutdown", false, "Calls to qvx.system.shutdown() works only at runtime."},
        {12001, "qvx.mainMenu.setItems", true, "Calls to qvx.mainMenu.setItems() works only at runtime."},
        {12002, "qvx.mainMenu.updateItem", true, "Calls to qvx.mainMenu.updateItem() works only at runtime."},
        {20001, "qvx.dialogs.openFile", true, nullptr},
        {20002, "qvx.dialogs.saveFile", true, nullptr},
        {30001, "qvx.files.fileExists", true, nullptr},
        {30002, "qvx.files.deleteFile", true, nullptr},
        {30003, "qvx.files.writeTextFile", true, nullptr},
        {30004, "qvx.files.extractFile", true, "Calls to qvx.app.extractFile() works only at runtime."},
        {31001, "qvx.files.readTextFile", true, nullptr},
        {31002, "qvx.files.appendTextFile", true, nullptr},
        {31003, "qvx.files.stat", true, nullptr},
        {31004, "qvx.files.listDir", true, nullptr},
        {31005, "qvx.files.copy", true, nullptr},
        {31006, "qvx.files.move", true, nullptr},
        {31007, "qvx.files.readBinaryFile", true, nullptr, "readThroughTransfer"},
        {31008, "qvx.files.writeBinaryFile", true, nullptr, "writeThroughTransfer"},
        {40001, "qvx.folders.dirExists", true, nullptr},
        {40002, "qvx.folders.deleteDir", true, nullptr},
        {40003, "qvx.folders.getTempDir", false, nullptr},
        {40004, "qvx.folders.getUserDocumentsDir", false, nullptr},
        {40005, "qvx.folders.getUserDesktopDir", false, nullptr},
        {40006, "qvx.folders.getAppExecutableDir", false, nullptr},
        {40007, "qvx.folders.getAppDataDir", false, nullptr},
        {41001, "qvx.folders.createDir", true, nullptr},
        {50001, "qvx.app.close", false, nullptr},
        {50002, "qvx.app.inFullscreen", false, nullptr},
        {50003, "qvx.app.enterFullscreen", false,
         "Calls to qvx.app.enterFullscreen() works only at runtime."},
        {50004, "qvx.app.exitFullscreen", false, "Calls to qvx.app.exitFullscreen() works only at runtime."},
        {50005, "qvx.app.getArgs", false, "Calls to qvx.app.getArgs() works only at runtime."},
        {60001, "qvx.window.getStyle", false, nullptr},
        {60002, "qvx.window.setStyle", true, nullptr},
        {60003, "qvx.window.getState", false, nullptr},
        {60004, "qvx.window.setState", true, nullptr},
        {60005, "qvx.window.getTitle", false, nullptr},
        {60006, "qvx.window.setTitle", true, nullptr},
        {60007, "qvx.window.getZoom", false, nullptr},
        {60008, "qvx.window.setZoom", true, nullptr},
        {70001, "qvx.shell.execute", true, nullptr},
        {70002, "qvx.shell.explore", true, nullptr},
        {70003, "qvx.shell.command", true, nullptr},
        {70004, "qvx.shell.windows", false, nullptr},
        {71001, "qvx.process.spawn", true, nullptr},
        {71002, "qvx.process.write", true, nullptr},
        {71003, "qvx.process.closeInput", true, nullptr},
        {71004, "qvx.process.kill", true, nullptr},
        {80001, "qvx.themes.getTheme", false, "Calls to qvx.themes.getTheme() works only at runtime."},
        {80002, "qvx.themes.getThemes", false, "Calls to qvx.themes.getThemes() works only at runtime."},
        {80003, "qvx.themes.setTheme", true, "Calls to qvx.themes.setTheme() works only at runtime."},
        {90001, "qvx.base64.decodeToFile", true, nullptr},
    };
    const auto& dispatcher = Module->Dispatcher();
    ASSERT_EQ(dispatcher.Functions().size(), expected.size());
    // The page's library: one wrapper a function, calling its number with the
    // page's argument object or with {}.
    const std::string library(Norvane::Shared::FindResource("QVX_EXTERNAL_JAVASCRIPT"));
    std::size_t calls = 0;
    for (const char* carrier :
         {"qvx.call(", "this.call(", "qvx.readThroughTransfer(", "qvx.writeThroughTransfer("})
        for (std::size_t at = library.find(carrier); at != std::string::npos;
             at = library.find(carrier, at + 1))
            calls += std::isdigit(static_cast<unsigned char>(library[at + std::strlen(carrier)])) ? 1 : 0;
    EXPECT_EQ(calls, expected.size());
    for (const TRow& row : expected) {
        SCOPED_TRACE(row.Name);
        const Norvane::Shared::TBridgeFunction* f = dispatcher.Find(row.Id);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ScriptName, row.Name);
        EXPECT_EQ(f->TakesArguments, row.Args);
        EXPECT_EQ(f->RuntimeOnly, row.Refusal != nullptr);
        EXPECT_EQ(f->RefusalText, row.Refusal ? row.Refusal : "");
        const std::string name = f->ScriptName.substr(f->ScriptName.rfind('.') + 1);
        const std::string wrapper = name + ": function (" + (f->TakesArguments ? "args" : "") + ") {";
        const std::size_t at = library.find(wrapper);
        ASSERT_NE(at, std::string::npos) << wrapper;
        const std::string call = std::string(row.Via) + "(" + std::to_string(f->Id) + ", " +
                                 (f->TakesArguments ? "args" : "{}") + ")";
        EXPECT_EQ(library.find(call, at), library.find(std::string(row.Via) + "(", at + wrapper.size()))
            << call;
    }
    // Every function is served.
    for (const TRow& row : expected)
        EXPECT_TRUE(dispatcher.IsServed(row.Id)) << row.Id;
}

TEST_F(ModuleTest, RuntimeOnlyFunctionsAreRefusedOutsideRuntimeModeWithTheirTexts) {
    const std::vector<std::pair<int, std::string>> refused = {
        {11001, "Calls to qvx.system.logoff() works only at runtime."},
        {11002, "Calls to qvx.system.reboot() works only at runtime."},
        {11003, "Calls to qvx.system.shutdown() works only at runtime."},
        {12001, "Calls to qvx.mainMenu.setItems() works only at runtime."},
        {12002, "Calls to qvx.mainMenu.updateItem() works only at runtime."},
        {30004, "Calls to qvx.app.extractFile() works only at runtime."},
        {50003, "Calls to qvx.app.enterFullscreen() works only at runtime."},
        {50004, "Calls to qvx.app.exitFullscreen() works only at runtime."},
        {50005, "Calls to qvx.app.getArgs() works only at runtime."},
        {80001, "Calls to qvx.themes.getTheme() works only at runtime."},
        {80002, "Calls to qvx.themes.getThemes() works only at runtime."},
        {80003, "Calls to qvx.themes.setTheme() works only at runtime."},
    };
    std::vector<int> ran;
    for (const auto& [id, text] : refused)
        Module->Dispatcher().Serve(id, [&ran, id = id](const auto&) {
            ran.push_back(id);
            return Norvane::Shared::TBridgeResult::NoReply();
        });
    // A function allowed everywhere runs outside runtime mode.
    Module->Dispatcher().Serve(50002, [&ran](const auto&) {
        ran.push_back(50002);
        return Norvane::Shared::TBridgeResult::NoReply();
    });

    for (const auto& [id, text] : refused) {
        SCOPED_TRACE(id);
        Refusals.clear();
        EXPECT_THAT(Send("{\"id\": " + std::to_string(id) + ", \"uuid\": \"r\", \"data\": {}}"), IsEmpty());
        EXPECT_THAT(Refusals, ElementsAre(text));
    }
    Refusals.clear();
    Send(R"({"id": 50002, "uuid": "r", "data": {}})");
    EXPECT_THAT(ran, ElementsAre(50002));

    TPayload payload(std::map<std::string, std::string>{{"app/index.html", "<html></html>"}});
    Module->SetExeZip(&payload.Zip());
    ran.clear();
    for (const auto& entry : refused)
        Send("{\"id\": " + std::to_string(entry.first) + ", \"uuid\": \"r\", \"data\": {}}");
    EXPECT_EQ(ran.size(), refused.size());
    EXPECT_THAT(Refusals, IsEmpty());
}

TEST_F(ModuleTest, TheClickNoticeFocusesOutsideRuntimeModeAndIsAnErrorInRuntimeMode) {
    auto clicked = StringMessage("qvx-webbrowser-clicked");
    const std::size_t focusBefore = CallCount("Controller.MoveFocus");
    EXPECT_THAT(Send(clicked.Get()), IsEmpty());
    EXPECT_GT(CallCount("Controller.MoveFocus"), focusBefore);
    EdgeEx::Settle();
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());

    TPayload payload(std::map<std::string, std::string>{{"app/index.html", "<html></html>"}});
    Module->SetExeZip(&payload.Zip());
    const std::size_t focusInRuntime = CallCount("Controller.MoveFocus");
    FireWebMessage(clicked.Get());
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
    EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
    EXPECT_THAT(EdgeEx::ReportedErrors(), ElementsAre("Value 'id' not found"));
    EXPECT_EQ(CallCount("Controller.MoveFocus"), focusInRuntime);
    EXPECT_EQ(CallCount("View.PostWebMessageAsJson"), 0u);
}

// ---------------------------------------------------------------------------
// Application, window, shell and system functions.

class ModuleFunctionsTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        Main = new Norvane::Platform::Ui::TForm();
        Main->SetCaption("Main");
        Module->SetMainForm(Main);
        Ini.LoadFromLines({"[App]", "WindowBorder=3"});
        Module->SetProjectINI(&Ini);
        Module->SetExeZip(&Payload.Zip());
    }
    void TearDown() override {
        Module->SetMainForm(nullptr);
        delete Main;
        ModuleTest::TearDown();
    }
    // The one reply to a request, or "" when none came.
    std::string Reply(const std::string& Json) {
        auto posted = Send(Json);
        EXPECT_LE(posted.size(), 1u) << Json;
        return posted.empty() ? std::string() : posted.front();
    }
    // The reply to a request answered later (a command runs beside the
    // window), or "" when none came within 10 s.
    std::string AwaitedReply(const std::string& Json) {
        const std::size_t before = DetailsOf("View.PostWebMessageAsJson").size();
        FireWebMessage(JsonMessage(Json).Get());
        EdgeEx::PumpUntil([&] { return DetailsOf("View.PostWebMessageAsJson").size() > before; }, 10000);
        const std::vector<std::string> posted = DetailsOf("View.PostWebMessageAsJson");
        return posted.size() > before ? posted[before] : std::string();
    }
    static std::string Success(const std::string& Uuid, const std::string& Result) {
        return "{\"uuid\": \"" + Uuid + "\", \"success\": true, \"result\": " + Result + "}";
    }
    static std::string Failure(const std::string& Uuid, const std::string& Result) {
        return "{\"uuid\": \"" + Uuid + "\", \"success\": false, \"result\": " + Result + "}";
    }

    Norvane::Platform::Ui::TForm* Main = nullptr;
    Norvane::Shared::TProjectIni Ini;
    TPayload Payload{std::map<std::string, std::string>{{"app/index.html", "<html></html>"}}};
};

using Norvane::Platform::Ui::TBorderStyle;
using Norvane::Platform::Ui::TFormStyle;
using Norvane::Platform::Ui::TWindowState;

TEST_F(ModuleFunctionsTest, StyleStateAndTitleOfTheMainWindow) {
    EXPECT_EQ(Reply(R"({"id": 60001, "uuid": "s1", "data": {}})"), Success("s1", "\"normal\""));
    EXPECT_EQ(Reply(R"({"id": 60002, "uuid": "s2", "data": {"style": "ontop"}})"), Success("s2", "true"));
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsStayOnTop);
    EXPECT_EQ(Reply(R"({"id": 60001, "uuid": "s3", "data": {}})"), Success("s3", "\"ontop\""));
    // Exact comparison: any other text, absent included, is the normal style.
    EXPECT_EQ(Reply(R"({"id": 60002, "uuid": "s4", "data": {"style": "Ontop"}})"), Success("s4", "true"));
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsNormal);
    Main->SetFormStyle(TFormStyle::fsStayOnTop);
    EXPECT_EQ(Reply(R"({"id": 60002, "uuid": "s5", "data": {}})"), Success("s5", "true"));
    EXPECT_EQ(Main->FormStyle(), TFormStyle::fsNormal);

    EXPECT_EQ(Reply(R"({"id": 60003, "uuid": "w1", "data": {}})"), Success("w1", "\"normal\""));
    EXPECT_EQ(Reply(R"({"id": 60004, "uuid": "w2", "data": {"state": "maximized"}})"), Success("w2", "true"));
    EXPECT_EQ(Main->WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(Reply(R"({"id": 60003, "uuid": "w3", "data": {}})"), Success("w3", "\"maximized\""));
    EXPECT_EQ(Reply(R"({"id": 60004, "uuid": "w4", "data": {"state": "MINIMIZED"}})"), Success("w4", "true"));
    EXPECT_EQ(Main->WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(Reply(R"({"id": 60004, "uuid": "w5", "data": {"state": "minimized"}})"), Success("w5", "true"));
    EXPECT_EQ(Reply(R"({"id": 60003, "uuid": "w6", "data": {}})"), Success("w6", "\"minimized\""));
    EXPECT_EQ(Reply(R"({"id": 60004, "uuid": "w7", "data": {}})"), Success("w7", "true"));
    EXPECT_EQ(Main->WindowState(), TWindowState::wsNormal);

    EXPECT_EQ(Reply(R"({"id": 60005, "uuid": "t1", "data": {}})"), Success("t1", "\"Main\""));
    EXPECT_EQ(Reply(R"({"id": 60006, "uuid": "t2", "data": {"title": "Ein \"Titel\" – ü"}})"),
              Success("t2", "true"));
    EXPECT_EQ(Main->Caption(), "Ein \"Titel\" – ü");
    // Only what JSON forbids is escaped; the rest stays as it is.
    EXPECT_EQ(Reply(R"({"id": 60005, "uuid": "t3", "data": {}})"),
              Success("t3", "\"Ein \\\"Titel\\\" – ü\""));
    EXPECT_EQ(Reply(R"({"id": 60006, "uuid": "t4", "data": {}})"), Success("t4", "true"));
    EXPECT_EQ(Main->Caption(), "");
    // A title that is no text escapes the function: no reply, an error report.
    EXPECT_EQ(Reply(R"({"id": 60006, "uuid": "t5", "data": {"title": [1]}})"), "");
    EXPECT_THAT(EdgeEx::ReportedErrors(),
                ElementsAre("Conversion from TJSONArray to string is not supported"));
}

TEST_F(ModuleFunctionsTest, FullscreenEntersOnceAndRestoresTheBorderOfTheSettings) {
    EXPECT_EQ(Reply(R"({"id": 50002, "uuid": "f1", "data": {}})"), Success("f1", "false"));
    // Leaving while not in full screen changes nothing.
    Main->SetBorderStyle(TBorderStyle::bsSingle);
    EXPECT_EQ(Reply(R"({"id": 50004, "uuid": "f2", "data": {}})"), "");
    EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsSingle);

    EXPECT_EQ(Reply(R"({"id": 50003, "uuid": "f3", "data": {}})"), "");
    EXPECT_TRUE(Module->InFullscreen());
    EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsNone);
    EXPECT_EQ(Main->WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(Reply(R"({"id": 50002, "uuid": "f4", "data": {}})"), Success("f4", "true"));
    // A window taken out of full screen is not reported in it; a second enter
    // does not touch the window.
    Main->SetWindowState(TWindowState::wsNormal);
    EXPECT_EQ(Reply(R"({"id": 50002, "uuid": "f9", "data": {}})"), Success("f9", "false"));
    EXPECT_EQ(Reply(R"({"id": 50003, "uuid": "f5", "data": {}})"), "");
    EXPECT_EQ(Main->WindowState(), TWindowState::wsNormal);

    Main->SetWindowState(TWindowState::wsMaximized);
    EXPECT_EQ(Reply(R"({"id": 50004, "uuid": "f6", "data": {}})"), "");
    EXPECT_FALSE(Module->InFullscreen());
    EXPECT_EQ(Main->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsDialog); // WindowBorder=3

    // Without the setting the border is the sizeable default; outside 0-5 too.
    for (const char* line : {"WindowBorder=9", "Other=1"}) {
        Ini.LoadFromLines({"[App]", line});
        Reply(R"({"id": 50003, "uuid": "f7", "data": {}})");
        Reply(R"({"id": 50004, "uuid": "f8", "data": {}})");
        EXPECT_EQ(Main->BorderStyle(), TBorderStyle::bsSizeable) << line;
    }
}

TEST_F(ModuleFunctionsTest, ZoomIsSetFromDotDecimalsAndResetForAnythingElse) {
    EXPECT_EQ(Reply(R"({"id": 60008, "uuid": "z1", "data": {"factor": 1.5}})"), Success("z1", "true"));
    EXPECT_DOUBLE_EQ(Window->EdgeBrowser()->ZoomFactor(), 1.5);
    EXPECT_EQ(Reply(R"({"id": 60007, "uuid": "z2", "data": {}})"), Success("z2", "\"1.5\""));
    EXPECT_EQ(Reply(R"({"id": 60008, "uuid": "z3", "data": {"factor": "1,5"}})"), Success("z3", "false"));
    EXPECT_DOUBLE_EQ(Window->EdgeBrowser()->ZoomFactor(), 1.0);
    EXPECT_EQ(Reply(R"({"id": 60008, "uuid": "z4", "data": {"factor": "0.75"}})"), Success("z4", "true"));
    EXPECT_EQ(Reply(R"({"id": 60007, "uuid": "z5", "data": {}})"), Success("z5", "\"0.75\""));
    for (const char* bad : {R"({})", R"({"factor": ""})", R"({"factor": "abc"})", R"({"factor": "1.5x"})",
                            R"({"factor": "inf"})", R"({"factor": true})"}) {
        Window->EdgeBrowser()->SetZoomFactor(2.0);
        EXPECT_EQ(Reply(std::string(R"({"id": 60008, "uuid": "zb", "data": )") + bad + "}"),
                  Success("zb", "false"))
            << bad;
        EXPECT_DOUBLE_EQ(Window->EdgeBrowser()->ZoomFactor(), 1.0) << bad;
    }
}

TEST_F(ModuleFunctionsTest, ShellCommandCollectsTheOutputAndExecuteStartsPrograms) {
    EXPECT_EQ(Reply(R"({"id": 70003, "uuid": "c1", "data": {}})"), Failure("c1", "\"Missing command\""));
    EXPECT_EQ(
        AwaitedReply(
            R"({"id": 70003, "uuid": "c2", "data": {"command": "printf '%s\\n' 'a\\b é'; echo err >&2"}})"),
        Success("c2", "\"a\\\\b \\u00e9\\nerr\\n\""));
    TempDir dir;
    EXPECT_EQ(AwaitedReply(R"({"id": 70003, "uuid": "c3", "data": {"command": "pwd", "workingDir": ")" +
                           dir.Path().string() + R"("}})"),
              Success("c3", "\"" + dir.Path().string() + "\\n\""));

    EXPECT_EQ(Reply(R"({"id": 70001, "uuid": "e1", "data": {"arguments": "x"}})"),
              Failure("e1", "\"Missing filePath\""));
    EXPECT_EQ(Reply(R"({"id": 70002, "uuid": "e2", "data": {}})"), Failure("e2", "\"Missing filePath\""));
    const std::string missing =
        Reply(R"({"id": 70001, "uuid": "e3", "data": {"filePath": ")" + dir.Path().string() + R"(/none"}})");
    EXPECT_THAT(missing, StartsWith(R"({"uuid": "e3", "success": false, "result": ")"));
    EXPECT_NE(missing, Failure("e3", "\"\""));
    // A program with its parameter text, split by the command-line rules.
    const std::string script = (dir / "record.sh");
    WriteFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    EXPECT_EQ(Reply(R"({"id": 70001, "uuid": "e4", "data": {"filePath": ")" + script +
                    R"(", "arguments": "one \"two words\""}})"),
              Success("e4", "true"));
    const std::string recorded = dir / "args";
    EXPECT_TRUE(EdgeEx::PumpUntil(
        [&] { return std::filesystem::exists(recorded) && ReadFile(recorded) == "one|two words|"; }, 10000));
}

TEST_F(ModuleFunctionsTest, ProcessOutputWaitsForThePageBeyondItsBoundThenFollowsWholeAndInOrder) {
    ASSERT_TRUE(Window->EdgeBrowser()->Navigate("file:///index.html"));
    const std::size_t before = DetailsOf("View.ExecuteScript").size();
    auto scripts = [&] {
        std::vector<std::string> all = DetailsOf("View.ExecuteScript");
        all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(before));
        return all;
    };
    auto queuedBytes = [&] {
        std::size_t bytes = 0;
        for (const std::string& script : scripts())
            bytes += script.size();
        return bytes;
    };
    EXPECT_EQ(Reply(R"({"id": 71001, "uuid": "p1", "data": {"command": "sh", "args": ["-c",
                     "head -c 3000000 /dev/zero | tr '\\0' a; echo end >&2"]}})"),
              Success("p1", "1"));
    // The page takes nothing: reading stops at 1 MiB (with a read's 16 KiB
    // and each call's script around it), and the process waits.
    EdgeEx::PumpUntil([&] { return queuedBytes() >= 1024 * 1024; }, 10000);
    EdgeEx::PumpUntil([] { return false; }, 500);
    EXPECT_GE(queuedBytes(), 1024u * 1024u);
    EXPECT_LE(queuedBytes(), 1024u * 1024u + 16384u + 100u * scripts().size());
    for (const std::string& script : scripts())
        EXPECT_THAT(script, StartsWith("qvx.events.onProcessOutput(1,\"stdout\",\"a"));
    // Taken piece by piece, the rest follows, then the exit.
    const auto exited = [&] {
        for (std::size_t i = 0; i < before + scripts().size(); ++i)
            Engine().CompleteScript(i, 0, "null");
        const auto all = scripts();
        return !all.empty() && all.back().starts_with("qvx.events.onProcessExit(");
    };
    ASSERT_TRUE(EdgeEx::PumpUntil(exited, 20000));
    // The scripts' own text holds no "a".
    std::size_t letters = 0;
    const auto all = scripts();
    for (const std::string& script : all)
        letters += static_cast<std::size_t>(std::count(script.begin(), script.end(), 'a'));
    EXPECT_EQ(letters, 3000000u);
    // Standard error has its own pipe: its text comes once, anywhere before the exit.
    EXPECT_EQ(std::count(all.begin(), all.end(), "qvx.events.onProcessOutput(1,\"stderr\",\"end\\n\");"), 1);
    EXPECT_EQ(all.back(), "qvx.events.onProcessExit(1,0);");
    // An ended process is forgotten.
    EXPECT_EQ(Reply(R"({"id": 71004, "uuid": "p2", "data": {"id": 1}})"),
              Failure("p2", "\"No such process\""));
}

TEST_F(ModuleFunctionsTest, ArgumentsStartWithTheExecutablesPath) {
    const std::string reply = Reply(R"({"id": 50005, "uuid": "a1", "data": {}})");
    std::string expected = "[" + Norvane::Shared::EscapedJsonString(Norvane::Platform::ExecutablePath());
    const auto& argv = ::testing::internal::GetArgvs();
    for (std::size_t i = 1; i < argv.size(); ++i)
        expected += "," + Norvane::Shared::EscapedJsonString(argv[i]);
    EXPECT_EQ(reply, Success("a1", expected + "]"));
}

class RecordingSession : public Norvane::Platform::SessionControl {
public:
    bool EndSession(Norvane::Platform::SessionAction Action, bool Force) override {
        Calls.emplace_back(Action, Force);
        if (!Answer)
            Norvane::Platform::SetLastError(1, "Not \"allowed\"");
        return Answer;
    }
    std::vector<std::pair<Norvane::Platform::SessionAction, bool>> Calls;
    bool Answer = true;
};

TEST_F(ModuleFunctionsTest, SessionEndsGoThroughTheSessionControlWithForce) {
    auto session = std::make_shared<RecordingSession>();
    auto previous = Norvane::Platform::SetSessionControl(session);
    using Norvane::Platform::SessionAction;
    auto request = [](int Id, const std::string& Uuid) {
        return "{\"id\": " + std::to_string(Id) + ", \"uuid\": \"" + Uuid + "\", \"data\": {}}";
    };
    EXPECT_EQ(AwaitedReply(request(11001, "x1")), Success("x1", "true"));
    EXPECT_EQ(AwaitedReply(request(11002, "x2")), Success("x2", "true"));
    EXPECT_EQ(AwaitedReply(request(11003, "x3")), Success("x3", "true"));
    session->Answer = false;
    EXPECT_EQ(AwaitedReply(request(11003, "x4")), Failure("x4", R"("Not \"allowed\"")"));
    Norvane::Platform::SetSessionControl(previous);
    EXPECT_THAT(session->Calls,
                ElementsAre(std::pair(SessionAction::LogOff, true), std::pair(SessionAction::Reboot, true),
                            std::pair(SessionAction::PowerOff, true),
                            std::pair(SessionAction::PowerOff, true)));
}

// ---------------------------------------------------------------------------
// Files, folders and base64 on real files.

namespace fs = std::filesystem;

std::string Quoted(const std::string& Text) {
    return Norvane::Shared::EscapedJsonString(Text);
}

void DropPendingChecks();

class ModuleFilesTest : public ModuleFunctionsTest {
protected:
    void SetUp() override {
        ModuleFunctionsTest::SetUp();
        AppDir = fs::canonical(Folder.Path()).string() + "/";
        Window->SetAppDirPath(AppDir);
    }
    void TearDown() override {
        DropPendingChecks();
        ModuleFunctionsTest::TearDown();
    }
    // The reply to a request of function Id with the data object's members
    // (the functions that change files answer from the bridge's worker), or
    // "" when the request escaped the function.
    std::string Call(int Id, const std::string& Uuid, const std::string& Members) {
        const std::size_t before = DetailsOf("View.PostWebMessageAsJson").size();
        const std::size_t errors = EdgeEx::ReportedErrors().size();
        FireWebMessage(JsonMessage("{\"id\": " + std::to_string(Id) + ", \"uuid\": \"" + Uuid +
                                   "\", \"data\": {" + Members + "}}")
                           .Get());
        EdgeEx::PumpUntil(
            [&] {
                return DetailsOf("View.PostWebMessageAsJson").size() > before ||
                       EdgeEx::ReportedErrors().size() > errors;
            },
            10000);
        const std::vector<std::string> posted = DetailsOf("View.PostWebMessageAsJson");
        EXPECT_LE(posted.size(), before + 1) << Members;
        return posted.size() > before ? posted[before] : std::string();
    }
    // Whether a request escaped the function: no reply, and this error reported.
    void ExpectEscaped(int Id, const std::string& Members, const std::string& Error) {
        EdgeEx::ReportedErrors().clear();
        EXPECT_EQ(Call(Id, "esc", Members), "") << Members;
        EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
        EXPECT_THAT(EdgeEx::ReportedErrors(), ElementsAre(Error)) << Members;
        EdgeEx::ReportedErrors().clear();
    }
    static std::string Bytes(const std::string& Path) { return ReadFile(Path); }

    TempDir Folder;
    std::string AppDir;
};

TEST_F(ModuleFilesTest, PathsAreTakenFromTheProgramsFolderUnlessAbsolute) {
    fs::create_directories(Folder.Path() / "data/sub");
    WriteFile(Folder / "data/a.txt", "a");
    TempDir other;
    WriteFile(other / "b.txt", "b");
    EXPECT_EQ(Call(30001, "f1", R"("filePath": "data/a.txt")"), Success("f1", "true"));
    EXPECT_EQ(Call(30001, "f2", R"("filePath": "a.txt")"), Success("f2", "false"));
    // "/" starts an absolute path, used unchanged; the same name under the
    // program's folder does not count.
    EXPECT_EQ(Call(30001, "f3", "\"filePath\": " + Quoted(other / "b.txt")), Success("f3", "true"));
    EXPECT_EQ(Call(30001, "f4", R"("filePath": "/data/a.txt")"), Success("f4", "false"));
    // ".." is passed on to the system, nothing is normalised.
    EXPECT_EQ(Call(30001, "f5", R"("filePath": "data/sub/../a.txt")"), Success("f5", "true"));
    EXPECT_EQ(Call(30001, "f6", R"("filePath": "data/none/../a.txt")"), Success("f6", "false"));
    // A folder is no file, a file no folder.
    EXPECT_EQ(Call(30001, "f7", R"("filePath": "data/sub")"), Success("f7", "false"));
    EXPECT_EQ(Call(40001, "d1", R"("dirPath": "data/sub")"), Success("d1", "true"));
    EXPECT_EQ(Call(40001, "d2", R"("dirPath": "data/sub/")"), Success("d2", "true"));
    EXPECT_EQ(Call(40001, "d3", R"("dirPath": "data/a.txt")"), Success("d3", "false"));
    EXPECT_EQ(Call(40001, "d4", "\"dirPath\": " + Quoted(other.Path().string())), Success("d4", "true"));
    EXPECT_EQ(Call(40001, "d5", R"("dirPath": "nothing")"), Success("d5", "false"));
    // Links are followed.
    fs::create_symlink(Folder / "data/a.txt", Folder / "link.txt");
    fs::create_symlink(Folder / "data/sub", Folder / "linkdir");
    fs::create_symlink(Folder / "gone.txt", Folder / "dangling.txt");
    EXPECT_EQ(Call(30001, "l1", R"("filePath": "link.txt")"), Success("l1", "true"));
    EXPECT_EQ(Call(40001, "l2", R"("dirPath": "linkdir")"), Success("l2", "true"));
    EXPECT_EQ(Call(30001, "l3", R"("filePath": "dangling.txt")"), Success("l3", "false"));

    // Absent, null and empty are the missing argument.
    for (const char* members : {"", R"("filePath": null)", R"("filePath": "")", R"("dirPath": "data")"})
        EXPECT_EQ(Call(30001, "m", members), Failure("m", "\"Missing filePath\"")) << members;
    for (const char* members : {"", R"("dirPath": null)", R"("filePath": "data")"})
        EXPECT_EQ(Call(40001, "m", members), Failure("m", "\"Missing dirPath\"")) << members;
    // A path that is no text escapes the function.
    ExpectEscaped(30001, R"("filePath": ["a"])", "Conversion from TJSONArray to string is not supported");
    ExpectEscaped(40001, R"("dirPath": {})", "Conversion from TJSONObject to string is not supported");
}

TEST_F(ModuleFilesTest, DeletingFilesAndFolders) {
    fs::create_directories(Folder.Path() / "tree/deep/er");
    WriteFile(Folder / "tree/deep/er/x.txt", "x");
    WriteFile(Folder / "tree/y.txt", "y");
    fs::create_directories(Folder.Path() / "empty");
    WriteFile(Folder / "single.txt", "s");

    EXPECT_EQ(Call(30002, "r1", R"("filePath": "single.txt")"), Success("r1", "true"));
    EXPECT_FALSE(fs::exists(Folder / "single.txt"));
    EXPECT_EQ(Call(30002, "r2", R"("filePath": "single.txt")"), Success("r2", "false"));
    // A folder, even an empty one, is not deleted as a file.
    EXPECT_EQ(Call(30002, "r3", R"("filePath": "empty")"), Success("r3", "false"));
    EXPECT_TRUE(fs::is_directory(Folder / "empty"));
    EXPECT_EQ(Call(30002, "r4", ""), Failure("r4", "\"Missing filePath\""));

    EXPECT_EQ(Call(40002, "x1", R"("dirPath": "tree")"), Success("x1", "true"));
    EXPECT_FALSE(fs::exists(Folder / "tree"));
    EXPECT_EQ(Call(40002, "x2", R"("dirPath": "tree")"), Success("x2", "false"));
    EXPECT_EQ(Call(40002, "x3", "\"dirPath\": " + Quoted(Folder / "empty")), Success("x3", "true"));
    EXPECT_FALSE(fs::exists(Folder / "empty"));
    EXPECT_EQ(Call(40002, "x4", R"("dirPath": null)"), Failure("x4", "\"Missing dirPath\""));
    // The rest of the program's folder is untouched.
    EXPECT_TRUE(fs::is_directory(Folder.Path()));
}

TEST_F(ModuleFilesTest, PathsWithANulCharacterAreRefusedAndTouchNothing) {
    fs::create_directories(Folder.Path() / "sub");
    const std::string invalid = Failure("n", "\"Invalid path\"");
    EXPECT_EQ(Call(30003, "n", R"("filePath": "a\u0000.evil", "contents": "x")"), invalid);
    EXPECT_EQ(Call(90001, "n", R"("filePath": "b\u0000", "contents": "YQ==")"), invalid);
    EXPECT_EQ(Call(40002, "n", R"("dirPath": "sub\u0000/x")"), invalid);
    EXPECT_EQ(Call(30002, "n", R"("filePath": "sub\u0000")"), invalid);
    EXPECT_EQ(Call(30001, "n", R"("filePath": "sub\u0000")"), invalid);
    EXPECT_EQ(Call(70003, "n", R"("command": "touch made", "workingDir": "sub\u0000")"), invalid);
    std::string target = Quoted(Folder / "c");
    target.insert(target.size() - 1, "\\u0000.evil");
    EXPECT_EQ(Call(30004, "n", "\"sourceFile\": \"/index.html\", \"targetFile\": " + target), invalid);
    for (const char* members :
         {R"("id": 31001, "filePath": "sub\u0000")", R"("id": 31002, "filePath": "c\u0000", "contents": "x")",
          R"("id": 31003, "path": "sub\u0000")", R"("id": 31004, "dirPath": "sub\u0000")",
          R"("id": 31005, "source": "sub", "target": "c\u0000")",
          R"("id": 31006, "source": "s\u0000", "target": "c")", R"("id": 31007, "filePath": "sub\u0000")",
          R"("id": 31008, "filePath": "c\u0000")", R"("id": 41001, "dirPath": "sub/x\u0000")"}) {
        const int id = std::stoi(std::string(members).substr(6, 5));
        EXPECT_EQ(Call(id, "n", std::string(members).substr(13)), invalid) << members;
    }
    // Only the folder made above is there, and it is empty.
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(Folder / "sub"));
}

TEST_F(ModuleFilesTest, CopiesAndMovesNeverReplaceATargetUnlessTold) {
    WriteFile(Folder / "a.txt", "new");
    WriteFile(Folder / "b.txt", "old");
    const std::string exists = Failure("c", "\"The target exists\"");
    EXPECT_EQ(Call(31005, "c", R"("source": "a.txt", "target": "b.txt")"), exists);
    EXPECT_EQ(Call(31006, "c", R"("source": "a.txt", "target": "b.txt", "overwrite": false)"), exists);
    // A link in the target's place counts as a target, even when it names nothing.
    fs::create_symlink(Folder / "nowhere", Folder / "link");
    EXPECT_EQ(Call(31006, "c", R"("source": "a.txt", "target": "link")"), exists);
    EXPECT_EQ(Bytes(Folder / "a.txt"), "new");
    EXPECT_EQ(Bytes(Folder / "b.txt"), "old");
    EXPECT_EQ(Call(31006, "m", R"("source": "a.txt", "target": "b.txt", "overwrite": true)"),
              Success("m", "true"));
    EXPECT_EQ(Bytes(Folder / "b.txt"), "new");
    EXPECT_FALSE(fs::exists(Folder / "a.txt"));
    EXPECT_EQ(Call(31006, "m", R"("source": "b.txt", "target": "b.txt", "overwrite": true)"),
              Failure("m", "\"The source and the target are the same file\""));
    EXPECT_EQ(Bytes(Folder / "b.txt"), "new");
    // Nothing but the files named is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()), 2);
}

TEST_F(ModuleFilesTest, TransferAddressesServeOnceInTheirDirection) {
    WriteFile(Folder / "keep.bin", "old");
    // The address a call answers: "/.norvane-transfer/<token>" as a JSON string.
    auto addressOf = [&](int Id, const std::string& Uuid, const std::string& Members) {
        const std::string reply = Call(Id, Uuid, Members);
        const std::string lead =
            R"({"uuid": ")" + Uuid + R"(", "success": true, "result": "/.norvane-transfer/)";
        EXPECT_THAT(reply, StartsWith(lead));
        return "file:///.norvane-transfer/" + reply.substr(lead.size(), 32);
    };
    auto serve = [&](const std::string& Address, const std::string& Method, std::string Body,
                     const std::string& Headers = "") {
        std::size_t at = 0;
        auto answer = Module->ServeTransfer({Address, Method, Headers, [&](void* Buffer, std::int64_t Count) {
                                                 if (Body == "fail")
                                                     return std::int64_t{-1};
                                                 const std::size_t n =
                                                     std::min<std::size_t>(Count, Body.size() - at);
                                                 std::memcpy(Buffer, Body.data() + at, n);
                                                 at += n;
                                                 return static_cast<std::int64_t>(n);
                                             }});
        if (!answer)
            return std::string("none");
        std::string text(static_cast<std::size_t>(answer->Content->Size()), '\0');
        answer->Content->Read(text.data(), static_cast<std::int64_t>(text.size()));
        return std::to_string(answer->StatusCode) + " " + text;
    };
    EXPECT_EQ(serve("file:///index.html", "GET", ""), "none");
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31 + i / 977);
    const std::string write = addressOf(31008, "w", R"("filePath": "out/x.bin")");
    EXPECT_EQ(serve(write, "GET", ""), "405 Method not allowed");
    // Used up by the refused request; a token guessed next to it is unknown too.
    EXPECT_EQ(serve(write, "POST", bytes), "404 Unknown transfer");
    const std::string again = addressOf(31008, "w", R"("filePath": "out/x.bin")");
    EXPECT_EQ(serve(again.substr(0, again.size() - 1) + (again.back() == '0' ? "1" : "0"), "POST", bytes),
              "404 Unknown transfer");
    EXPECT_EQ(serve(again, "POST", bytes), "200 true");
    EXPECT_EQ(Bytes(Folder / "out/x.bin"), bytes);
    const std::string read = addressOf(31007, "r", R"("filePath": "out/x.bin")");
    EXPECT_EQ(serve(read, "POST", "x"), "405 Method not allowed");
    const std::string read2 = addressOf(31007, "r", R"("filePath": "out/x.bin")");
    EXPECT_EQ(serve(read2, "GET", ""), "200 " + bytes);
    EXPECT_EQ(serve(read2, "GET", ""), "404 Unknown transfer");
    // In parts of 1 MiB from an offset, until a part reaches the end; the
    // call's answer names the size.
    const std::string large = bytes + std::string(1 << 20, 'x');
    WriteFile(Folder / "large.bin", large);
    EXPECT_THAT(Call(31007, "r", R"("filePath": "large.bin")"), ::testing::EndsWith("?size=1348576\"}"));
    const std::string parted = addressOf(31007, "r", R"("filePath": "large.bin")");
    EXPECT_EQ(serve(parted + "?at=0", "GET", ""), "200 " + large.substr(0, 1 << 20));
    EXPECT_EQ(serve(parted + "?at=1048576", "GET", ""), "200 " + large.substr(1 << 20));
    EXPECT_EQ(serve(parted + "?at=0", "GET", ""), "404 Unknown transfer");
    fs::remove(Folder / "large.bin");
    // Another site's request is refused, even with a valid token.
    const std::string read3 = addressOf(31007, "r", R"("filePath": "out/x.bin")");
    EXPECT_EQ(serve(read3, "GET", "", "Accept: */*\r\nSec-Fetch-Site: cross-site"), "403 Refused");
    // In parts: each at the offset the parts before it reached; the file takes
    // its place with the last. A part out of order ends the write, leaving the
    // old file.
    const std::string parts = addressOf(31008, "w", R"("filePath": "keep.bin")");
    EXPECT_EQ(serve(parts + "?at=0", "POST", "ne"), "200 more");
    EXPECT_EQ(Bytes(Folder / "keep.bin"), "old");
    EXPECT_EQ(serve(parts + "?at=2&end=1", "POST", "w"), "200 true");
    EXPECT_EQ(Bytes(Folder / "keep.bin"), "new");
    const std::string skipped = addressOf(31008, "w", R"("filePath": "keep.bin")");
    EXPECT_EQ(serve(skipped + "?at=0", "POST", "ab"), "200 more");
    EXPECT_EQ(serve(skipped + "?at=3&end=1", "POST", "c"), "409 Parts out of order");
    EXPECT_EQ(serve(skipped + "?at=2&end=1", "POST", "c"), "404 Unknown transfer");
    EXPECT_EQ(Bytes(Folder / "keep.bin"), "new");
    // A body that cannot be read whole leaves the old file.
    const std::string broken = addressOf(31008, "w", R"("filePath": "keep.bin")");
    EXPECT_EQ(serve(broken, "POST", "fail"), "500 The data could not be read");
    EXPECT_EQ(Bytes(Folder / "keep.bin"), "new");
    EXPECT_EQ(Call(31007, "r", R"("filePath": "none.bin")"), Failure("r", "\"File not found\""));
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()), 2);
}

TEST_F(ModuleFilesTest, TextFilesAreUtf8WithAMarkAndCrLfLineEnds) {
    EXPECT_EQ(Call(30003, "w1", R"("filePath": "out/t.txt", "contents": "a\nb")"), Success("w1", "true"));
    EXPECT_EQ(Bytes(Folder / "out/t.txt"), "\xEF\xBB\xBF"
                                           "a\r\nb\r\n");
    // Every kind of line break; a trailing break adds no line; replaces a longer file.
    EXPECT_EQ(Call(30003, "w2", R"("filePath": "out/t.txt", "contents": "x\r\ny\rz\n\n\u00e9")"),
              Success("w2", "true"));
    EXPECT_EQ(Bytes(Folder / "out/t.txt"), "\xEF\xBB\xBFx\r\ny\r\nz\r\n\r\n\xC3\xA9\r\n");
    EXPECT_EQ(Call(30003, "w3", R"("filePath": "out/t.txt", "contents": "\r\n")"), Success("w3", "true"));
    EXPECT_EQ(Bytes(Folder / "out/t.txt"), "\xEF\xBB\xBF\r\n");
    for (const char* members : {R"("filePath": "e.txt", "contents": "")", R"("filePath": "e.txt")",
                                R"("filePath": "e.txt", "contents": null)"}) {
        EXPECT_EQ(Call(30003, "w4", members), Success("w4", "true")) << members;
        EXPECT_EQ(Bytes(Folder / "e.txt"), "\xEF\xBB\xBF") << members;
    }
    // A number is written as its JSON text; an absolute path with several new folders.
    TempDir other;
    EXPECT_EQ(Call(30003, "w5", "\"filePath\": " + Quoted(other / "n/m/v.txt") + ", \"contents\": 12.50"),
              Success("w5", "true"));
    EXPECT_EQ(Bytes(other / "n/m/v.txt"), "\xEF\xBB\xBF"
                                          "12.50\r\n");

    EXPECT_EQ(Call(30003, "w6", R"("contents": "a")"), Failure("w6", "\"Missing filePath\""));
    // Contents of the wrong kind are reported to the page, and nothing is written.
    EXPECT_EQ(Call(30003, "w7", R"("filePath": "obj.txt", "contents": {"a": 1})"),
              Failure("w7", "\"Conversion from TJSONObject to string is not supported\""));
    EXPECT_FALSE(fs::exists(Folder / "obj.txt"));
    // A folder in the way of the file: the write's error, escaped.
    fs::create_directories(Folder.Path() / "busy");
    const std::string failed = Call(30003, "w8", R"("filePath": "busy", "contents": "a")");
    EXPECT_THAT(failed, StartsWith(R"({"uuid": "w8", "success": false, "result": "Cannot open file \")" +
                                   AppDir + "busy\\\""));
    // A file in the way of the folder: the folder is not made, the write fails.
    WriteFile(Folder / "plain", "p");
    EXPECT_THAT(Call(30003, "w9", R"("filePath": "plain/t.txt", "contents": "a")"),
                StartsWith(R"({"uuid": "w9", "success": false, "result": "Cannot open file)"));
    EXPECT_EQ(Bytes(Folder / "plain"), "p");
}

TEST_F(ModuleFilesTest, Base64IsDecodedToExactlyItsBytes) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    WriteFile(Folder / "all.bin", bytes);
    auto encoded = RunCommand("base64 -w 60 " + ShellQuote(Folder / "all.bin"));
    ASSERT_EQ(encoded.ExitCode, 0);
    EXPECT_EQ(Call(90001, "b1", "\"filePath\": \"bin/all.bin\", \"contents\": " + Quoted(encoded.Output)),
              Success("b1", "true"));
    EXPECT_EQ(Bytes(Folder / "bin/all.bin"), bytes);
    // Empty contents: an empty file, also in place of a longer one.
    EXPECT_EQ(Call(90001, "b2", R"("filePath": "bin/all.bin", "contents": "")"), Success("b2", "true"));
    EXPECT_TRUE(fs::exists(Folder / "bin/all.bin"));
    EXPECT_EQ(fs::file_size(Folder / "bin/all.bin"), 0u);
    EXPECT_EQ(Call(90001, "b3", R"("filePath": "new.bin")"), Success("b3", "true"));
    EXPECT_EQ(fs::file_size(Folder / "new.bin"), 0u);

    EXPECT_EQ(Call(90001, "b4", R"("contents": "YQ==")"), Failure("b4", "\"Missing filePath\""));
    // Text that is no base64 is reported, and no file is made.
    EXPECT_EQ(Call(90001, "b5", R"("filePath": "bad.bin", "contents": "YQ=\u00e9")"),
              Failure("b5", "\"Invalid character byte 0xC3 in base64 text at position 4\""));
    EXPECT_FALSE(fs::exists(Folder / "bad.bin"));
    EXPECT_EQ(Call(90001, "b6", R"("filePath": "bad.bin", "contents": ["YQ=="])"),
              Failure("b6", "\"Conversion from TJSONArray to string is not supported\""));
    EXPECT_FALSE(fs::exists(Folder / "bad.bin"));
    fs::create_directories(Folder.Path() / "busy");
    EXPECT_THAT(Call(90001, "b7", R"("filePath": "busy", "contents": "YQ==")"),
                StartsWith(R"({"uuid": "b7", "success": false, "result": "Cannot open file)"));
    ExpectEscaped(90001, R"("filePath": {})", "Conversion from TJSONObject to string is not supported");
}

// Runs the body with the current folder changed, and changes it back.
template <class TBody> void InFolder(const fs::path& Folder, TBody Body) {
    const fs::path previous = fs::current_path();
    fs::current_path(Folder);
    Body();
    fs::current_path(previous);
}

TEST_F(ModuleFilesTest, ExtractFileWritesAnEntryOfTheApplicationFolder) {
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary.push_back(static_cast<char>((i * 31) & 0xFF));
    TPayload payload(std::map<std::string, std::string>{
        {"app/index.html", "<html></html>"}, {"app/data/blob.bin", binary}, {"appdata/other.txt", "other"}});
    Module->SetExeZip(&payload.Zip());
    Ini.LoadFromLines({"[App]", "DirName=app"});
    TempDir target;

    EXPECT_EQ(
        Call(30004, "x1", "\"sourceFile\": \"/data/blob.bin\", \"targetFile\": " + Quoted(target / "a.bin")),
        Success("x1", "true"));
    EXPECT_EQ(Bytes(target / "a.bin"), binary);
    // The name follows DirName without a separator in between.
    EXPECT_EQ(
        Call(30004, "x2", "\"sourceFile\": \"data/other.txt\", \"targetFile\": " + Quoted(target / "b.txt")),
        Success("x2", "true"));
    EXPECT_EQ(Bytes(target / "b.txt"), "other");
    // A relative target is taken from the current folder, not the program's.
    InFolder(target.Path(), [&] {
        EXPECT_EQ(Call(30004, "x3", R"("sourceFile": "/index.html", "targetFile": "rel.html")"),
                  Success("x3", "true"));
    });
    EXPECT_EQ(Bytes(target / "rel.html"), "<html></html>");
    EXPECT_FALSE(fs::exists(Folder / "rel.html"));

    // Not in the archive: an error, and the target keeps its bytes; no other file is made.
    WriteFile(target / "old.txt", std::string("old\0contents", 12));
    EXPECT_EQ(
        Call(30004, "x4", "\"sourceFile\": \"/none.txt\", \"targetFile\": " + Quoted(target / "old.txt")),
        Failure("x4", "\"File not found\""));
    EXPECT_EQ(Bytes(target / "old.txt"), std::string("old\0contents", 12));
    EXPECT_EQ(
        Call(30004, "x4", "\"sourceFile\": \"/none.txt\", \"targetFile\": " + Quoted(target / "new.txt")),
        Failure("x4", "\"File not found\""));
    EXPECT_EQ(std::distance(fs::directory_iterator(target.Path()), fs::directory_iterator()), 4);
    // Without DirName the name is the source as it is.
    Ini.LoadFromLines({"[App]"});
    EXPECT_EQ(
        Call(30004, "x5", "\"sourceFile\": \"app/index.html\", \"targetFile\": " + Quoted(target / "c.html")),
        Success("x5", "true"));
    EXPECT_EQ(Bytes(target / "c.html"), "<html></html>");

    EXPECT_EQ(Call(30004, "m1", "\"targetFile\": " + Quoted(target / "d")),
              Failure("m1", "\"Missing sourceFile\""));
    EXPECT_EQ(Call(30004, "m2", R"("sourceFile": "/index.html", "targetFile": null)"),
              Failure("m2", "\"Missing targetFile\""));
    EXPECT_FALSE(fs::exists(target / "d"));
    // A target that cannot be written escapes the function.
    fs::create_directories(target.Path() / "folder");
    ExpectEscaped(30004, "\"sourceFile\": \"app/index.html\", \"targetFile\": " + Quoted(target / "folder"),
                  "Cannot open file \"" + (target / "folder") + "\". Is a directory");
    ExpectEscaped(30004, "\"sourceFile\": \"app/index.html\", \"targetFile\": " + Quoted(target / "none/e"),
                  "Cannot open file \"" + (target / "none/e") + "\". No such file or directory");
}

TEST_F(ModuleFilesTest, ExtractFileReportsADamagedEntry) {
    // The same archive read with a wrong password: the entry is found but cannot be read.
    TPayload payload(std::map<std::string, std::string>{{"app/page.html", std::string(4000, 'p')}});
    payload.Zip().SetPassword("not the payload password");
    Module->SetExeZip(&payload.Zip());
    Ini.LoadFromLines({"[App]", "DirName=app"});
    TempDir target;
    WriteFile(target / "p.html", "kept");
    const std::string reply =
        Call(30004, "z1", "\"sourceFile\": \"/page.html\", \"targetFile\": " + Quoted(target / "p.html"));
    EXPECT_THAT(reply, StartsWith(R"({"uuid": "z1", "success": false, "result": ")"));
    EXPECT_NE(reply, Failure("z1", "\"File not found\""));
    // The target is replaced only by a whole entry; nothing half-written stays behind.
    EXPECT_EQ(Bytes(target / "p.html"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(target.Path()), fs::directory_iterator()), 1);
}

// Sets an environment variable for a scope.
class EnvVar {
public:
    EnvVar(const char* Name, const std::string& Value) : FName(Name) {
        if (const char* old = std::getenv(Name))
            FOld = old;
        ::setenv(Name, Value.c_str(), 1);
    }
    ~EnvVar() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

TEST_F(ModuleFilesTest, FolderGettersEndWithASeparator) {
    TempDir home;
    fs::create_directories(home.Path() / "config");
    EnvVar tmp("TMPDIR", home.Path().string());
    EnvVar configHome("XDG_CONFIG_HOME", (home / "config"));
    EnvVar documents("XDG_DOCUMENTS_DIR", (home / "Docs"));
    EnvVar desktop("XDG_DESKTOP_DIR", (home / "Desk"));
    EnvVar user("HOME", home.Path().string());
    EXPECT_EQ(Call(40003, "g1", ""), Success("g1", Quoted(home.Path().string() + "/")));
    EXPECT_EQ(Call(40007, "g2", ""), Success("g2", Quoted(home / "config/")));
    EXPECT_EQ(Call(40004, "g3", ""), Success("g3", Quoted(home / "Docs/")));
    EXPECT_EQ(Call(40005, "g4", ""), Success("g4", Quoted(home / "Desk/")));
    // The folder of the running program, whatever the browser window's folder.
    char exe[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    ASSERT_GT(length, 0);
    EXPECT_EQ(
        Call(40006, "g5", ""),
        Success("g5",
                Quoted(fs::path(std::string(exe, static_cast<std::size_t>(length))).parent_path().string() +
                       "/")));
    // Names outside ASCII come back as \u escapes.
    EnvVar odd("TMPDIR", home / "é\"x");
    EXPECT_EQ(Call(40003, "g6", ""), Success("g6", "\"" + home.Path().string() + "/\\u00e9\\\"x/\""));
}

TEST_F(ModuleFilesTest, DeleteDirResolvesDotTailsAndNeverTakesTheRootOrTheHomeFolder) {
    fs::create_directories(Folder.Path() / "dir/sub");
    WriteFile(Folder / "dir/sub/x.txt", "x");
    WriteFile(Folder / "dir/y.txt", "y");
    fs::create_directories(Folder.Path() / "dot/in");
    fs::create_directories(Folder.Path() / "kept/in");
    WriteFile(Folder / "kept/in/k.txt", "k");
    fs::create_directory_symlink(Folder / "kept", Folder / "link");
    WriteFile(Folder / "file.txt", "f");

    // "dir/sub/.." is dir: gone with all it held.
    EXPECT_EQ(Call(40002, "t1", R"("dirPath": "dir/sub/..")"), Success("t1", "true"));
    EXPECT_FALSE(fs::exists(Folder / "dir"));
    EXPECT_EQ(Call(40002, "t2", R"("dirPath": "dot/./")"), Success("t2", "true"));
    EXPECT_FALSE(fs::exists(Folder / "dot"));
    // "link/." is the link: only the link goes.
    EXPECT_EQ(Call(40002, "t3", R"("dirPath": "link/.")"), Success("t3", "true"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Folder / "link")));
    EXPECT_EQ(Bytes(Folder / "kept/in/k.txt"), "k");
    // A tail needs a folder.
    EXPECT_EQ(Call(40002, "t4", R"("dirPath": "file.txt/.")"), Success("t4", "false"));
    EXPECT_EQ(Call(40002, "t5", R"("dirPath": "none/..")"), Success("t5", "false"));
    EXPECT_EQ(Bytes(Folder / "file.txt"), "f");

    // The home folder and the root, however they are named.
    TempDir home;
    fs::create_directories(home.Path() / "sub");
    WriteFile(home / "sub/h.txt", "h");
    EnvVar user("HOME", home.Path().string());
    for (const std::string& path : {home.Path().string(), home / "", home / "./", home / "sub/..",
                                    home / "sub/../sub/..", std::string("/"), std::string("//"),
                                    std::string("/."), std::string("/tmp/.."), home / "../../../.."}) {
        EXPECT_EQ(Call(40002, "h", "\"dirPath\": " + Quoted(path)), Success("h", "false")) << path;
    }
    EXPECT_EQ(Bytes(home / "sub/h.txt"), "h");
    EXPECT_EQ(Bytes(Folder / "kept/in/k.txt"), "k");
}

// ---------------------------------------------------------------------------
// The open and save dialogs through the toolkit's chooser.

// Runs Action from the event loop (also inside the dialog's own loop) once
// Condition holds; gives up after TimeoutMs. Checks still waiting when a test
// ends are dropped by DropPendingChecks.
struct TWhen {
    std::function<bool()> Condition;
    std::function<void()> Action;
    std::chrono::steady_clock::time_point Deadline;
    guint Source = 0;
};
std::vector<TWhen*>& PendingChecks() {
    static std::vector<TWhen*> pending;
    return pending;
}
void ForgetCheck(TWhen* When) {
    auto& pending = PendingChecks();
    pending.erase(std::find(pending.begin(), pending.end(), When));
    delete When;
}
void When(std::function<bool()> Condition, std::function<void()> Action, int TimeoutMs = 20000) {
    auto* when = new TWhen{std::move(Condition), std::move(Action),
                           std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs)};
    PendingChecks().push_back(when);
    when->Source = g_timeout_add(
        20,
        [](gpointer Data) -> gboolean {
            auto* w = static_cast<TWhen*>(Data);
            if (w->Condition()) {
                auto action = std::move(w->Action);
                ForgetCheck(w);
                action();
                return G_SOURCE_REMOVE;
            }
            if (std::chrono::steady_clock::now() > w->Deadline) {
                ForgetCheck(w);
                return G_SOURCE_REMOVE;
            }
            return G_SOURCE_CONTINUE;
        },
        when);
}
void DropPendingChecks() {
    while (!PendingChecks().empty()) {
        g_source_remove(PendingChecks().back()->Source);
        ForgetCheck(PendingChecks().back());
    }
}

// The chooser window of the dialog running now, once it is on the screen.
GtkWindow* ShownChooser() {
    auto* dialog = Norvane::Platform::Ui::RunningFileDialog();
    if (!dialog || !dialog->NativeDialog())
        return nullptr;
    const GtkFileChooserAction action = gtk_file_chooser_get_action(GTK_FILE_CHOOSER(dialog->NativeDialog()));
    GtkWindow* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* item = all; item; item = item->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)) &&
            gtk_file_chooser_get_action(GTK_FILE_CHOOSER(item->data)) == action)
            found = GTK_WINDOW(item->data);
    g_list_free(all);
    return found;
}

std::vector<std::string> FilterNames(GtkWindow* Chooser) {
    std::vector<std::string> names;
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(Chooser));
    for (GSList* f = filters; f; f = f->next)
        names.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    g_slist_free(filters);
    return names;
}

void PressAccept(GtkWindow* Chooser);

// Selects the file (the chooser loads folders in the background: until it
// sticks) and presses the accept button.
void ChooseFile(GtkWindow* Chooser, const std::string& Path) {
    When(
        [Chooser, Path] {
            char* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(Chooser));
            const bool ok = name && std::string(name) == Path;
            g_free(name);
            if (!ok)
                gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(Chooser), Path.c_str());
            return ok;
        },
        [Chooser] {
            gtk_button_clicked(
                GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(Chooser), GTK_RESPONSE_ACCEPT)));
        });
}

void Cancel(GtkWindow* Chooser) {
    gtk_dialog_response(GTK_DIALOG(Chooser), GTK_RESPONSE_CANCEL);
}

TEST_F(ModuleFilesTest, OpenDialogOffersTheFileTypesAndAnswersThePathOrNothing) {
    WriteFile(Folder / "notes é.txt", "n");
    WriteFile(Folder / "b.txt", "b");
    std::string title;
    std::vector<std::string> filters;
    When([] { return ShownChooser() != nullptr; },
         [&] {
             GtkWindow* chooser = ShownChooser();
             title = gtk_window_get_title(chooser);
             filters = FilterNames(chooser);
             ChooseFile(chooser, Folder / "notes é.txt");
         });
    // An entry without "|" and one with two are skipped.
    EXPECT_EQ(Call(20001, "o1",
                   "\"fileName\": " + Quoted(Folder / "b.txt") +
                       R"(, "fileTypes": "Text files|*.txt;*.md;All files|*.*;x|y|z")"),
              Success("o1", Quoted(Folder / "notes é.txt")));
    EXPECT_EQ(title, "Open file");
    EXPECT_EQ(filters, (std::vector<std::string>{"Text files", "All files"}));
    EXPECT_EQ(Module->FileOpenDialog->FileName(), Folder / "notes é.txt");

    // Cancelled: an empty text, no error; title and types are those of this call.
    When([] { return ShownChooser() != nullptr; },
         [&] {
             GtkWindow* chooser = ShownChooser();
             title = gtk_window_get_title(chooser);
             filters = FilterNames(chooser);
             Cancel(chooser);
         });
    EXPECT_EQ(Call(20001, "o2", R"("title": "Pick one", "fileTypes": "")"), Success("o2", "\"\""));
    EXPECT_EQ(title, "Pick one");
    EXPECT_THAT(filters, IsEmpty());
    EXPECT_FALSE(Module->FileOpenDialog->Executing());
    ExpectEscaped(20001, R"("fileTypes": {})", "Conversion from TJSONObject to string is not supported");
}

// The overwrite question the chooser asks (a message dialog), or null.
GtkWindow* ShownConfirmation() {
    GtkWindow* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* item = all; item; item = item->next)
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
            found = GTK_WINDOW(item->data);
    g_list_free(all);
    return found;
}

void PressAccept(GtkWindow* Chooser) {
    gtk_button_clicked(
        GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(Chooser), GTK_RESPONSE_ACCEPT)));
}

// Presses the save dialog's accept button every 300 ms until the dialog has
// ended (a press made while the chooser is still settling is dropped by it);
// not while its overwrite question shows.
void KeepPressingAccept() {
    auto ticks = std::make_shared<int>(0);
    When(
        [ticks] {
            GtkWindow* chooser = ShownChooser();
            if (!chooser)
                return true;
            if ((*ticks)++ % 15 == 0 && !ShownConfirmation())
                PressAccept(chooser);
            return false;
        },
        [] {});
}

TEST_F(ModuleFilesTest, SaveDialogAsksBeforeOverwritingOnlyWhenTold) {
    WriteFile(Folder / "report.txt", "old");
    auto asked = std::make_shared<int>(0);
    auto title = std::make_shared<std::string>();
    auto answerQuestions = [asked] {
        // Any question is answered with Replace, so that the dialog never hangs.
        When([] { return ShownConfirmation() != nullptr; },
             [asked] {
                 ++*asked;
                 gtk_dialog_response(GTK_DIALOG(ShownConfirmation()), GTK_RESPONSE_ACCEPT);
             });
    };
    When([] { return ShownChooser() != nullptr; },
         [title] {
             *title = gtk_window_get_title(ShownChooser());
             KeepPressingAccept();
         });
    answerQuestions();
    EXPECT_EQ(
        Call(20002, "s1", "\"fileName\": " + Quoted(Folder / "report.txt") + R"(, "overwritePrompt": true)"),
        Success("s1", Quoted(Folder / "report.txt")));
    EXPECT_EQ(*asked, 1);
    EXPECT_EQ(*title, "Save file");
    EXPECT_EQ(Bytes(Folder / "report.txt"), "old"); // the dialog only names the file

    // Absent or false: no question (the option is switched off again).
    for (const char* option : {"", R"(, "overwritePrompt": false)"}) {
        *asked = 0;
        DropPendingChecks();
        When([] { return ShownChooser() != nullptr; }, [] { KeepPressingAccept(); });
        answerQuestions();
        EXPECT_EQ(Call(20002, "s2", "\"fileName\": " + Quoted(Folder / "report.txt") + option),
                  Success("s2", Quoted(Folder / "report.txt")))
            << option;
        EdgeEx::PumpUntil([] { return ShownConfirmation() != nullptr; }, 300);
        EXPECT_EQ(*asked, 0) << option;
    }
    DropPendingChecks();

    When([] { return ShownChooser() != nullptr; }, [] { Cancel(ShownChooser()); });
    EXPECT_EQ(Call(20002, "s3", R"("overwritePrompt": null)"), Success("s3", "\"\""));
    // A value that is no boolean escapes the function before any dialog shows.
    ExpectEscaped(20002, R"("overwritePrompt": "yes")",
                  "Conversion from TJSONString to Boolean is not supported");
    EXPECT_EQ(Norvane::Platform::Ui::RunningFileDialog(), nullptr);
}

TEST_F(ModuleFilesTest, ARequestForTheDialogThatIsShowingIsRefusedAndTheFirstKeepsItsResult) {
    WriteFile(Folder / "first.txt", "1");
    std::vector<std::string> nested;
    std::string nestedSave;
    When(
        [] { return ShownChooser() != nullptr; },
        [&] {
            GtkWindow* chooser = ShownChooser();
            // A second open request from the page, served inside the dialog's loop.
            nested = Send(
                R"({"id": 20001, "uuid": "inner", "data": {"fileName": "other.txt", "fileTypes": "A|*.a"}})");
            // The save dialog is another component: it is shown, and cancelled.
            When(
                [] {
                    return Norvane::Platform::Ui::RunningFileDialog() != nullptr &&
                           Norvane::Platform::Ui::RunningFileDialog()->NativeDialog() &&
                           dynamic_cast<Norvane::Platform::Ui::TFileSaveDialog*>(
                               Norvane::Platform::Ui::RunningFileDialog()) &&
                           ShownChooser();
                },
                [] { Cancel(ShownChooser()); });
            auto saved = Send(R"({"id": 20002, "uuid": "inner-save", "data": {}})");
            nestedSave = saved.empty() ? std::string() : saved.front();
            ChooseFile(chooser, Folder / "first.txt");
        });
    // The replies in the order they were posted: both nested ones first.
    EXPECT_THAT(Send(R"({"id": 20001, "uuid": "outer", "data": {"fileTypes": "Text|*.txt"}})"),
                ElementsAre(Failure("inner", "\"A file dialog is already open\""),
                            Success("inner-save", "\"\""), Success("outer", Quoted(Folder / "first.txt"))));
    EXPECT_THAT(nested, ElementsAre(Failure("inner", "\"A file dialog is already open\"")));
    EXPECT_EQ(nestedSave, Success("inner-save", "\"\""));
    // The refused request changed nothing of the dialog.
    ASSERT_EQ(Module->FileOpenDialog->FileTypes().size(), 1u);
    EXPECT_EQ(Module->FileOpenDialog->FileTypes()[0].DisplayName, "Text");
}

// ---------------------------------------------------------------------------
// The main menu.

// A small PNG picture of the given colour.
std::string PngPicture(guint32 Rgba) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 4, 4);
    gdk_pixbuf_fill(pixbuf, Rgba);
    gchar* buffer = nullptr;
    gsize size = 0;
    gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
    std::string bytes(buffer, size);
    g_free(buffer);
    g_object_unref(pixbuf);
    return bytes;
}

class ModuleMenuTest : public ModuleFunctionsTest {
protected:
    void SetUp() override {
        ModuleFunctionsTest::SetUp();
        Module->SetExeZip(&Menu.Zip());
    }
    Norvane::Platform::Ui::TMainMenu& MainMenu() { return *Module->BrowserExternalForm()->MainMenu; }
    Norvane::Platform::Ui::TMenuItem& Top(int Index) { return *MainMenu().Items()->Items(Index); }
    std::string SetItems(const std::string& ItemsJson) {
        return Reply(R"({"id": 12001, "uuid": "m", "data": {"items": )" + Quoted(ItemsJson) + "}}");
    }
    static std::string Quoted(const std::string& Text) { return Norvane::Shared::EscapedJsonString(Text); }
    std::string Update(const std::string& DataJson) {
        return Reply(R"({"id": 12002, "uuid": "u", "data": )" + DataJson + "}");
    }
    static std::string Error(const std::string& Uuid, const std::string& Text) {
        return R"({"uuid": ")" + Uuid + R"(", "success": false, "result": ")" + Text + R"("})";
    }
    const std::string Ok = R"({"uuid": "m", "success": true, "result": true})";
    TPayload Menu{std::map<std::string, std::string>{{"app/index.html", "<html></html>"},
                                                     {"app/img/open.png", PngPicture(0x2060c0ff)},
                                                     {"app/img/broken.png", "not a picture"}}};
};

TEST_F(ModuleMenuTest, ItemsAreBuiltFromJsonAndAPickRunsTheHandlerInThePage) {
    EXPECT_EQ(Main->Menu(), nullptr);
    EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "&File", "items": [{"id": 11, "caption": "Open"},
        {"id": 12, "caption": "-"}, {"id": "13", "caption": "Quit", "enabled": "TRUE"}]},
        {"id": "x", "caption": 2.5, "enabled": 0}, {"id": "7", "caption": null, "enabled": "FALSE"},
        {"id": 8, "caption": true, "enabled": 2, "items": []}])"),
              Ok);
    EXPECT_EQ(Main->Menu(), &MainMenu());
    ASSERT_EQ(MainMenu().Items()->Count(), 4);
    EXPECT_EQ(Top(0).Caption(), "&File");
    ASSERT_EQ(Top(0).Count(), 3);
    EXPECT_TRUE(Top(0).Items(1)->IsLine());
    EXPECT_EQ(Top(0).Items(2)->Tag(), 13);
    EXPECT_TRUE(Top(0).Items(2)->Enabled());
    EXPECT_EQ(Top(1).Tag(), 0);
    EXPECT_EQ(Top(1).Caption(), "2.5");
    EXPECT_FALSE(Top(1).Enabled());
    EXPECT_EQ(Top(2).Tag(), 7);
    EXPECT_EQ(Top(2).Caption(), "null");
    EXPECT_FALSE(Top(2).Enabled());
    EXPECT_TRUE(Top(3).Enabled());
    // Items with children (even none) run nothing; a leaf runs the page's handler.
    EXPECT_FALSE(Top(0).OnClick);
    EXPECT_FALSE(Top(3).OnClick);
    Top(0).Items(2)->Click();
    Top(2).Click(); // disabled: nothing
    EXPECT_THAT(DetailsOf("View.ExecuteScript"), ElementsAre("qvx.events.onMainMenuItemClick(13);"));

    // updateItem: the first of two items with a number, depth first; -1 is no number.
    EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "A", "items": [{"id": 5, "caption": "deep"}]},
        {"id": 5, "caption": "top"}, {"id": -1, "caption": "minus"}, {"id": 2147483647, "caption": "max"}])"),
              Ok);
    EXPECT_EQ(Update(R"({"id": "5", "caption": "renamed", "enabled": "false"})"),
              R"({"uuid": "u", "success": true, "result": true})");
    EXPECT_EQ(Top(0).Items(0)->Caption(), "renamed");
    EXPECT_FALSE(Top(0).Items(0)->Enabled());
    EXPECT_EQ(Top(1).Caption(), "top");
    EXPECT_EQ(Update(R"({"id": 2147483647, "caption": "", "enabled": null})"),
              R"({"uuid": "u", "success": true, "result": true})");
    EXPECT_EQ(Top(3).Caption(), "max");
    EXPECT_EQ(Update(R"({"id": -1, "caption": "x"})"), Error("u", "Wrong item ID"));
    EXPECT_EQ(Top(2).Caption(), "minus");
    EXPECT_THAT(EdgeEx::ReportedErrors(), IsEmpty());
}

TEST_F(ModuleMenuTest, BadInputAnswersItsErrorAndLeavesTheMenuAsItSays) {
    EXPECT_EQ(Update(R"({"id": 1})"), Error("u", "No menu items"));
    EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "Kept"}])"), Ok);
    // Missing items: the menu stays as it was.
    EXPECT_EQ(Reply(R"({"id": 12001, "uuid": "m", "data": {"items": null}})"),
              Error("m", "Missing menu items"));
    EXPECT_EQ(MainMenu().Items()->Count(), 1);
    EXPECT_EQ(Update(R"({"caption": "x"})"), Error("u", "Missing item ID"));
    EXPECT_EQ(Update(R"({"id": "1.5"})"), Error("u", "Wrong item ID"));
    EXPECT_EQ(Update(R"({"id": 99, "caption": "x"})"), R"({"uuid": "u", "success": true, "result": true})");
    // The others empty the menu, which stays attached.
    std::string deep;
    for (int i = 0; i < 1000; ++i)
        deep += R"([{"id": 1, "caption": "d", "items": )";
    deep += "[]";
    for (int i = 0; i < 1000; ++i)
        deep += "}]";
    for (const auto& [items, error] : std::vector<std::pair<std::string, std::string>>{
             {"{not json", "Wrong menu items JSON"},
             {R"({"id": 1, "caption": "x"})", "Wrong menu items JSON"},
             {deep, "Wrong menu items JSON"},
             {R"([{"id": 1, "caption": "a"}, {"id": 2}])", "Wrong menu item JSON"},
             {R"([{"caption": "no id"}])", "Wrong menu item JSON"},
             {R"([{"id": {}, "caption": "x"}])", "Wrong menu item JSON"},
             {R"([{"id": 1, "caption": "x", "items": {}}])", "Wrong menu item JSON"},
             {R"([{"id": 1, "caption": "x", "items": [{"id": 2, "caption": "y", "items": 3}]}])",
              "Wrong menu item JSON"}}) {
        SCOPED_TRACE(items.substr(0, 60));
        EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "Kept"}])"), Ok);
        EXPECT_EQ(SetItems(items), Error("m", error));
        EXPECT_EQ(MainMenu().Items()->Count(), 0);
        EXPECT_EQ(Main->Menu(), &MainMenu());
    }
    // Several megabytes of items are built.
    std::string many = "[";
    for (int i = 0; i < 50; ++i)
        many += (i ? "," : "") + std::string(R"({"id": )") + std::to_string(i) + R"(, "caption": ")" +
                std::string(80000, 'c') + "\"}";
    EXPECT_EQ(SetItems(many + "]"), Ok);
    EXPECT_EQ(MainMenu().Items()->Count(), 50);

    // Errors that are raised, not answered: reported from the loop, no reply;
    // what was built before stays.
    for (const auto& [data, error] : std::vector<std::pair<std::string, std::string>>{
             {R"({"items": [{"id": 1, "caption": "x"}]})",
              "Conversion from TJSONArray to string is not supported"},
             {R"({"items": "[{\"id\": 1, \"caption\": \"a\"}, 5]"})",
              "Conversion from TJSONNumber to TJSONObject is not supported"},
             {R"({"items": "[{\"id\": 1, \"caption\": \"a\", \"enabled\": \"maybe\"}]"})",
              "'maybe' is not a valid boolean value"}}) {
        SCOPED_TRACE(data);
        EdgeEx::ReportedErrors().clear();
        EXPECT_THAT(Send(R"({"id": 12001, "uuid": "m", "data": )" + data + "}"), IsEmpty());
        EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
        EXPECT_THAT(EdgeEx::ReportedErrors(), ElementsAre(error));
    }
    EXPECT_EQ(MainMenu().Items()->Count(), 1); // the item of the failing enabled value
}

TEST_F(ModuleMenuTest, PicturesComeFromTheArchiveBesideTheProgramOrThePath) {
    TempDir disk;
    WriteFile((disk.Path() / "save.png").string(), PngPicture(0x20c060ff));
    const std::string path = (disk.Path() / "save.png").string();
    EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "a", "image": "app/img/open.png"},
        {"id": 2, "caption": "b", "image": )" +
                       Quoted(path) + R"(},
        {"id": 3, "caption": "c", "image": "app/img/none.png"},
        {"id": 4, "caption": "d", "image": )" +
                       Quoted(disk.Path().string()) + "}]"),
              Ok);
    auto& images = *Module->BrowserExternalForm()->MainMenuImageCollection;
    ASSERT_EQ(images.Count(), 2);
    EXPECT_EQ(Top(0).ImageName(), "MainMenuImg0");
    EXPECT_EQ(Top(1).ImageName(), "MainMenuImg1");
    EXPECT_EQ(Top(1).ImageIndex(), 1);
    EXPECT_EQ(Top(2).ImageIndex(), -1);
    EXPECT_EQ(Top(3).ImageIndex(), -1);
    // At the list's size, grey when disabled.
    const auto picture = Module->BrowserExternalForm()->MainMenuVirtualImageList->GetBitmap(0, true);
    EXPECT_EQ(picture.Width(), 16);
    EXPECT_EQ(picture.Height(), 16);
    // updateItem adds a picture; a new setItems starts the names again.
    EXPECT_EQ(Update(R"({"id": 3, "image": "app/img/open.png"})"),
              R"({"uuid": "u", "success": true, "result": true})");
    EXPECT_EQ(Top(2).ImageName(), "MainMenuImg2");
    EXPECT_EQ(SetItems(R"([{"id": 1, "caption": "a", "image": "app/img/open.png"}])"), Ok);
    EXPECT_EQ(images.Count(), 1);
    EXPECT_EQ(Top(0).ImageName(), "MainMenuImg0");
    // Bytes that are no picture are an error of the call.
    EdgeEx::ReportedErrors().clear();
    EXPECT_THAT(Send(R"({"id": 12002, "uuid": "u", "data": {"id": 1, "image": "app/img/broken.png"}})"),
                IsEmpty());
    EXPECT_TRUE(EdgeEx::PumpUntil([] { return !EdgeEx::ReportedErrors().empty(); }, 5000));
}

} // namespace
