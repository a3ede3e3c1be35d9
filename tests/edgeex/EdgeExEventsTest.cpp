// The browser control's events, their argument objects, and the operations on
// the page: navigation, scripts, filters, capture, DevTools subscriptions and
// the read-only properties.
#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

using namespace Norvane::Testing::EdgeEx;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Shared::TOleEnum;
using ::testing::ElementsAre;

namespace {

using EventsTest = BrowserFixture;

// ---------------------------------------------------------------------------
// Events and their arguments
// ---------------------------------------------------------------------------

TEST_F(EventsTest, AnUnassignedEventReadsNothingAndAnswersSOk) {
    Create();
    TComPtr<TFakeView> view(Engine().View());
    TComPtr<TFakeController> controller(Engine().Controller());
    Engine().Reset(Engine().Scenario()); // forget the creation's calls

    auto navigationStarting = MakeComObject<TFakeNavigationStartingArgs>();
    auto contentLoading = MakeComObject<TFakeContentLoadingArgs>();
    auto sourceChanged = MakeComObject<TFakeSourceChangedArgs>();
    auto navigationCompleted = MakeComObject<TFakeNavigationCompletedArgs>();
    auto dialog = MakeComObject<TFakeScriptDialogOpeningArgs>();
    auto permission = MakeComObject<TFakePermissionRequestedArgs>();
    auto processFailed = MakeComObject<TFakeProcessFailedArgs>();
    auto message = MakeComObject<TFakeWebMessageReceivedArgs>();
    auto newWindow = MakeComObject<TFakeNewWindowRequestedArgs>();
    auto resource = MakeComObject<TFakeWebResourceRequestedArgs>();
    std::vector<HRESULT> answers;
    auto collect = [&](std::vector<HRESULT> Results) {
        ASSERT_EQ(Results.size(), 1u); // one registration per notification
        answers.push_back(Results[0]);
    };
    collect(view->Fire<ICoreWebView2NavigationStartingEventHandler>("NavigationStarting",
                                                                    navigationStarting.Get()));
    collect(view->Fire<ICoreWebView2NavigationStartingEventHandler>("FrameNavigationStarting",
                                                                    navigationStarting.Get()));
    collect(view->Fire<ICoreWebView2NavigationCompletedEventHandler>("NavigationCompleted",
                                                                     navigationCompleted.Get()));
    collect(view->Fire<ICoreWebView2NavigationCompletedEventHandler>("FrameNavigationCompleted",
                                                                     navigationCompleted.Get()));
    collect(view->Fire<ICoreWebView2SourceChangedEventHandler>("SourceChanged", sourceChanged.Get()));
    collect(view->Fire<ICoreWebView2HistoryChangedEventHandler, IUnknown>("HistoryChanged", nullptr));
    collect(view->Fire<ICoreWebView2ContentLoadingEventHandler>("ContentLoading", contentLoading.Get()));
    collect(
        view->Fire<ICoreWebView2DocumentTitleChangedEventHandler, IUnknown>("DocumentTitleChanged", nullptr));
    collect(view->Fire<ICoreWebView2NewWindowRequestedEventHandler>("NewWindowRequested", newWindow.Get()));
    collect(
        view->Fire<ICoreWebView2WebResourceRequestedEventHandler>("WebResourceRequested", resource.Get()));
    collect(view->Fire<ICoreWebView2ScriptDialogOpeningEventHandler>("ScriptDialogOpening", dialog.Get()));
    collect(
        view->Fire<ICoreWebView2PermissionRequestedEventHandler>("PermissionRequested", permission.Get()));
    collect(view->Fire<ICoreWebView2ProcessFailedEventHandler>("ProcessFailed", processFailed.Get()));
    collect(view->Fire<ICoreWebView2WebMessageReceivedEventHandler>("WebMessageReceived", message.Get()));
    collect(view->Fire<ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown>(
        "ContainsFullScreenElementChanged", nullptr));
    collect(
        view->Fire<ICoreWebView2WindowCloseRequestedEventHandler, IUnknown>("WindowCloseRequested", nullptr));
    collect(
        controller->Fire<ICoreWebView2ZoomFactorChangedEventHandler, IUnknown>("ZoomFactorChanged", nullptr));
    for (HRESULT answer : answers)
        EXPECT_EQ(answer, S_OK);
    EXPECT_EQ(answers.size(), 17u);
    EXPECT_TRUE(Engine().Calls().empty()) << Engine().Calls().front().Name;
}

// Every wrapped argument class: the object carries the engine's arguments for
// the time of the handler (taking a reference) and is gone after it, also when
// the handler raises; what the handler sets is what the engine sees.
TEST_F(EventsTest, ArgumentObjectsHoldTheEngineArgumentsOnlyForTheHandlerEvenWhenItRaises) {
    Create();
    TComPtr<TFakeView> view(Engine().View());

    auto check = [&](auto& Member, const char* Notification, auto* FakeArgs, auto Answer, auto FireFn) {
        SCOPED_TRACE(Notification);
        const ULONG baseline = RefCount(FakeArgs);
        ULONG during = 0;
        const void* seen = nullptr;
        bool raise = false;
        Member = [&](TCustomEdgeBrowser* Sender, auto* Wrapped) {
            EXPECT_EQ(Sender, Browser);
            EXPECT_EQ(std::this_thread::get_id(), UiThread());
            seen = Wrapped->ArgsInterface();
            during = RefCount(FakeArgs);
            Answer(Wrapped->ArgsInterface());
            if (raise)
                throw std::runtime_error(std::string("handler of ") + Notification + " failed");
        };
        std::vector<HRESULT> results = FireFn();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0], S_OK);
        EXPECT_EQ(seen, static_cast<const void*>(FakeArgs));
        EXPECT_EQ(during, baseline + 1);
        EXPECT_EQ(RefCount(FakeArgs), baseline);

        raise = true;
        ReportedErrors().clear();
        results = FireFn();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0], S_OK); // the failure does not reach the engine
        EXPECT_EQ(RefCount(FakeArgs), baseline);
        EXPECT_THAT(ReportedErrors(), ElementsAre(std::string("handler of ") + Notification + " failed"));
        Member = nullptr;
    };

    auto starting = MakeComObject<TFakeNavigationStartingArgs>();
    check(
        Browser->OnNavigationStarting, "NavigationStarting", starting.Get(),
        [](ICoreWebView2NavigationStartingEventArgs* A) { A->put_Cancel(TRUE_VALUE); },
        [&] {
            return view->Fire<ICoreWebView2NavigationStartingEventHandler>("NavigationStarting",
                                                                           starting.Get());
        });
    EXPECT_EQ(starting->Cancel, TRUE_VALUE);

    // A frame navigation uses the same argument class as the top-level one.
    auto frame = MakeComObject<TFakeNavigationStartingArgs>();
    check(
        Browser->OnFrameNavigationStarting, "FrameNavigationStarting", frame.Get(),
        [](ICoreWebView2NavigationStartingEventArgs* A) { A->put_Cancel(TRUE_VALUE); },
        [&] {
            return view->Fire<ICoreWebView2NavigationStartingEventHandler>("FrameNavigationStarting",
                                                                           frame.Get());
        });
    EXPECT_EQ(frame->Cancel, TRUE_VALUE);

    auto newWindow = MakeComObject<TFakeNewWindowRequestedArgs>();
    check(
        Browser->OnNewWindowRequested, "NewWindowRequested", newWindow.Get(),
        [](ICoreWebView2NewWindowRequestedEventArgs* A) { A->put_Handled(TRUE_VALUE); },
        [&] {
            return view->Fire<ICoreWebView2NewWindowRequestedEventHandler>("NewWindowRequested",
                                                                           newWindow.Get());
        });
    EXPECT_EQ(newWindow->Handled, TRUE_VALUE);

    auto permission = MakeComObject<TFakePermissionRequestedArgs>();
    check(
        Browser->OnPermissionRequested, "PermissionRequested", permission.Get(),
        [](ICoreWebView2PermissionRequestedEventArgs* A) {
            A->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
        },
        [&] {
            return view->Fire<ICoreWebView2PermissionRequestedEventHandler>("PermissionRequested",
                                                                            permission.Get());
        });
    EXPECT_EQ(permission->State, COREWEBVIEW2_PERMISSION_STATE_ALLOW);

    auto dialog = MakeComObject<TFakeScriptDialogOpeningArgs>();
    check(
        Browser->OnScriptDialogOpening, "ScriptDialogOpening", dialog.Get(),
        [](ICoreWebView2ScriptDialogOpeningEventArgs* A) { A->Accept(); },
        [&] {
            return view->Fire<ICoreWebView2ScriptDialogOpeningEventHandler>("ScriptDialogOpening",
                                                                            dialog.Get());
        });
    EXPECT_EQ(Engine().CountOf("ScriptDialogOpeningArgs.Accept"), 2u);

    auto message = MakeComObject<TFakeWebMessageReceivedArgs>();
    message->Json = "{\"id\":30001}";
    std::string json;
    check(
        Browser->OnWebMessageReceived, "WebMessageReceived", message.Get(),
        [&](ICoreWebView2WebMessageReceivedEventArgs* A) {
            char* text = nullptr;
            A->get_WebMessageAsJson(&text);
            json = text ? text : "";
            Engine().FreeText(text);
        },
        [&] {
            return view->Fire<ICoreWebView2WebMessageReceivedEventHandler>("WebMessageReceived",
                                                                           message.Get());
        });
    EXPECT_EQ(json, "{\"id\":30001}");

    auto resource = MakeComObject<TFakeWebResourceRequestedArgs>();
    check(
        Browser->OnWebResourceRequested, "WebResourceRequested", resource.Get(),
        [](ICoreWebView2WebResourceRequestedEventArgs* A) {
            ICoreWebView2WebResourceRequest* request = nullptr;
            A->get_Request(&request);
        },
        [&] {
            return view->Fire<ICoreWebView2WebResourceRequestedEventHandler>("WebResourceRequested",
                                                                             resource.Get());
        });
    EXPECT_EQ(Engine().CountOf("WebResourceRequestedArgs.get_Request"), 2u);
}

TEST_F(EventsTest, EventsCarryTheValuesReadFromTheEngine) {
    Create();
    TComPtr<TFakeView> view(Engine().View());
    TComPtr<TFakeController> controller(Engine().Controller());

    std::vector<std::string> seen;
    Browser->OnContentLoading = [&](TCustomEdgeBrowser*, bool IsErrorPage, Norvane::Shared::TUInt64 Id) {
        seen.push_back("loading " + std::to_string(IsErrorPage) + " " + std::to_string(Id));
    };
    Browser->OnNavigationCompleted = [&](TCustomEdgeBrowser*, bool IsSuccess, TOleEnum Status) {
        seen.push_back("completed " + std::to_string(IsSuccess) + " " + std::to_string(Status));
    };
    Browser->OnFrameNavigationCompleted = [&](TCustomEdgeBrowser*, bool IsSuccess, TOleEnum Status) {
        seen.push_back("frame completed " + std::to_string(IsSuccess) + " " + std::to_string(Status));
    };
    Browser->OnSourceChanged = [&](TCustomEdgeBrowser*, bool IsNew) {
        seen.push_back("source " + std::to_string(IsNew));
    };
    Browser->OnProcessFailed = [&](TCustomEdgeBrowser*, TOleEnum Kind) {
        seen.push_back("failed " + std::to_string(Kind));
    };
    Browser->OnHistoryChanged = [&](TCustomEdgeBrowser*) { seen.push_back("history"); };
    Browser->OnDocumentTitleChanged = [&](TCustomEdgeBrowser*, const std::string& Title) {
        seen.push_back("title [" + Title + "]");
    };
    Browser->OnZoomFactorChanged = [&](TCustomEdgeBrowser*, double Zoom) {
        seen.push_back("zoom " + std::to_string(Zoom));
    };
    Browser->OnContainsFullScreenElementChanged = [&](TCustomEdgeBrowser*, bool FullScreen) {
        seen.push_back("fullscreen " + std::to_string(FullScreen));
    };

    auto loading = MakeComObject<TFakeContentLoadingArgs>();
    loading->IsErrorPage = 5; // any non-zero value is true
    loading->NavigationId = 0x1234567890ull;
    view->Fire<ICoreWebView2ContentLoadingEventHandler>("ContentLoading", loading.Get());
    auto completed = MakeComObject<TFakeNavigationCompletedArgs>();
    completed->IsSuccess = 0;
    completed->Status = COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE;
    view->Fire<ICoreWebView2NavigationCompletedEventHandler>("NavigationCompleted", completed.Get());
    completed->IsSuccess = 1;
    completed->Status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    view->Fire<ICoreWebView2NavigationCompletedEventHandler>("FrameNavigationCompleted", completed.Get());
    auto source = MakeComObject<TFakeSourceChangedArgs>();
    source->IsNewDocument = 1;
    view->Fire<ICoreWebView2SourceChangedEventHandler>("SourceChanged", source.Get());
    auto failed = MakeComObject<TFakeProcessFailedArgs>();
    failed->Kind = COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE;
    view->Fire<ICoreWebView2ProcessFailedEventHandler>("ProcessFailed", failed.Get());
    view->Fire<ICoreWebView2HistoryChangedEventHandler, IUnknown>("HistoryChanged", nullptr);
    view->Title = "Hello";
    view->Fire<ICoreWebView2DocumentTitleChangedEventHandler, IUnknown>("DocumentTitleChanged", nullptr);
    view->Title = "";
    view->Fire<ICoreWebView2DocumentTitleChangedEventHandler, IUnknown>("DocumentTitleChanged", nullptr);
    controller->Zoom = 1.25;
    controller->Fire<ICoreWebView2ZoomFactorChangedEventHandler, IUnknown>("ZoomFactorChanged", nullptr);
    view->FullScreen = 1;
    view->Fire<ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown>(
        "ContainsFullScreenElementChanged", nullptr);

    EXPECT_THAT(seen, ElementsAre("loading 1 78187493520", "completed 0 6", "frame completed 1 0", "source 1",
                                  "failed 2", "history", "title [Hello]", "title []", "zoom 1.250000",
                                  "fullscreen 1"));
    EXPECT_EQ(Engine().TextsOutstanding(), 0); // the titles were freed
}

TEST_F(EventsTest, FailedReadsGiveZeroValuesExceptForFullScreenWhichIsSuppressed) {
    TScenario scenario;
    scenario.Results["ContentLoadingArgs.get_IsErrorPage"] = E_FAIL;
    scenario.Results["ContentLoadingArgs.get_NavigationId"] = E_FAIL;
    scenario.Results["View.get_ContainsFullScreenElement"] = E_ACCESSDENIED;
    Create(scenario);
    TComPtr<TFakeView> view(Engine().View());
    std::vector<std::string> seen;
    Browser->OnContentLoading = [&](TCustomEdgeBrowser*, bool IsErrorPage, Norvane::Shared::TUInt64 Id) {
        seen.push_back("loading " + std::to_string(IsErrorPage) + " " + std::to_string(Id));
    };
    Browser->OnContainsFullScreenElementChanged = [&](TCustomEdgeBrowser*, bool) {
        seen.push_back("fullscreen");
    };
    auto loading = MakeComObject<TFakeContentLoadingArgs>();
    loading->IsErrorPage = 1;
    loading->NavigationId = 9;
    view->Fire<ICoreWebView2ContentLoadingEventHandler>("ContentLoading", loading.Get());
    view->FullScreen = 1;
    auto answers = view->Fire<ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown>(
        "ContainsFullScreenElementChanged", nullptr);
    EXPECT_THAT(seen, ElementsAre("loading 0 0"));
    EXPECT_THAT(answers, ElementsAre(S_OK));
    EXPECT_EQ(Browser->LastErrorCode(), E_ACCESSDENIED);
}

TEST_F(EventsTest, WindowCloseRequestedRaisesItsEventAndClosesNothing) {
    Create();
    TComPtr<TFakeView> view(Engine().View());
    int raised = 0;
    Browser->OnWindowCloseRequested = [&](Norvane::Platform::Ui::TObject* Sender) {
        EXPECT_EQ(Sender, Browser);
        ++raised;
    };
    const auto before = Engine().Calls().size();
    view->Fire<ICoreWebView2WindowCloseRequestedEventHandler, IUnknown>("WindowCloseRequested", nullptr);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(Engine().Calls().size(), before);
    EXPECT_TRUE(Browser->WebViewCreated());
}

TEST_F(EventsTest, AHandlerMayFreeTheControlFromItsEvent) {
    Create();
    TComPtr<TFakeView> view(Engine().View());
    Browser->OnWindowCloseRequested = [&](Norvane::Platform::Ui::TObject*) { DestroyBrowser(); };
    auto answers =
        view->Fire<ICoreWebView2WindowCloseRequestedEventHandler, IUnknown>("WindowCloseRequested", nullptr);
    EXPECT_THAT(answers, ElementsAre(S_OK));
    EXPECT_EQ(Browser, nullptr);
    EXPECT_EQ(view->Registry.Total(), 0u);
}

// ---------------------------------------------------------------------------
// Navigation
// ---------------------------------------------------------------------------

TEST_F(EventsTest, NavigateBeforeCreationIsRememberedAndFollowsTheCompletionOnce) {
    Make();
    EXPECT_TRUE(Browser->Navigate("  file:///index.html "));
    EXPECT_EQ(Browser->LastURL(), "  file:///index.html "); // stored with its blanks
    EXPECT_FALSE(Browser->Navigate(" \t\r\n "));            // only blanks: unchanged
    EXPECT_EQ(Browser->LastURL(), "  file:///index.html ");
    EXPECT_EQ(Engine().Calls().size(), 0u);

    std::size_t navigationsAtCompletion = 99;
    Browser->OnCreateWebViewCompleted = [&](TCustomEdgeBrowser*, HRESULT Code) {
        navigationsAtCompletion = Engine().CountOf("View.Navigate");
        Completions.push_back({Code, std::this_thread::get_id(), TState::Created, true, 0});
    };
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    Settle();
    EXPECT_EQ(navigationsAtCompletion, 0u);
    auto navigations = Engine().CallsNamed("View.Navigate");
    ASSERT_EQ(navigations.size(), 1u);
    EXPECT_EQ(navigations[0].Detail, "  file:///index.html ");
    // After the handlers are in place and the view is sized.
    std::vector<std::string> names;
    for (const auto& name : Engine().CallNames())
        if (name != "Handler.EnvironmentCompleted") // recorded by the worker whenever it gets there
            names.push_back(name);
    EXPECT_EQ(names[names.size() - 2], "View.Navigate");
    EXPECT_EQ(names[names.size() - 3], "Controller.put_Bounds");

    // LastURL is kept: a re-initialisation navigates to it again.
    Browser->ReinitializeWebView();
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Engine().CountOf("View.Navigate"), 2u);
}

TEST_F(EventsTest, AHandlerThatNavigatesItselfCausesNoSecondNavigation) {
    Make();
    Browser->OnCreateWebViewCompleted = [&](TCustomEdgeBrowser* Sender, HRESULT Code) {
        Sender->Navigate("file:///start.html");
        Completions.push_back({Code, std::this_thread::get_id(), TState::Created, true, 0});
    };
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    Settle();
    EXPECT_TRUE(Browser->LastURL().empty());
    auto navigations = Engine().CallsNamed("View.Navigate");
    ASSERT_EQ(navigations.size(), 1u);
    EXPECT_EQ(navigations[0].Detail, "file:///start.html");
}

TEST_F(EventsTest, OperationsWithoutAViewDoNothing) {
    Make();
    int scripts = 0;
    Browser->OnExecuteScript = [&](TCustomEdgeBrowser*, HRESULT, const std::string&) { ++scripts; };
    EXPECT_FALSE(Browser->NavigateToString("<p>x</p>"));
    Browser->GoBack();
    Browser->GoForward();
    Browser->Refresh();
    Browser->Stop();
    Browser->ExecuteScript("1");
    Browser->AddWebResourceRequestedFilter("*", 0);
    Browser->RemoveWebResourceRequestedFilter("*", 0);
    Browser->SubscribeToCDPEvent("Page.loadEventFired");
    Norvane::Shared::TMemoryStream stream;
    Browser->CapturePreview(stream);
    EXPECT_FALSE(Browser->CanGoBack());
    EXPECT_FALSE(Browser->CanGoForward());
    EXPECT_EQ(Browser->DocumentTitle(), "");
    EXPECT_EQ(Browser->LocationURL(), "");
    EXPECT_EQ(Browser->BrowserProcessID(), 0u);
    EXPECT_FALSE(Browser->ContainsFullScreenElement());
    EXPECT_EQ(Browser->ZoomFactor(), 0.0);
    Browser->SetZoomFactor(2.0);
    Settle();
    EXPECT_EQ(scripts, 0);
    EXPECT_TRUE(Engine().Calls().empty());
    EXPECT_EQ(Browser->LastErrorCode(), S_OK);
}

TEST_F(EventsTest, OperationsWithAViewForwardAndRecord) {
    TScenario scenario;
    scenario.Results["View.Stop"] = E_ABORT;
    Create(scenario);
    Engine().Reset(Engine().Scenario());
    EXPECT_TRUE(Browser->Navigate("file:///a.html"));
    EXPECT_TRUE(Browser->NavigateToString("<p>x</p>"));
    Browser->GoBack();
    Browser->GoForward();
    Browser->Refresh();
    Browser->AddWebResourceRequestedFilter("*", 0);
    Browser->RemoveWebResourceRequestedFilter("file:///*", 6);
    Browser->SetZoomFactor(1.5);
    EXPECT_EQ(Browser->LastErrorCode(), S_OK);
    Browser->Stop();
    EXPECT_EQ(Browser->LastErrorCode(), E_ABORT);
    EXPECT_THAT(Engine().CallNames(),
                ElementsAre("View.Navigate", "View.NavigateToString", "View.GoBack", "View.GoForward",
                            "View.Reload", "View.AddWebResourceRequestedFilter",
                            "View.RemoveWebResourceRequestedFilter", "Controller.put_ZoomFactor",
                            "View.Stop"));
    EXPECT_EQ(Engine().CallsNamed("View.AddWebResourceRequestedFilter")[0].Detail, "*,0");
    EXPECT_EQ(Engine().CallsNamed("View.RemoveWebResourceRequestedFilter")[0].Detail, "file:///*,6");
    EXPECT_EQ(Engine().CallsNamed("Controller.put_ZoomFactor")[0].Detail, "1.5");
}

TEST_F(EventsTest, ReadOnlyPropertiesReadTheViewAndFreeItsTexts) {
    Create();
    TFakeView* view = Engine().View();
    view->Source = "ABOUT:Blank";
    EXPECT_EQ(Browser->LocationURL(), "");
    view->Source = "file:///index.html";
    EXPECT_EQ(Browser->LocationURL(), "file:///index.html");
    view->Title = "Title";
    EXPECT_EQ(Browser->DocumentTitle(), "Title");
    view->CanGoBackValue = 1;
    view->CanGoForwardValue = 0;
    EXPECT_TRUE(Browser->CanGoBack());
    EXPECT_FALSE(Browser->CanGoForward());
    view->ProcessId = 4321;
    EXPECT_EQ(Browser->BrowserProcessID(), 4321u);
    view->FullScreen = 1;
    EXPECT_TRUE(Browser->ContainsFullScreenElement());
    Engine().Controller()->Zoom = 0.75;
    EXPECT_EQ(Browser->ZoomFactor(), 0.75);
    EXPECT_EQ(Browser->BrowserVersionInfo(), "118.0.fake-environment"); // the environment's, with a view
    EXPECT_EQ(Engine().TextsOutstanding(), 0);
}

TEST_F(EventsTest, FailedReadsGiveFalseOrEmptyEvenWhenTheEngineLeftAValue) {
    TScenario scenario;
    scenario.WriteValuesOnFailure = true;
    for (const char* name :
         {"View.get_CanGoBack", "View.get_CanGoForward", "View.get_Source", "View.get_DocumentTitle",
          "View.get_ContainsFullScreenElement", "Environment.get_BrowserVersionString"})
        scenario.Results[name] = E_ACCESSDENIED;
    Create(scenario);
    TFakeView* view = Engine().View();
    view->CanGoBackValue = 1;
    view->CanGoForwardValue = 1;
    view->FullScreen = 1;
    view->Source = "file:///index.html";
    view->Title = "Title";
    EXPECT_FALSE(Browser->CanGoBack());
    EXPECT_FALSE(Browser->CanGoForward());
    EXPECT_FALSE(Browser->ContainsFullScreenElement());
    EXPECT_EQ(Browser->LocationURL(), "");
    EXPECT_EQ(Browser->DocumentTitle(), "");
    EXPECT_EQ(Browser->BrowserVersionInfo(), "");
    EXPECT_EQ(Browser->LastErrorCode(), E_ACCESSDENIED);
    EXPECT_EQ(Engine().TextsOutstanding(), 0); // texts given with a failure are freed too
}

TEST_F(EventsTest, BrowserVersionBeforeCreationComesFromTheLoaderLibrary) {
    TScenario scenario;
    scenario.BrowserVersion = "121.0.7";
    Make(scenario);
    EXPECT_EQ(Browser->BrowserVersionInfo(), "121.0.7");
    auto calls = Engine().CallsNamed("Loader.GetCoreWebView2BrowserVersionString");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Detail, "(null)"); // no browser folder
    EXPECT_EQ(Engine().TextsOutstanding(), 0);

    Engine().Scenario().Results["Loader.GetCoreWebView2BrowserVersionString"] = E_UNEXPECTED;
    EXPECT_EQ(Browser->BrowserVersionInfo(), "");
    EXPECT_EQ(Browser->LastErrorCode(), E_UNEXPECTED);
}

// ---------------------------------------------------------------------------
// Scripts
// ---------------------------------------------------------------------------

TEST_F(EventsTest, EachScriptHasItsOwnCompletionWithTheResultAsJson) {
    Create();
    std::vector<std::string> seen;
    Browser->OnExecuteScript = [&](TCustomEdgeBrowser* Sender, HRESULT Code, const std::string& Json) {
        EXPECT_EQ(Sender, Browser);
        EXPECT_EQ(std::this_thread::get_id(), UiThread());
        seen.push_back(std::to_string(Code) + " " + Json);
    };
    Browser->ExecuteScript("qvx.events.onCloseQuery();");
    Browser->ExecuteScript("({a: [1, \"two\"]})");
    auto scripts = Engine().CallsNamed("View.ExecuteScript");
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0].Detail, "qvx.events.onCloseQuery();"); // passed unchanged
    ASSERT_EQ(Engine().PendingScripts(), 2u);
    ASSERT_TRUE(Engine().CompleteScript(1, S_OK, "{\"a\":[1,\"two\"]}"));
    ASSERT_TRUE(Engine().CompleteScript(0, E_FAIL, nullptr));
    EXPECT_THAT(seen, ElementsAre("0 {\"a\":[1,\"two\"]}", std::to_string(E_FAIL) + " "));
}

TEST_F(EventsTest, TheScriptCallsOwnResultIsNotRecorded) {
    TScenario scenario;
    scenario.Results["View.ExecuteScript"] = E_ACCESSDENIED;
    Create(scenario);
    Browser->Refresh();
    Browser->ExecuteScript("1");
    EXPECT_EQ(Engine().CountOf("View.ExecuteScript"), 1u);
    EXPECT_EQ(Browser->LastErrorCode(), S_OK);
}

// ---------------------------------------------------------------------------
// Capture
// ---------------------------------------------------------------------------

TEST_F(EventsTest, CaptureIntoAStreamStartsAtItsBeginning) {
    Create();
    std::vector<HRESULT> completions;
    Browser->OnCapturePreviewCompleted = [&](TCustomEdgeBrowser*, HRESULT Code) {
        completions.push_back(Code);
    };
    Norvane::Shared::TMemoryStream stream;
    const std::string old = "0123456789ABCDEF";
    stream.Write(old.data(), static_cast<std::int64_t>(old.size())); // position at the end
    Browser->CapturePreview(stream, TCustomEdgeBrowser::TPreviewFormat::JPEG);
    EXPECT_EQ(Engine().CallsNamed("View.CapturePreview")[0].Detail, "1");
    ASSERT_TRUE(Engine().CompleteCapture(0, S_OK));
    EXPECT_EQ(stream.AsString().substr(0, 9), "FAKE-JPEG");
    EXPECT_THAT(completions, ElementsAre(S_OK));

    Browser->CapturePreview(stream); // PNG by default
    EXPECT_EQ(Engine().CallsNamed("View.CapturePreview")[1].Detail, "0");
    ASSERT_TRUE(Engine().CompleteCapture(1, E_ABORT));
    EXPECT_THAT(completions, ElementsAre(S_OK, E_ABORT));
}

TEST_F(EventsTest, CaptureIntoAFileCreatesOrTruncatesIt) {
    Create();
    Norvane::Testing::TempDir dir;
    const std::string path = dir / "preview.png";
    Norvane::Testing::WriteFile(path, std::string(100, 'x'));
    int completed = 0;
    Browser->OnCapturePreviewCompleted = [&](TCustomEdgeBrowser*, HRESULT Code) {
        EXPECT_EQ(Code, S_OK);
        ++completed;
    };
    Browser->CapturePreview(path, TCustomEdgeBrowser::TPreviewFormat::PNG);
    ASSERT_TRUE(Engine().CompleteCapture(0, S_OK)); // the engine writes into the file it still holds
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(Norvane::Testing::ReadFile(path), "FAKE-PNG");
}

TEST_F(EventsTest, ACaptureFileThatCannotBeOpenedIsRecordedAndRaisesNoEvent) {
    Create();
    Norvane::Testing::TempDir dir;
    int completed = 0;
    Browser->OnCapturePreviewCompleted = [&](TCustomEdgeBrowser*, HRESULT) { ++completed; };
    Browser->CapturePreview(dir / "missing-folder/preview.png");
    EXPECT_LT(Browser->LastErrorCode(), 0);
    EXPECT_EQ(Engine().CountOf("View.CapturePreview"), 0u);
    EXPECT_EQ(Engine().PendingCaptures(), 0u);
    EXPECT_EQ(completed, 0);
}

// ---------------------------------------------------------------------------
// DevTools protocol events
// ---------------------------------------------------------------------------

TEST_F(EventsTest, DevToolsSubscriptionsRaiseTheirEventAndKeepOneRegistrationPerName) {
    Create();
    std::vector<std::string> seen;
    Browser->OnDevToolsProtocolEventReceived = [&](TCustomEdgeBrowser*, const std::string& Name,
                                                   const std::string& Json) {
        seen.push_back(Name + " " + Json);
    };
    Browser->SubscribeToCDPEvent("Network.requestWillBeSent");
    Browser->SubscribeToCDPEvent("Network.requestWillBeSent");
    TComPtr<TFakeReceiver> receiver(Engine().View()->Receivers["Network.requestWillBeSent"].Get());
    EXPECT_EQ(receiver->Registry.Total(), 1u);
    // The second subscription removed the first registration.
    auto adds = Engine().CallsNamed("Receiver(Network.requestWillBeSent).add_DevToolsProtocolEventReceived");
    auto removes =
        Engine().CallsNamed("Receiver(Network.requestWillBeSent).remove_DevToolsProtocolEventReceived");
    ASSERT_EQ(adds.size(), 2u);
    ASSERT_EQ(removes.size(), 1u);
    EXPECT_EQ(removes[0].Detail, adds[0].Detail);

    auto answers = receiver->Fire(Engine().View(), "{\"requestId\":\"7\"}");
    EXPECT_THAT(answers, ElementsAre(S_OK));
    EXPECT_THAT(seen, ElementsAre("Network.requestWillBeSent {\"requestId\":\"7\"}"));
    EXPECT_EQ(Engine().TextsOutstanding(), 0);

    // The token kept is the current registration's: closing removes exactly it.
    Browser->CloseWebView();
    removes = Engine().CallsNamed("Receiver(Network.requestWillBeSent).remove_DevToolsProtocolEventReceived");
    ASSERT_EQ(removes.size(), 2u);
    EXPECT_EQ(removes[1].Detail, adds[1].Detail);
    EXPECT_EQ(receiver->Registry.Total(), 0u);
}

TEST_F(EventsTest, ADevToolsReceiverThatCannotBeHadIsRecorded) {
    TScenario scenario;
    scenario.Results["View.GetDevToolsProtocolEventReceiver"] = E_NOTIMPL;
    Create(scenario);
    Browser->SubscribeToCDPEvent("Page.loadEventFired");
    EXPECT_EQ(Browser->LastErrorCode(), E_NOTIMPL);
    EXPECT_TRUE(Engine().CallNames("Receiver(").empty());
    Browser->CloseWebView();
    // Nothing was subscribed, so closing asks for no receiver.
    EXPECT_EQ(Engine().CountOf("View.GetDevToolsProtocolEventReceiver"), 1u);
}

} // namespace
