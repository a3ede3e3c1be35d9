// The browser control in its host window: sizing by SizeRatio, visibility,
// minimize and restore, focus in both directions, short-cut keys, the
// settings properties and ending the browser process.
#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/edgeex/TestProcess.h"

#include "platform/Process.h"
#include "platform/ui/Menus.h"

#include <gmock/gmock.h>

using namespace Norvane::Testing::EdgeEx;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Shared::EEdgeError;
using ::testing::ElementsAre;
namespace Ui = Norvane::Platform::Ui;

namespace {

using HostingTest = BrowserFixture;

std::vector<std::string> Details(const std::string& Name) {
    std::vector<std::string> details;
    for (const auto& call : Engine().CallsNamed(Name))
        details.push_back(call.Detail);
    return details;
}

// ---------------------------------------------------------------------------
// Size
// ---------------------------------------------------------------------------

TEST_F(HostingTest, ARatioWrittenBeforeCreationIsReplacedByOne) {
    Make();
    Browser->SetSizeRatio(0.25);
    EXPECT_EQ(Browser->SizeRatio(), 0.25);
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_EQ(Browser->SizeRatio(), 1.0);
    EXPECT_THAT(Details("Controller.put_Bounds"), ElementsAre("0,0,800,600"));
}

TEST_F(HostingTest, TheRatioShrinksTheViewFromTheBottomRightTruncatingTowardZero) {
    Create();
    Browser->SetSizeRatio(0.5);
    Browser->SetSizeRatio(0.333);
    Browser->SetBounds(0, 0, 640, 480); // a resize keeps the ratio
    Browser->SetSizeRatio(1.0);
    EXPECT_THAT(Details("Controller.put_Bounds"),
                ElementsAre("0,0,800,600", "0,0,400,300", "0,0,266,199", "0,0,213,159", "0,0,640,480"));
    EXPECT_EQ(Engine().Controller()->Bounds.right, 640);
}

TEST_F(HostingTest, AFailedBoundsCallIsOnlyRecorded) {
    TScenario scenario;
    scenario.Results["Controller.put_Bounds"] = E_INVALIDARG;
    Create(scenario);
    EXPECT_EQ(Browser->LastErrorCode(), E_INVALIDARG);
    EXPECT_NO_THROW(Browser->SetSizeRatio(0.5));
    EXPECT_EQ(Browser->LastErrorCode(), E_INVALIDARG);
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
}

// ---------------------------------------------------------------------------
// Visibility
// ---------------------------------------------------------------------------

TEST_F(HostingTest, VisibilityFollowsTheControlWithTrueAsAllBitsSet) {
    Make();
    Browser->SetVisible(false); // no controller yet: nothing to tell
    Browser->SetVisible(true);
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_TRUE(Engine().CallNames("Controller.put_IsVisible").empty());
    Browser->SetVisible(false);
    Browser->SetVisible(true);
    EXPECT_THAT(Details("Controller.put_IsVisible"), ElementsAre("0", "-1"));
}

TEST_F(HostingTest, OnlyExactMinimizeAndRestoreCommandsHideAndShowTheView) {
    Create();
    for (unsigned command : {Ui::SC_MAXIMIZE, Ui::SC_CLOSE, 0xF021u, 0xF121u, 0xF010u})
        Browser->SysCommand(command);
    EXPECT_TRUE(Engine().CallNames("Controller.put_IsVisible").empty());
    Browser->SysCommand(Ui::SC_MINIMIZE);
    Browser->SysCommand(Ui::SC_RESTORE);
    // The form passes its window commands to the controls it contains.
    Form->NotifySysCommand(Ui::SC_MINIMIZE);
    Form->NotifySysCommand(Ui::SC_RESTORE);
    EXPECT_THAT(Details("Controller.put_IsVisible"), ElementsAre("0", "-1", "0", "-1"));
}

TEST_F(HostingTest, MinimizingAndRestoringTheWindowHidesAndShowsTheView) {
    Create();
    Form->Show();
    ASSERT_TRUE(PumpUntil([this] { return Form->HandleAllocated() && Form->Showing(); }));
    Settle();
    const std::size_t before = Details("Controller.put_IsVisible").size();
    auto since = [before] {
        auto all = Details("Controller.put_IsVisible");
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    };
    Form->SetWindowState(Ui::TWindowState::wsMinimized);
    ASSERT_TRUE(PumpUntil([&] { return since() == std::vector<std::string>{"0"}; }));
    // Under wine the window manager confirms the minimize after the window has
    // been told; a restore before that would be undone by the late report.
    Settle();
    Form->SetWindowState(Ui::TWindowState::wsNormal);
    ASSERT_TRUE(PumpUntil([&] {
        return since() == std::vector<std::string>{"0", "-1"};
    })) << ::testing::PrintToString(since());
    Form->Hide();
}

// ---------------------------------------------------------------------------
// Focus
// ---------------------------------------------------------------------------

TEST_F(HostingTest, FocusGoesIntoTheBrowserFromSetFocusAndFromEntering) {
    Make();
    Browser->SetFocus(); // no controller: only the framework's part
    int entered = 0;
    Browser->OnEnter = [&](Ui::TObject* Sender) {
        EXPECT_EQ(Sender, Browser);
        ++entered;
    };
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_TRUE(Engine().CallNames("Controller.MoveFocus").empty());

    Browser->SetFocus();
    EXPECT_THAT(Details("Controller.MoveFocus"), ElementsAre("0"));
    Form->SetActiveControl(Browser); // the framework enters the control
    EXPECT_EQ(entered, 1);
    EXPECT_THAT(Details("Controller.MoveFocus"), ElementsAre("0", "0"));
}

TEST_F(HostingTest, TheBrowsersOwnFocusRaisesEnterAndExitWithoutPushingFocusBack) {
    Create();
    std::vector<std::string> seen;
    Browser->OnEnter = [&](Ui::TObject*) { seen.push_back("enter"); };
    Browser->OnExit = [&](Ui::TObject*) { seen.push_back("exit"); };
    TComPtr<TFakeController> controller(Engine().Controller());
    auto got = controller->Fire<ICoreWebView2FocusChangedEventHandler, IUnknown>("GotFocus", nullptr);
    auto lost = controller->Fire<ICoreWebView2FocusChangedEventHandler, IUnknown>("LostFocus", nullptr);
    EXPECT_THAT(got, ElementsAre(S_OK));
    EXPECT_THAT(lost, ElementsAre(S_OK));
    EXPECT_THAT(seen, ElementsAre("enter", "exit"));
    EXPECT_TRUE(Engine().CallNames("Controller.MoveFocus").empty());
    // Afterwards entering pushes the focus into the browser again.
    Form->SetActiveControl(Browser);
    EXPECT_THAT(Details("Controller.MoveFocus"), ElementsAre("0"));
}

TEST_F(HostingTest, TabbingOutOfThePageMovesOnInTheFormsTabOrder) {
    auto* before = new Ui::TButton(Form);
    before->SetParent(Form);
    before->SetBounds(0, 620, 80, 30);
    Make();
    auto* after = new Ui::TButton(Form);
    after->SetParent(Form);
    after->SetBounds(100, 620, 80, 30);
    Browser->SetParent(Form); // between the two buttons in the tab order
    after->SetTabOrder(2);
    ASSERT_TRUE(WaitCompletions(1));
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return after->CanFocus(); }));
    TComPtr<TFakeController> controller(Engine().Controller());

    auto request = MakeComObject<TFakeMoveFocusRequestedArgs>();
    request->Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
    controller->Fire<ICoreWebView2MoveFocusRequestedEventHandler>("MoveFocusRequested", request.Get());
    Ui::Application().ProcessMessages();
    EXPECT_FALSE(before->Focused());
    EXPECT_FALSE(after->Focused());

    request->Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT;
    auto answers =
        controller->Fire<ICoreWebView2MoveFocusRequestedEventHandler>("MoveFocusRequested", request.Get());
    EXPECT_THAT(answers, ElementsAre(S_OK));
    EXPECT_TRUE(PumpUntil([&] { return after->Focused(); }));

    request->Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS;
    controller->Fire<ICoreWebView2MoveFocusRequestedEventHandler>("MoveFocusRequested", request.Get());
    EXPECT_TRUE(PumpUntil([&] { return before->Focused(); }));
    // The request's Handled flag is never set.
    EXPECT_EQ(Engine().CountOf("MoveFocusRequestedArgs.put_Handled"), 0u);
    EXPECT_EQ(Engine().CountOf("MoveFocusRequestedArgs.get_Reason"), 3u);
    Form->Hide();
}

TEST_F(HostingTest, AFocusRequestWhoseReasonCannotBeReadIsRecorded) {
    TScenario scenario;
    scenario.Results["MoveFocusRequestedArgs.get_Reason"] = E_UNEXPECTED;
    Create(scenario);
    auto request = MakeComObject<TFakeMoveFocusRequestedArgs>();
    auto answers = Engine().Controller()->Fire<ICoreWebView2MoveFocusRequestedEventHandler>(
        "MoveFocusRequested", request.Get());
    EXPECT_THAT(answers, ElementsAre(S_OK));
    EXPECT_EQ(Browser->LastErrorCode(), E_UNEXPECTED);
}

// ---------------------------------------------------------------------------
// Short-cut keys
// ---------------------------------------------------------------------------

class ShortCutForm : public Ui::TForm {
public:
    std::vector<Ui::TWMKey> Seen;
    bool IsShortCut(const Ui::TWMKey& Message) override {
        Seen.push_back(Message);
        return Ui::TForm::IsShortCut(Message);
    }
};

class ShortCutTest : public BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        delete Form;
        Form = Keys = new ShortCutForm();
        auto* menu = new Ui::TMainMenu(Form);
        auto* file = new Ui::TMenuItem(menu);
        file->SetCaption("&File");
        menu->Items()->Add(file);
        auto* open = new Ui::TMenuItem(menu);
        open->SetCaption("&Open");
        open->SetShortCut(Ui::ShortCut('O', Ui::ssCtrl));
        open->OnClick = [this](Ui::TObject*) { ++Opened; };
        file->Add(open);
        Form->SetMenu(menu);
    }
    HRESULT Press(COREWEBVIEW2_KEY_EVENT_KIND Kind, UINT32 Key, std::int32_t KeyData, BOOL* Handled) {
        auto args = MakeComObject<TFakeAcceleratorKeyPressedArgs>();
        args->Kind = Kind;
        args->VirtualKey = Key;
        args->LParam = KeyData;
        auto answers = Engine().Controller()->Fire<ICoreWebView2AcceleratorKeyPressedEventHandler>(
            "AcceleratorKeyPressed", args.Get());
        *Handled = args->Handled;
        return answers.size() == 1 ? answers[0] : E_FAIL;
    }
    ShortCutForm* Keys = nullptr;
    int Opened = 0;
};

constexpr std::int32_t CtrlHeld = Ui::KeyDataCtrl | Ui::KeyDataModifiersValid | (0x18 << 16) | 1;
constexpr std::int32_t NothingHeld = Ui::KeyDataModifiersValid | (0x19 << 16) | 1;

TEST_F(ShortCutTest, AKeyOfAMenuShortCutIsHandledAndOthersAreNot) {
    Create();
    BOOL handled = 0;
    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'O', CtrlHeld, &handled), S_OK);
    EXPECT_EQ(handled, TRUE_VALUE);
    EXPECT_EQ(Opened, 1);

    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'P', NothingHeld | Ui::KeyDataCtrl, &handled),
              S_OK);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'O', NothingHeld, &handled), S_OK);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP, 'O', CtrlHeld, &handled), S_OK);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(Opened, 1);
    EXPECT_EQ(Engine().CountOf("AcceleratorKeyPressedArgs.put_Handled"), 1u);
}

TEST_F(ShortCutTest, EachKeyKindBecomesItsKeyMessage) {
    Create();
    BOOL handled = 0;
    Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'A', 0x001E0001, &handled);
    Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP, 'A', static_cast<std::int32_t>(0xC01E0001u), &handled);
    Press(COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN, Ui::VK_F10, 0x20440001, &handled);
    Press(COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP, Ui::VK_F10, static_cast<std::int32_t>(0xE0440001u),
          &handled);
    ASSERT_EQ(Keys->Seen.size(), 4u);
    EXPECT_EQ(Keys->Seen[0].Msg, Ui::WM_KEYDOWN);
    EXPECT_EQ(Keys->Seen[1].Msg, Ui::WM_KEYUP);
    EXPECT_EQ(Keys->Seen[2].Msg, Ui::WM_SYSKEYDOWN);
    EXPECT_EQ(Keys->Seen[3].Msg, Ui::WM_SYSKEYUP);
    EXPECT_EQ(Keys->Seen[0].CharCode, 'A');
    EXPECT_EQ(Keys->Seen[2].CharCode, Ui::VK_F10);
    EXPECT_EQ(Keys->Seen[0].KeyData, 0x001E0001);
    EXPECT_EQ(Keys->Seen[3].KeyData, static_cast<std::int32_t>(0xE0440001u));
}

TEST_F(ShortCutTest, TheFirstFailedReadStopsTheKey) {
    TScenario scenario;
    scenario.Results["AcceleratorKeyPressedArgs.get_VirtualKey"] = E_ACCESSDENIED;
    Create(scenario);
    BOOL handled = 0;
    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'O', CtrlHeld, &handled), S_OK);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(Browser->LastErrorCode(), E_ACCESSDENIED);
    EXPECT_EQ(Engine().CountOf("AcceleratorKeyPressedArgs.get_KeyEventKind"), 1u);
    EXPECT_EQ(Engine().CountOf("AcceleratorKeyPressedArgs.get_KeyEventLParam"), 0u);
    EXPECT_TRUE(Keys->Seen.empty());
    EXPECT_EQ(Opened, 0);
}

TEST_F(ShortCutTest, AControlOutsideAFormLeavesKeysToThePage) {
    auto* panel = new Ui::TPanel();
    Make();
    Browser->SetParent(panel);
    ASSERT_TRUE(WaitCompletions(1));
    BOOL handled = 0;
    EXPECT_EQ(Press(COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, 'O', CtrlHeld, &handled), S_OK);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(Engine().CountOf("AcceleratorKeyPressedArgs.get_KeyEventLParam"), 1u);
    EXPECT_TRUE(Keys->Seen.empty());
    DestroyBrowser();
    delete panel;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

struct Setting {
    const char* Name; // the engine's name, "IsScriptEnabled"
    bool (TCustomEdgeBrowser::*Get)();
    void (TCustomEdgeBrowser::*Set)(bool);
};

const std::vector<Setting> Settings = {
    {"IsScriptEnabled", &TCustomEdgeBrowser::ScriptEnabled, &TCustomEdgeBrowser::SetScriptEnabled},
    {"IsWebMessageEnabled", &TCustomEdgeBrowser::WebMessageEnabled,
     &TCustomEdgeBrowser::SetWebMessageEnabled},
    {"AreDefaultScriptDialogsEnabled", &TCustomEdgeBrowser::DefaultScriptDialogsEnabled,
     &TCustomEdgeBrowser::SetDefaultScriptDialogsEnabled},
    {"IsStatusBarEnabled", &TCustomEdgeBrowser::StatusBarEnabled, &TCustomEdgeBrowser::SetStatusBarEnabled},
    {"AreDevToolsEnabled", &TCustomEdgeBrowser::DevToolsEnabled, &TCustomEdgeBrowser::SetDevToolsEnabled},
    {"AreDefaultContextMenusEnabled", &TCustomEdgeBrowser::DefaultContextMenusEnabled,
     &TCustomEdgeBrowser::SetDefaultContextMenusEnabled},
    {"IsZoomControlEnabled", &TCustomEdgeBrowser::ZoomControlEnabled,
     &TCustomEdgeBrowser::SetZoomControlEnabled},
    {"IsBuiltInErrorPageEnabled", &TCustomEdgeBrowser::BuiltInErrorPageEnabled,
     &TCustomEdgeBrowser::SetBuiltInErrorPageEnabled},
};

// Runs Action and returns the EEdgeError it raised (message and code), or "none".
template <class F> std::string RaisedBy(F&& Action) {
    try {
        Action();
    } catch (const EEdgeError& e) {
        return std::string(e.what()) + " " + std::to_string(e.ErrorCode());
    }
    return "none";
}

const std::string NotInstantiated = "WebView2 not instantiated " + std::to_string(E_FAIL);

TEST_F(HostingTest, EverySettingRaisesBeforeCreation) {
    Make();
    for (const auto& setting : Settings) {
        SCOPED_TRACE(setting.Name);
        EXPECT_EQ(RaisedBy([&] { (Browser->*setting.Get)(); }), NotInstantiated);
        EXPECT_EQ(RaisedBy([&] { (Browser->*setting.Set)(false); }), NotInstantiated);
    }
    // A failed creation gives no settings either.
    Engine().Reset([] {
        TScenario s;
        s.Results["View.get_Settings"] = E_FAIL;
        return s;
    }());
    Attach();
    ASSERT_TRUE(WaitCompletions(1));
    EXPECT_EQ(RaisedBy([&] { Browser->ScriptEnabled(); }), NotInstantiated);
}

TEST_F(HostingTest, EverySettingReadsAndWritesItsOwnEngineSetting) {
    Create();
    TFakeSettings* settings = Engine().Settings();
    for (const auto& setting : Settings) {
        SCOPED_TRACE(setting.Name);
        const std::string name = setting.Name;
        (Browser->*setting.Set)(false);
        EXPECT_EQ(settings->Values[name], 0);
        EXPECT_FALSE((Browser->*setting.Get)());
        (Browser->*setting.Set)(true);
        EXPECT_EQ(settings->Values[name], -1); // true with all bits set
        EXPECT_TRUE((Browser->*setting.Get)());
        settings->Values[name] = 7; // any non-zero value reads as true
        EXPECT_TRUE((Browser->*setting.Get)());
        EXPECT_THAT(Details("Settings.put_" + name), ElementsAre("0", "-1"));
        EXPECT_EQ(Engine().CountOf("Settings.get_" + name), 3u);
    }
    // Nothing else was touched.
    for (const auto& [name, value] : settings->Values)
        EXPECT_EQ(value, 7) << name;
}

TEST_F(HostingTest, AFailedSettingsReadRaisesAndAFailedWriteIsOnlyRecorded) {
    TScenario scenario;
    scenario.Results["Settings.get_IsZoomControlEnabled"] = E_ACCESSDENIED;
    scenario.Results["Settings.put_AreDevToolsEnabled"] = E_UNEXPECTED;
    Create(scenario);
    EXPECT_EQ(RaisedBy([&] { Browser->ZoomControlEnabled(); }), NotInstantiated);
    EXPECT_EQ(Browser->LastErrorCode(), E_ACCESSDENIED);
    EXPECT_EQ(RaisedBy([&] { Browser->SetDevToolsEnabled(false); }), "none");
    EXPECT_EQ(Browser->LastErrorCode(), E_UNEXPECTED);
}

TEST_F(HostingTest, AfterClosingTheSettingsStillActOnTheClosedViewsSettings) {
    Create();
    TComPtr<TFakeSettings> settings(Engine().Settings());
    Browser->CloseWebView();
    EXPECT_FALSE(Browser->WebViewCreated());
    Browser->SetStatusBarEnabled(false);
    EXPECT_EQ(settings->Values["IsStatusBarEnabled"], 0);
    EXPECT_FALSE(Browser->StatusBarEnabled());
}

// ---------------------------------------------------------------------------
// The browser process
// ---------------------------------------------------------------------------

TEST_F(HostingTest, CloseBrowserProcessClosesTheViewAndEndsAProcessThatKeepsRunning) {
    Create();
    const auto child = TTestProcess::StartRunning();
    ASSERT_TRUE(child);
    Engine().View()->ProcessId = child->Id();
    TComPtr<TFakeController> controller(Engine().Controller());
    Browser->CloseBrowserProcess();
    EXPECT_TRUE(controller->Closed);
    EXPECT_FALSE(Browser->WebViewCreated());
    const auto end = child->Wait();
    ASSERT_TRUE(end.Ended);
    EXPECT_TRUE(end.EndedHard);
    // The process was read before the view was closed.
    auto names = Engine().CallNames();
    EXPECT_LT(std::find(names.begin(), names.end(), "View.get_BrowserProcessId"),
              std::find(names.begin(), names.end(), "Controller.Close"));
}

TEST_F(HostingTest, CloseBrowserProcessLeavesAProcessThatHasEndedAlone) {
    Create();
    const auto child = TTestProcess::StartEnded(3);
    ASSERT_TRUE(child);
    Engine().View()->ProcessId = child->Id();
    Browser->CloseBrowserProcess();
    const auto end = child->Wait();
    ASSERT_TRUE(end.Ended);
    EXPECT_FALSE(end.EndedHard);
    EXPECT_EQ(end.Code, 3);
}

TEST_F(HostingTest, CloseBrowserProcessNeverEndsOurOwnProcess) {
    Create();
    Engine().View()->ProcessId = static_cast<UINT32>(Norvane::Platform::CurrentProcessId());
    TComPtr<TFakeController> controller(Engine().Controller());
    Browser->CloseBrowserProcess();
    EXPECT_TRUE(controller->Closed); // still closes the view; and we are still here
}

TEST_F(HostingTest, CloseBrowserProcessWithoutAViewClosesNothingMore) {
    Make();
    Browser->CloseBrowserProcess();
    EXPECT_TRUE(Engine().Calls().empty());
}

TEST_F(HostingTest, ReinitializeWithANewBrowserEndsTheOldProcessFirst) {
    Create();
    const auto child = TTestProcess::StartRunning();
    ASSERT_TRUE(child);
    Engine().View()->ProcessId = child->Id();
    Browser->ReinitializeWebViewWithNewBrowser();
    const auto end = child->Wait();
    ASSERT_TRUE(end.Ended);
    EXPECT_TRUE(end.EndedHard);
    ASSERT_TRUE(WaitCompletions(2));
    EXPECT_EQ(Engine().CountOf("Loader.CreateCoreWebView2Environment"), 2u);
    EXPECT_TRUE(Browser->WebViewCreated());
}

} // namespace
