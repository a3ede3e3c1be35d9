// The browser control's creation sequence, state machine, failure paths,
// registrations, closing, threads and late completions, against the fake
// engine library loaded by path.
#include "tests/edgeex/EdgeExTestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cctype>
#include <memory>

using namespace Norvane::Testing::EdgeEx;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Shared::EEdgeError;
using ::testing::ElementsAreArray;

namespace {

const std::vector<std::string> ViewAdds = {"View.add_NavigationStarting",
                                           "View.add_NavigationCompleted",
                                           "View.add_SourceChanged",
                                           "View.add_HistoryChanged",
                                           "View.add_ContentLoading",
                                           "View.add_DocumentTitleChanged",
                                           "View.add_NewWindowRequested",
                                           "View.add_FrameNavigationStarting",
                                           "View.add_FrameNavigationCompleted",
                                           "View.add_WebResourceRequested",
                                           "View.add_ScriptDialogOpening",
                                           "View.add_PermissionRequested",
                                           "View.add_ProcessFailed",
                                           "View.add_WebMessageReceived",
                                           "View.add_ContainsFullScreenElementChanged",
                                           "View.add_WindowCloseRequested"};
const std::vector<std::string> ControllerAdds = {
    "Controller.add_ZoomFactorChanged", "Controller.add_MoveFocusRequested",
    "Controller.add_AcceleratorKeyPressed", "Controller.add_GotFocus", "Controller.add_LostFocus"};
const std::vector<std::string> ViewRemoves = {"View.remove_NavigationStarting",
                                              "View.remove_NavigationCompleted",
                                              "View.remove_SourceChanged",
                                              "View.remove_HistoryChanged",
                                              "View.remove_ContentLoading",
                                              "View.remove_DocumentTitleChanged",
                                              "View.remove_NewWindowRequested",
                                              "View.remove_FrameNavigationStarting",
                                              "View.remove_FrameNavigationCompleted",
                                              "View.remove_WebResourceRequested",
                                              "View.remove_ScriptDialogOpening",
                                              "View.remove_PermissionRequested",
                                              "View.remove_ProcessFailed",
                                              "View.remove_WebMessageReceived",
                                              "View.remove_WindowCloseRequested",
                                              "View.remove_ContainsFullScreenElementChanged"};
const std::vector<std::string> ControllerRemoves = {
    "Controller.remove_AcceleratorKeyPressed", "Controller.remove_GotFocus", "Controller.remove_LostFocus",
    "Controller.remove_MoveFocusRequested", "Controller.remove_ZoomFactorChanged"};

std::vector<std::string> Concat(std::vector<std::string> A, const std::vector<std::string>& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// Position of the first call with that name, or -1.
int IndexOf(const std::string& Name) {
    auto calls = Engine().Calls();
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].Name == Name)
            return static_cast<int>(i);
    return -1;
}

// The token detail of the call "Owner.verb_Event".
std::string DetailOf(const std::string& Name) {
    auto calls = Engine().CallsNamed(Name);
    return calls.empty() ? std::string("(none)") : calls.front().Detail;
}

std::string PointerText(const void* Pointer) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(Pointer));
}

using LifecycleTest = BrowserFixture;

// ---------------------------------------------------------------------------
// The creation sequence
// ---------------------------------------------------------------------------

TEST_F(LifecycleTest, CreationRunsEnvironmentOnWorkerThenControllerViewSettingsOnUiThread) {
    Make();
    EXPECT_EQ(Browser->BrowserControlState(), TState::None);
    EXPECT_EQ(Browser->SizeRatio(), 0.0);
    Attach(); // the parent starts the creation
    EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
    ASSERT_TRUE(WaitCompletions(1));

    // The environment was asked for on a worker thread; everything after it
    // happened on the user-interface thread.
    auto environmentCalls = Engine().CallsNamed("Loader.CreateCoreWebView2Environment");
    ASSERT_EQ(environmentCalls.size(), 1u);
    EXPECT_NE(environmentCalls[0].Thread, UiThread());
    auto controllerCalls = Engine().CallsNamed("Environment.CreateCoreWebView2Controller");
    ASSERT_EQ(controllerCalls.size(), 1u);
    EXPECT_EQ(controllerCalls[0].Thread, UiThread());
    EXPECT_EQ(controllerCalls[0].Detail, PointerText(Browser->Handle())); // the control's own window
    for (const auto& call : Engine().Calls())
        if (call.Name.rfind("Controller.", 0) == 0 || call.Name.rfind("View.", 0) == 0 ||
            call.Name.rfind("Settings.", 0) == 0) {
            EXPECT_EQ(call.Thread, UiThread()) << call.Name;
        }

    // OnCreateWebViewCompleted: on the UI thread, with everything stored and
    // before any registration.
    ASSERT_EQ(Completions.size(), 1u);
    EXPECT_EQ(Completions[0].Code, S_OK);
    EXPECT_EQ(Completions[0].Thread, UiThread());
    EXPECT_EQ(Completions[0].State, TState::Created);
    EXPECT_TRUE(Completions[0].Created);
    EXPECT_EQ(Completions[0].RegistrationsBefore, 0u);

    // Order of the engine calls.
    auto names = Engine().CallNames();
    std::vector<std::string> expected = {"Loader.CreateCoreWebView2Environment",
                                         "Environment.CreateCoreWebView2Controller",
                                         "Controller.get_CoreWebView2", "View.get_Settings"};
    expected = Concat(Concat(expected, ViewAdds), ControllerAdds);
    expected.push_back("Controller.put_Bounds");
    expected.push_back("Handler.ControllerCompleted");
    std::vector<std::string> relevant;
    for (const auto& name : names)
        if (name != "Handler.EnvironmentCompleted")
            relevant.push_back(name);
    EXPECT_THAT(relevant, ElementsAreArray(expected));
    EXPECT_EQ(DetailOf("Handler.EnvironmentCompleted"), "0x00000000");
    EXPECT_EQ(DetailOf("Handler.ControllerCompleted"), "0x00000000");
    EXPECT_EQ(DetailOf("Controller.put_Bounds"), "0,0,800,600"); // the first Resize, after the registrations

    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
    EXPECT_TRUE(Browser->WebViewCreated());
    EXPECT_EQ(Browser->LastErrorCode(), S_OK);
    EXPECT_EQ(Browser->SizeRatio(), 1.0);
    EXPECT_EQ(static_cast<void*>(Browser->EnvironmentInterface()),
              static_cast<void*>(Engine().Environment()));
    EXPECT_EQ(static_cast<void*>(Browser->ControllerInterface()), static_cast<void*>(Engine().Controller()));
    EXPECT_EQ(static_cast<void*>(Browser->DefaultInterface()), static_cast<void*>(Engine().View()));
    EXPECT_EQ(static_cast<void*>(Browser->SettingsInterface()), static_cast<void*>(Engine().Settings()));
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(LifecycleTest, EnvironmentCompletionFromAnyThreadHandsTheRestToTheUiThread) {
    for (TDelivery delivery : {TDelivery::OtherThread, TDelivery::UiIdle}) {
        SCOPED_TRACE(static_cast<int>(delivery));
        TScenario scenario;
        scenario.EnvironmentDelivery = delivery;
        scenario.ControllerDelivery = TDelivery::Immediate;
        Completions.clear();
        Create(scenario);
        auto controllerCalls = Engine().CallsNamed("Environment.CreateCoreWebView2Controller");
        ASSERT_EQ(controllerCalls.size(), 1u);
        EXPECT_EQ(controllerCalls[0].Thread, UiThread());
        ASSERT_EQ(Completions.size(), 1u);
        EXPECT_EQ(Completions[0].Thread, UiThread());
        EXPECT_TRUE(Browser->WebViewCreated());
        DestroyBrowser();
        Settle();
    }
}

TEST_F(LifecycleTest, TwoCreateWebViewCallsStartOneCreation) {
    Make();
    Attach();
    Browser->CreateWebView();
    Browser->CreateWebView();
    ASSERT_TRUE(WaitCompletions(1));
    Settle();
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 1u);
    EXPECT_EQ(Completions.size(), 1u);
}

TEST_F(LifecycleTest, CreateWebViewWithAViewDoesNothingAndAfterCloseCreatesANewView) {
    Create();
    Browser->CreateWebView();
    Settle();
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 1u);

    TComPtr<TFakeEnvironment> first(Engine().Environment());
    TComPtr<TFakeController> firstController(Engine().Controller());
    Browser->CloseWebView();
    EXPECT_FALSE(Browser->WebViewCreated());
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created); // closing leaves the state
    EXPECT_EQ(Browser->DefaultInterface(), nullptr);
    EXPECT_EQ(Browser->ControllerInterface(), nullptr);
    EXPECT_NE(Browser->EnvironmentInterface(), nullptr); // kept
    EXPECT_NE(Browser->SettingsInterface(), nullptr);    // kept
    EXPECT_TRUE(firstController->Closed);

    Browser->CreateWebView();
    EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
    EXPECT_TRUE(Browser->WebViewCreated());
    EXPECT_NE(static_cast<void*>(Browser->EnvironmentInterface()), static_cast<void*>(first.Get()));
    // The replaced environment keeps the control's extra reference: ours and that one.
    EXPECT_EQ(RefCount(first.Get()), 2u);
}

TEST_F(LifecycleTest, TheExtraEnvironmentReferenceOutlivesTheControl) {
    Create();
    TComPtr<TFakeEnvironment> environment(Engine().Environment());
    // The fake's, ours, the control's field and the extra one.
    EXPECT_EQ(RefCount(environment.Get()), 4u);
    DestroyBrowser();
    EXPECT_EQ(RefCount(environment.Get()), 3u);
    Engine().Reset(); // the fake lets go of it
    EXPECT_EQ(RefCount(environment.Get()), 2u);
}

TEST_F(LifecycleTest, ReinitializeRunsAtOnceOnTheCallingThreadAndReplacesTheView) {
    Create();
    TComPtr<TFakeController> old(Engine().Controller());
    Browser->SetSizeRatio(0.5);
    Browser->ReinitializeWebView();
    // Closed first, then a new environment asked for on this thread.
    EXPECT_TRUE(old->Closed);
    EXPECT_EQ(Browser->SizeRatio(), 1.0);
    auto environmentCalls = Engine().CallsNamed("Loader.CreateCoreWebView2Environment");
    ASSERT_EQ(environmentCalls.size(), 2u);
    EXPECT_EQ(environmentCalls[1].Thread, UiThread());
    auto names = Engine().CallNames();
    auto close = std::find(names.begin(), names.end(), "Controller.Close");
    auto second = std::find(std::find(names.begin(), names.end(), "Loader.CreateCoreWebView2Environment") + 1,
                            names.end(), "Loader.CreateCoreWebView2Environment");
    EXPECT_LT(close, second);
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
    EXPECT_NE(static_cast<void*>(Browser->ControllerInterface()), static_cast<void*>(old.Get()));
}

TEST_F(LifecycleTest, ReinitializeWhileCreatingStartsAnotherAttempt) {
    TScenario scenario;
    scenario.CreateEnvironmentReturn = E_ACCESSDENIED;
    Make(scenario);
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
    Browser->CreateWebView(); // still Creating: nothing
    Settle();
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 1u);

    Engine().Scenario().CreateEnvironmentReturn = S_OK;
    Browser->ReinitializeWebView();
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Completions[1].Code, S_OK);
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
}

TEST_F(LifecycleTest, FailedStateIsLeftByANewAttemptOrASuccessfulReinitialisation) {
    TScenario scenario;
    scenario.ControllerResult = E_OUTOFMEMORY;
    Make(scenario);
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Failed);

    // Failed and a view? No: the controller failed, so CreateWebView starts again.
    Engine().Scenario().ControllerResult = S_OK;
    Browser->CreateWebView();
    EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);

    Engine().Scenario().ControllerResult = E_OUTOFMEMORY;
    Browser->ReinitializeWebView();
    ASSERT_TRUE(WaitCompletions(3));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Failed);
    Engine().Scenario().ControllerResult = S_OK;
    Browser->ReinitializeWebView();
    ASSERT_TRUE(WaitCompletions(4));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
}

// ---------------------------------------------------------------------------
// The failure table, row by row, with and without a completion handler
// ---------------------------------------------------------------------------

struct FailureRow {
    const char* Name;
    std::function<void(TScenario&)> Arrange;
    HRESULT Code;              // carried by the event and left in LastErrorCode
    TState State;              // after the attempt
    bool Event;                // OnCreateWebViewCompleted follows (when assigned)
    bool RaisedWithoutHandler; // EEdgeError reaches the error report without a handler
    bool ControllerRequested;
    bool ControllerKept; // a controller obtained before the failure stays
};

const HRESULT EnvironmentCode = static_cast<HRESULT>(0x80070490u);
const HRESULT ControllerCode = static_cast<HRESULT>(0x8007000Eu);

std::vector<FailureRow> FailureRows() {
    return {
        {"create-environment call returns a failure",
         [](TScenario& S) { S.CreateEnvironmentReturn = E_ACCESSDENIED; }, E_ACCESSDENIED, TState::Creating,
         true, false, false, false},
        {"environment completion reports a failure",
         [](TScenario& S) { S.EnvironmentResult = EnvironmentCode; }, EnvironmentCode, TState::Creating, true,
         false, false, false},
        {"environment completion from another thread reports a failure",
         [](TScenario& S) {
             S.EnvironmentResult = EnvironmentCode;
             S.EnvironmentDelivery = TDelivery::OtherThread;
         },
         EnvironmentCode, TState::Creating, true, false, false, false},
        {"environment of an engine library too old", [](TScenario& S) { S.EnvironmentTooOld = true; }, E_FAIL,
         TState::Creating, true, false, false, false},
        {"environment completion without an environment", [](TScenario& S) { S.EnvironmentNull = true; },
         E_FAIL, TState::Creating, true, false, false, false},
        {"controller request returns a failure",
         [](TScenario& S) { S.CreateControllerReturn = E_INVALIDARG; }, E_INVALIDARG, TState::Creating, false,
         false, true, false},
        {"controller completion reports a failure", [](TScenario& S) { S.ControllerResult = ControllerCode; },
         ControllerCode, TState::Failed, true, true, true, false},
        {"controller completion without a controller", [](TScenario& S) { S.ControllerNull = true; },
         E_NOINTERFACE, TState::Failed, true, true, true, false},
        {"controller of an engine library too old", [](TScenario& S) { S.ControllerTooOld = true; },
         E_NOINTERFACE, TState::Failed, true, true, true, false},
        {"view cannot be obtained",
         [](TScenario& S) { S.Results["Controller.get_CoreWebView2"] = E_UNEXPECTED; }, E_UNEXPECTED,
         TState::Failed, true, true, true, true},
        {"view of an engine library too old", [](TScenario& S) { S.ViewTooOld = true; }, E_NOINTERFACE,
         TState::Failed, true, true, true, true},
        {"settings cannot be obtained", [](TScenario& S) { S.Results["View.get_Settings"] = E_ACCESSDENIED; },
         E_ACCESSDENIED, TState::Failed, true, true, true, true},
        {"settings of an engine library too old", [](TScenario& S) { S.SettingsTooOld = true; },
         E_NOINTERFACE, TState::Failed, true, true, true, true},
    };
}

class FailureTableTest : public BrowserFixture, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureTableTest, WithACompletionHandler) {
    const FailureRow& row = GetParam();
    TScenario scenario;
    row.Arrange(scenario);
    Make(scenario);
    Attach();
    if (row.Event)
        ASSERT_TRUE(WaitCompletions(1));
    else
        ASSERT_TRUE(
            PumpUntil([] { return Engine().CountOf("Environment.CreateCoreWebView2Controller") == 1; }));
    Settle();

    EXPECT_EQ(Browser->LastErrorCode(), row.Code);
    EXPECT_EQ(Browser->BrowserControlState(), row.State);
    EXPECT_FALSE(Browser->WebViewCreated());
    ASSERT_EQ(Completions.size(), row.Event ? 1u : 0u);
    if (row.Event) {
        EXPECT_EQ(Completions[0].Code, row.Code);
        EXPECT_EQ(Completions[0].Thread, UiThread());
        EXPECT_EQ(Completions[0].State, row.State);
    }
    EXPECT_EQ(Engine().CountOf("Environment.CreateCoreWebView2Controller"),
              row.ControllerRequested ? 1u : 0u);
    EXPECT_EQ(Browser->ControllerInterface() != nullptr, row.ControllerKept);
    // No notification handler was added, nothing was raised.
    EXPECT_TRUE(Engine().CallNames("View.add_").empty());
    EXPECT_TRUE(Engine().CallNames("Controller.add_").empty());
    EXPECT_TRUE(ReportedErrors().empty());
    // The engine was always answered S_OK.
    for (const auto& call : Engine().Calls())
        if (call.Name.rfind("Handler.", 0) == 0) {
            EXPECT_EQ(call.Detail, "0x00000000") << call.Name;
        }

    if (row.ControllerKept) {
        TComPtr<TFakeController> controller(Engine().Controller());
        Browser->CloseWebView();
        EXPECT_TRUE(controller->Closed);
        EXPECT_EQ(Browser->ControllerInterface(), nullptr);
    }
}

TEST_P(FailureTableTest, WithoutACompletionHandler) {
    const FailureRow& row = GetParam();
    TScenario scenario;
    row.Arrange(scenario);
    Make(scenario, false);
    Attach();
    if (row.RaisedWithoutHandler)
        ASSERT_TRUE(PumpUntil([] { return !ReportedErrors().empty(); }));
    else
        ASSERT_TRUE(PumpUntil([&] { return Browser->LastErrorCode() == row.Code; }));
    Settle();
    EXPECT_EQ(Browser->LastErrorCode(), row.Code);
    EXPECT_EQ(Browser->BrowserControlState(), row.State);
    if (row.RaisedWithoutHandler) {
        ASSERT_EQ(ReportedErrors().size(), 1u);
        EXPECT_EQ(ReportedErrors()[0], "Failed to create Edge browser control");
    } else {
        EXPECT_TRUE(ReportedErrors().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTableTest, ::testing::ValuesIn(FailureRows()),
                         [](const ::testing::TestParamInfo<FailureRow>& Info) {
                             std::string name;
                             for (const char* p = Info.param.Name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(LifecycleTest, AnyOtherFailedCallIsRecordedAndReturnsNormally) {
    TScenario scenario;
    scenario.Results["View.Navigate"] = E_INVALIDARG;
    scenario.Results["Controller.put_ZoomFactor"] = E_ACCESSDENIED;
    Create(scenario);
    EXPECT_FALSE(Browser->Navigate("file:///index.html"));
    EXPECT_EQ(Browser->LastErrorCode(), E_INVALIDARG);
    Browser->SetZoomFactor(2.0);
    EXPECT_EQ(Browser->LastErrorCode(), E_ACCESSDENIED);
    Browser->Refresh();
    EXPECT_EQ(Browser->LastErrorCode(), S_OK); // the last call wins
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
}

TEST(EdgeErrorTest, CarriesItsMessageAndCode) {
    EEdgeError byText("Something", E_ACCESSDENIED);
    EXPECT_STREQ(byText.what(), "Something");
    EXPECT_EQ(byText.ErrorCode(), E_ACCESSDENIED);
    EEdgeError byResource = EEdgeError::CreateRes(Norvane::Shared::SWebViewNotInstantiated, E_FAIL);
    EXPECT_STREQ(byResource.what(), "WebView2 not instantiated");
    EXPECT_EQ(byResource.ErrorCode(), E_FAIL);
    EXPECT_EQ(Norvane::Shared::LoadResString(Norvane::Shared::SEdgeBrowserCreateFailed),
              "Failed to create Edge browser control");
    const Norvane::Shared::EOleSysError& base = byResource;
    EXPECT_EQ(base.ErrorCode(), E_FAIL);
}

// ---------------------------------------------------------------------------
// Registrations and their removal
// ---------------------------------------------------------------------------

TEST_F(LifecycleTest, RegistrationsAreAddedInOrderEvenUnassignedAndRemovedInTheClosingOrder) {
    Create(); // no event but OnCreateWebViewCompleted is assigned
    EXPECT_THAT(Engine().CallNames("View.add_"), ElementsAreArray(ViewAdds));
    EXPECT_THAT(Engine().CallNames("Controller.add_"), ElementsAreArray(ControllerAdds));
    EXPECT_LT(IndexOf("View.add_WindowCloseRequested"), IndexOf("Controller.add_ZoomFactorChanged"));
    TComPtr<TFakeView> view(Engine().View());
    TComPtr<TFakeController> controller(Engine().Controller());
    EXPECT_EQ(view->Registry.Total(), 16u);
    EXPECT_EQ(controller->Registry.Total(), 5u);

    Browser->CloseWebView();
    EXPECT_THAT(Engine().CallNames("View.remove_"), ElementsAreArray(ViewRemoves));
    EXPECT_THAT(Engine().CallNames("Controller.remove_"), ElementsAreArray(ControllerRemoves));
    // The view's removals come first, then the controller's, then Close.
    EXPECT_LT(IndexOf("View.remove_ContainsFullScreenElementChanged"),
              IndexOf("Controller.remove_AcceleratorKeyPressed"));
    EXPECT_LT(IndexOf("Controller.remove_ZoomFactorChanged"), IndexOf("Controller.Close"));
    // Each removal gives back the token of its own registration.
    for (const auto& add : Concat(ViewAdds, ControllerAdds)) {
        std::string remove = add;
        remove.replace(remove.find(".add_"), 5, ".remove_");
        EXPECT_EQ(DetailOf(remove), DetailOf(add)) << add;
    }
    EXPECT_EQ(view->Registry.Total(), 0u);
    EXPECT_EQ(controller->Registry.Total(), 0u);

    // A second close finds nothing to close.
    const auto before = Engine().Calls().size();
    Browser->CloseWebView();
    EXPECT_EQ(Engine().Calls().size(), before);
}

TEST_F(LifecycleTest, DestructionClosesTheView) {
    Create();
    TComPtr<TFakeView> view(Engine().View());
    TComPtr<TFakeController> controller(Engine().Controller());
    DestroyBrowser();
    EXPECT_THAT(Engine().CallNames("View.remove_"), ElementsAreArray(ViewRemoves));
    EXPECT_THAT(Engine().CallNames("Controller.remove_"), ElementsAreArray(ControllerRemoves));
    EXPECT_TRUE(controller->Closed);
    EXPECT_EQ(view->Registry.Total(), 0u);
    // Only the fake's and our references remain: the control released its own.
    EXPECT_EQ(RefCount(view.Get()), 2u);
    EXPECT_EQ(RefCount(controller.Get()), 2u);
}

TEST_F(LifecycleTest, ClosingAfterAFailedSettingsReadRemovesNothingThatWasNeverAdded) {
    TScenario scenario;
    scenario.Results["View.get_Settings"] = E_ACCESSDENIED;
    Make(scenario);
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    ASSERT_NE(Browser->DefaultInterface(), nullptr);
    Browser->CloseWebView();
    EXPECT_TRUE(Engine().CallNames("View.remove_").empty());
    EXPECT_TRUE(Engine().CallNames("Controller.remove_").empty());
    EXPECT_EQ(Engine().CountOf("Controller.Close"), 1u);
    EXPECT_EQ(Browser->DefaultInterface(), nullptr);
}

TEST_F(LifecycleTest, ClosingRemovesEveryDevToolsSubscriptionThroughItsReceiver) {
    Create();
    Browser->SubscribeToCDPEvent("Network.requestWillBeSent");
    Browser->SubscribeToCDPEvent("Page.loadEventFired");
    TComPtr<TFakeView> view(Engine().View());
    auto first = view->Receivers["Network.requestWillBeSent"];
    auto second = view->Receivers["Page.loadEventFired"];
    const INT64 firstToken = first->Registry.TokenOf("DevToolsProtocolEventReceived");
    const INT64 secondToken = second->Registry.TokenOf("DevToolsProtocolEventReceived");
    Engine().Reset(Engine().Scenario()); // forget the calls so far, keep the objects alive through ours
    Browser->CloseWebView();
    EXPECT_EQ(Engine().CountOf("View.GetDevToolsProtocolEventReceiver"), 2u);
    EXPECT_EQ(DetailOf("Receiver(Network.requestWillBeSent).remove_DevToolsProtocolEventReceived"),
              std::to_string(firstToken));
    EXPECT_EQ(DetailOf("Receiver(Page.loadEventFired).remove_DevToolsProtocolEventReceived"),
              std::to_string(secondToken));
    EXPECT_EQ(first->Registry.Total(), 0u);
    EXPECT_EQ(second->Registry.Total(), 0u);
}

// ---------------------------------------------------------------------------
// Window re-creation
// ---------------------------------------------------------------------------

class ProbeBrowser : public TEdgeBrowser {
public:
    using TEdgeBrowser::TEdgeBrowser;
    void RunCreateWnd() { CreateWnd(); }
};

TEST_F(LifecycleTest, WindowCreationKeepsAViewThatStillSitsInTheHandleAndRebuildsOneThatDoesNot) {
    Make();
    delete Browser;
    auto* probe = new ProbeBrowser(Form);
    Browser = probe;
    probe->SetBounds(0, 0, 800, 600);
    probe->OnCreateWebViewCompleted = [this](TCustomEdgeBrowser*, HRESULT Code) {
        Completions.push_back({Code, std::this_thread::get_id(), TState::Created, true, 0});
    };
    Attach();
    ASSERT_TRUE(WaitCompletions(1));

    // Showing the form creates the native window: the view is in place.
    Form->Show();
    ASSERT_TRUE(PumpUntil([] { return Engine().CountOf("Controller.get_ParentWindow") >= 1; }));
    Settle();
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 1u);

    // A controller whose parent window is gone: the view is rebuilt.
    Engine().Controller()->ParentWindow = nullptr;
    probe->RunCreateWnd();
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 2u);
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_TRUE(Browser->WebViewCreated());
    Form->Hide();
}

// ---------------------------------------------------------------------------
// Late completions
// ---------------------------------------------------------------------------

TEST_F(LifecycleTest, AControllerCompletionAfterDestructionReachesNothing) {
    TScenario scenario;
    scenario.ControllerDelivery = TDelivery::Manual;
    Make(scenario);
    auto raised = std::make_shared<int>(0);
    Browser->OnCreateWebViewCompleted = [raised](TCustomEdgeBrowser*, HRESULT) { ++*raised; };
    Attach();
    ASSERT_TRUE(PumpUntil([] { return Engine().CountOf("Environment.CreateCoreWebView2Controller") == 1; }));
    DestroyBrowser();
    ASSERT_TRUE(Engine().CompleteController());
    Settle();
    EXPECT_EQ(*raised, 0);
    EXPECT_EQ(DetailOf("Handler.ControllerCompleted"), "0x00000000");
    EXPECT_TRUE(Engine().CallNames("View.add_").empty());
    EXPECT_EQ(Engine().CountOf("Controller.get_CoreWebView2"), 0u);
}

TEST_F(LifecycleTest, AnEnvironmentCompletionAfterDestructionReachesNothing) {
    TScenario scenario;
    scenario.EnvironmentDelivery = TDelivery::Manual;
    Make(scenario);
    auto raised = std::make_shared<int>(0);
    Browser->OnCreateWebViewCompleted = [raised](TCustomEdgeBrowser*, HRESULT) { ++*raised; };
    Attach();
    ASSERT_TRUE(PumpUntil([] { return Engine().CountOf("Loader.CreateCoreWebView2Environment") == 1; }));
    DestroyBrowser();
    ASSERT_TRUE(Engine().CompleteEnvironment());
    Settle();
    EXPECT_EQ(*raised, 0);
    EXPECT_EQ(Engine().CountOf("Environment.CreateCoreWebView2Controller"), 0u);
    EXPECT_EQ(DetailOf("Handler.EnvironmentCompleted"), "0x00000000");
}

TEST_F(LifecycleTest, ScriptAndCaptureCompletionsAfterDestructionReachNothing) {
    Create();
    auto raised = std::make_shared<int>(0);
    Browser->OnExecuteScript = [raised](TCustomEdgeBrowser*, HRESULT, const std::string&) { ++*raised; };
    Browser->OnCapturePreviewCompleted = [raised](TCustomEdgeBrowser*, HRESULT) { ++*raised; };
    Browser->ExecuteScript("1 + 1");
    Norvane::Shared::TMemoryStream stream;
    Browser->CapturePreview(stream);
    ASSERT_EQ(Engine().PendingScripts(), 1u);
    ASSERT_EQ(Engine().PendingCaptures(), 1u);
    DestroyBrowser();
    ASSERT_TRUE(Engine().CompleteScript(0, S_OK, "2"));
    ASSERT_TRUE(Engine().CompleteCapture(0, S_OK));
    EXPECT_EQ(*raised, 0);
    EXPECT_EQ(DetailOf("Handler.ExecuteScriptCompleted"), "0x00000000");
    EXPECT_EQ(DetailOf("Handler.CapturePreviewCompleted"), "0x00000000");
}

TEST_F(LifecycleTest, DestroyingWhileTheCreationIsUnderWayIsSafe) {
    // The worker, the environment completion and the hand-over race the
    // destruction; whatever arrives late finds the control gone.
    for (TDelivery delivery : {TDelivery::Immediate, TDelivery::OtherThread, TDelivery::UiIdle}) {
        for (int round = 0; round < 10; ++round) {
            TScenario scenario;
            scenario.EnvironmentDelivery = delivery;
            scenario.ControllerDelivery = round % 2 ? TDelivery::UiIdle : TDelivery::Immediate;
            Make(scenario);
            auto raised = std::make_shared<int>(0);
            Browser->OnCreateWebViewCompleted = [raised](TCustomEdgeBrowser*, HRESULT) { ++*raised; };
            Attach();
            if (round % 3 == 1)
                Norvane::Platform::Ui::Application().ProcessMessages();
            const int atDestruction = *raised;
            DestroyBrowser();
            Settle();
            EXPECT_EQ(*raised, atDestruction);
            // A controller made for the gone control is never kept by it.
            if (auto* controller = Engine().Controller()) {
                EXPECT_EQ(controller->Registry.Total(), 0u);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    return RunTests(argc, argv);
}
