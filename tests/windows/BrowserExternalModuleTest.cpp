// The bridge module on a browser window over the fake engine: real web
// messages in, replies posted through the view, errors to the application's
// error report once the engine's callback has returned.
#include "tests/windows/WindowsTestSupport.h"

#include "platform/Process.h"
#include "platform/Session.h"
#include "platform/System.h"
#include "shared/BrowserExternalModule.h"
#include "tests/support/TestSupport.h"

#include <sys/stat.h>

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
        Window->EdgeBrowser()->OnWebMessageReceived =
            [module](Norvane::Shared::TCustomEdgeBrowser* Sender,
                     Norvane::Shared::TWebMessageReceivedEventArgs* Args) {
                module->EdgeBrowserWebMessageReceived(Sender, Args);
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
    // A number of the table that nothing serves yet is ignored too.
    EXPECT_THAT(Send(R"({"id": 30001, "uuid": "not-yet", "data": {"filePath": "a.txt"}})"), IsEmpty());
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
        Module->Dispatcher().Register(
            id, [&ran, id = id](const std::string&, const auto&) { ran.push_back(id); });
    // A function allowed everywhere runs outside runtime mode.
    Module->Dispatcher().Register(50002, [&ran](const std::string&, const auto&) { ran.push_back(50002); });

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
    // A second enter does not touch the window.
    Main->SetWindowState(TWindowState::wsNormal);
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
        Reply(R"({"id": 70003, "uuid": "c2", "data": {"command": "printf '%s\\n' 'a\\b é'; echo err >&2"}})"),
        Success("c2", "\"a\\\\b \\u00e9\\nerr\\n\""));
    TempDir dir;
    EXPECT_EQ(Reply(R"({"id": 70003, "uuid": "c3", "data": {"command": "pwd", "workingDir": ")" +
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

TEST_F(ModuleFunctionsTest, SessionEndsGoThroughTheSessionControlWithForceAndAreNotServedToPages) {
    auto session = std::make_shared<RecordingSession>();
    auto previous = Norvane::Platform::SetSessionControl(session);
    using Norvane::Platform::SessionAction;
    for (int id : {11001, 11002, 11003})
        EXPECT_EQ(Reply("{\"id\": " + std::to_string(id) + ", \"uuid\": \"p\", \"data\": {}}"), "") << id;
    EXPECT_TRUE(session->Calls.empty());

    auto replies = [&](auto Function, const std::string& Uuid) {
        const std::size_t before = DetailsOf("View.PostWebMessageAsJson").size();
        (Module.get()->*Function)(Uuid);
        auto posted = DetailsOf("View.PostWebMessageAsJson");
        return std::vector<std::string>(posted.begin() + static_cast<std::ptrdiff_t>(before), posted.end());
    };
    EXPECT_THAT(replies(&TBrowserExternalModule::SystemLogoff, "x1"), ElementsAre(Success("x1", "true")));
    EXPECT_THAT(replies(&TBrowserExternalModule::SystemReboot, "x2"), ElementsAre(Success("x2", "true")));
    EXPECT_THAT(replies(&TBrowserExternalModule::SystemShutdown, "x3"), ElementsAre(Success("x3", "true")));
    session->Answer = false;
    EXPECT_THAT(replies(&TBrowserExternalModule::SystemShutdown, "x4"),
                ElementsAre(Failure("x4", R"("Not \"allowed\"")")));
    Norvane::Platform::SetSessionControl(previous);
    EXPECT_THAT(session->Calls,
                ElementsAre(std::pair(SessionAction::LogOff, true), std::pair(SessionAction::Reboot, true),
                            std::pair(SessionAction::PowerOff, true),
                            std::pair(SessionAction::PowerOff, true)));
}

} // namespace
