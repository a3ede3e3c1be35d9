#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/edgeex/TestProcess.h"

#include <chrono>

namespace Norvane::Testing::EdgeEx {

namespace Ui = Norvane::Platform::Ui;

std::vector<std::string>& ReportedErrors() {
    static std::vector<std::string> errors;
    return errors;
}

namespace {
std::thread::id TheUiThread;
}

std::thread::id UiThread() {
    return TheUiThread;
}

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    for (;;) {
        Ui::Application().ProcessMessages();
        if (Done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Settle() {
    PumpUntil([] { return FakeEngine::Engine().InFlight() == 0; });
    // A worker thread may still be handing its last piece over.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    while (std::chrono::steady_clock::now() < end) {
        Ui::Application().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int RunTests(int argc, char** argv) {
    if (argc > 1 && RunAsTestProcess(argv[1]))
        return 0;
    ::testing::InitGoogleTest(&argc, argv);
    TheUiThread = std::this_thread::get_id();
    FakeEngine::Engine().SetThreadIdentity([] { return std::this_thread::get_id(); });
    if (!GTEST_FLAG_GET(list_tests)) {
        Ui::Application().Initialize();
        Ui::Application().OnException = [](const std::string& Message) {
            ReportedErrors().push_back(Message);
        };
    }
    return RUN_ALL_TESTS();
}

void BrowserFixture::SetUp() {
    Norvane::Shared::WebView2LoaderPath = NORVANE_FAKE_ENGINE;
    FakeEngine::Engine().Reset();
    ReportedErrors().clear();
    Form = new Ui::TForm();
    Form->SetBounds(10, 10, 900, 700);
}

void BrowserFixture::TearDown() {
    DestroyBrowser();
    delete Form;
    Form = nullptr;
    Settle();
    FakeEngine::Engine().Reset();
}

TEdgeBrowser* BrowserFixture::Make(const FakeEngine::TScenario& Scenario, bool WithCompletedHandler) {
    FakeEngine::Engine().Reset(Scenario);
    Browser = new TEdgeBrowser(Form);
    Browser->SetBounds(0, 0, 800, 600);
    if (WithCompletedHandler)
        Browser->OnCreateWebViewCompleted = [this](TCustomEdgeBrowser* Sender,
                                                   Norvane::Shared::HRESULT Code) {
            const auto* view = FakeEngine::Engine().View();
            const auto* controller = FakeEngine::Engine().Controller();
            Completions.push_back(
                {Code, std::this_thread::get_id(), Sender->BrowserControlState(), Sender->WebViewCreated(),
                 (view ? view->Registry.Total() : 0) + (controller ? controller->Registry.Total() : 0)});
        };
    return Browser;
}

void BrowserFixture::Attach() {
    Browser->SetParent(Form);
}

TEdgeBrowser* BrowserFixture::Create(const FakeEngine::TScenario& Scenario) {
    Make(Scenario);
    Attach();
    EXPECT_TRUE(WaitCompletions(1));
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
    return Browser;
}

bool BrowserFixture::WaitCompletions(std::size_t Count) {
    return PumpUntil([&] { return Completions.size() >= Count; });
}

void BrowserFixture::DestroyBrowser() {
    delete Browser;
    Browser = nullptr;
}

} // namespace Norvane::Testing::EdgeEx
