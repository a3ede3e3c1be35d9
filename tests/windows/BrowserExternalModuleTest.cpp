// The bridge module on a browser window over the fake engine: real web
// messages in, replies posted through the view, errors to the application's
// error report once the engine's callback has returned.
#include "tests/windows/WindowsTestSupport.h"

#include "shared/BrowserExternalModule.h"

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

} // namespace
