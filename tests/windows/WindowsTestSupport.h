// Helpers of the window tests (browser window, bridge module, main window):
// payload archives made by Info-ZIP zip, event arguments of our own for the
// notifications the fake engine's argument objects cannot carry (a resource
// request with an address, a web message that is a plain string), and a
// fixture that creates a browser window over the fake engine.
#pragma once

#include "platform/ui/Forms.h"
#include "shared/browser/BrowserForm.h"
#include "shared/ExeZip.h"
#include "shared/Streams.h"
#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/fakeengine/FakeEngine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace Norvane::Testing::Windows {

using namespace Norvane::WebView2;
using Norvane::Testing::FakeEngine::TFakeObject;

// The application identifier that makes this test program, when started with
// it and one more argument, write that argument to a record file (in the
// folder named by RelaunchRecordsVariable) and end at once. The browser
// window starts its own executable for a new window, which is this program.
inline constexpr const char* RelaunchTestID = "norvane-window-test-relaunch";
inline constexpr const char* RelaunchRecordsVariable = "NORVANE_WINDOW_TEST_RECORDS";
// Handles a relaunched start; returns true when this process was one.
bool HandleRelaunch(int argc, char** argv);

// A payload archive: the files (name inside the archive -> content) packed
// with Info-ZIP zip and the payload password, opened with TExeZip.
class TPayload {
public:
    explicit TPayload(const std::map<std::string, std::string>& Files);
    TPayload(const TPayload&) = delete;
    TPayload& operator=(const TPayload&) = delete;
    Shared::TExeZip& Zip() { return FZip; }

private:
    TempDir FFolder;
    Shared::TMemoryStream FStream;
    Shared::TExeZip FZip;
};

// A web message: JSON text, and the plain string when the page posted one.
class TMessageArgs final : public TFakeObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    TMessageArgs(std::string JsonText, std::optional<std::string> Text)
        : TFakeObject("MessageArgs", false), Json(std::move(JsonText)), String(std::move(Text)) {}
    std::string Json;
    std::optional<std::string> String;
    HRESULT NV_STDCALL get_Source(char** Value) override {
        return GetText("get_Source", Value, "file:///index.html");
    }
    HRESULT NV_STDCALL get_WebMessageAsJson(char** Value) override {
        return GetText("get_WebMessageAsJson", Value, Json);
    }
    HRESULT NV_STDCALL TryGetWebMessageAsString(char** Value) override {
        if (String)
            return GetText("TryGetWebMessageAsString", Value, *String);
        Enter("TryGetWebMessageAsString");
        if (Value)
            *Value = nullptr;
        return E_INVALIDARG;
    }
};

// A page's message made with postMessage(object): JSON only.
TComPtr<TMessageArgs> JsonMessage(const std::string& Json);
// A page's message made with postMessage("text").
TComPtr<TMessageArgs> StringMessage(const std::string& Text);

// Fires a notification of the fake view at every handler registered for it.
void FireWebMessage(TMessageArgs* Args);
// Fires a resource request; the fake response the window set, or null.
FakeEngine::TFakeWebResourceResponse* FireResourceRequest(const std::string& Address,
                                                          const std::string& Headers = "");

// From now on DetailsOf and CallCount look only at the engine calls made
// after this point (the objects of the fake stay as they are).
void MarkCalls();
// Forgets the mark (after Engine().Reset).
void ClearCallMark();
// The texts of the engine calls of one name since the mark, in order.
std::vector<std::string> DetailsOf(const std::string& Name);
std::size_t CallCount(const std::string& Name);

// Asks the window manager to close a form's window, as its close box does,
// once the window is on the screen; false when it never got there.
bool RequestCloseByWindowManager(Platform::Ui::TCustomForm& Form);
#ifdef _WIN32
// Posts the close box's command (WM_SYSCOMMAND SC_CLOSE) to a native window.
bool PostCloseCommand(void* NativeWindow);
#endif

// Waits until the creation that a browser control started has completed
// (successfully or not) and every completion in flight has been delivered.
bool WaitCreated(Shared::TCustomEdgeBrowser* Browser);

// A browser window over the fake engine.
class BrowserWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the window (which starts the browser's creation) for the
    // scenario; Configure sets its properties before the creation completes.
    Shared::TBrowserForm* MakeWindow(const FakeEngine::TScenario& Scenario = {},
                                     const std::function<void(Shared::TBrowserForm&)>& Configure = {});
    void FreeWindow();

    Shared::TBrowserForm* Window = nullptr;
};

} // namespace Norvane::Testing::Windows
