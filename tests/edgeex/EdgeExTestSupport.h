// Helpers of the browser control's tests: the event loop of the test's
// user-interface thread, the errors the application reports, and a fixture
// that hosts a control on a form with the fake engine as its loader library.
#pragma once

#include "shared/browser/EdgeEx.h"
#include "tests/fakeengine/FakeEngine.h"

#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace Norvane::Testing::EdgeEx {

using Norvane::Shared::TCustomEdgeBrowser;
using Norvane::Shared::TEdgeBrowser;
using TState = Norvane::Shared::TCustomEdgeBrowser::TBrowserControlState;

// What reached the application's error report (instead of a message box).
std::vector<std::string>& ReportedErrors();
// The thread that runs the tests and the toolkit.
std::thread::id UiThread();

// Dispatches events until Done holds; false when it did not within the time.
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 10000);
// Lets every completion in flight and every queued piece run.
void Settle();

// Initializes the toolkit (unless only listing the tests) and runs the tests.
int RunTests(int argc, char** argv);

// A form with a control on it, the fake engine as the loader library and a
// record of every OnCreateWebViewCompleted.
class BrowserFixture : public ::testing::Test {
protected:
    struct TCompletion {
        Norvane::Shared::HRESULT Code;
        std::thread::id Thread;
        TState State;
        bool Created;
        std::size_t RegistrationsBefore;
    };

    void SetUp() override;
    void TearDown() override;

    // Makes the control (not yet parented) for the scenario.
    TEdgeBrowser* Make(const FakeEngine::TScenario& Scenario = {}, bool WithCompletedHandler = true);
    // Gives the control its parent, which starts the creation.
    void Attach();
    // Make, Attach and wait for the first OnCreateWebViewCompleted.
    TEdgeBrowser* Create(const FakeEngine::TScenario& Scenario = {});
    bool WaitCompletions(std::size_t Count);
    void DestroyBrowser();

    Norvane::Platform::Ui::TForm* Form = nullptr;
    TEdgeBrowser* Browser = nullptr;
    std::vector<TCompletion> Completions;
};

} // namespace Norvane::Testing::EdgeEx
