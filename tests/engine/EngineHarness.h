// Drives the engine library exactly as the runtime does: loaded with dlopen
// from its file, reached only through the loader entries and the interfaces of
// webview2/. The harness itself uses GTK for a window, a parent container and
// the main loop. It asserts nothing; tests and benchmarks decide.
#pragma once

#include "webview2/WebView2.h"
#include "webview2/WebView2Com.h"

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Norvane::Testing::EngineHarness {

using namespace Norvane::WebView2;

struct TEngineLibrary {
    void* Handle = nullptr;
    PFN_CreateCoreWebView2Environment CreateEnvironment = nullptr;
    PFN_GetCoreWebView2BrowserVersionString BrowserVersion = nullptr;
    PFN_GetAvailableCoreWebView2BrowserVersionString AvailableVersion = nullptr;
    PFN_CoTaskMemFree MemFree = nullptr;
    std::string Error; // why loading failed

    bool Loaded() const {
        return Handle && CreateEnvironment && BrowserVersion && AvailableVersion && MemFree;
    }
    // Copies an engine text and frees the engine's copy; "" for null.
    std::string Take(char* Text) const;

    // The library at the path the build gives (NORVANE_ENGINE_LIBRARY), or at
    // the path in the environment variable NORVANE_ENGINE_LIBRARY_PATH, loaded once.
    static TEngineLibrary& Get();
    static TEngineLibrary Load(const std::string& Path);
};

// Runs the GTK main loop until Done() answers true or Seconds pass.
bool RunUntil(const std::function<bool()>& Done, double Seconds = 30);
// Runs the main loop for Seconds whatever happens.
void RunFor(double Seconds);

struct TEnvironmentResult {
    HRESULT Code = E_FAIL;
    TComPtr<ICoreWebView2Environment> Environment;
    bool CompletedOnMainThread = false;
};
// Calls CreateCoreWebView2Environment (from a worker thread when asked) and
// waits for its completion.
TEnvironmentResult CreateEnvironment(bool FromWorkerThread);

// A toplevel window whose content is a GtkEventBox: a container that gives its
// single child its whole area, as the user-interface layer's parent does.
class THostWindow {
public:
    THostWindow(int Width, int Height);
    ~THostWindow();
    THostWindow(const THostWindow&) = delete;
    THostWindow& operator=(const THostWindow&) = delete;
    GtkWidget* Window() const { return FWindow; }
    GtkWidget* Parent() const { return FParent; }

private:
    GtkWidget* FWindow;
    GtkWidget* FParent;
};

struct TScriptResult {
    HRESULT Code = E_PENDING_RESULT;
    std::string Json;
    static constexpr HRESULT E_PENDING_RESULT = static_cast<HRESULT>(0x8000000Au);
};

struct TServedPage {
    TServedPage() = default;
    TServedPage(std::string Type, std::string Content, std::int32_t Code = 200, std::string Extra = {})
        : ContentType(std::move(Type)), Body(std::move(Content)), Status(Code),
          ExtraHeaders(std::move(Extra)) {}
    std::string ContentType;
    std::string Body;
    std::int32_t Status = 200;
    std::string ExtraHeaders; // further "Name: value" lines after the type, "\r\n"-separated
    bool FromPayload = true;  // marked as the application's own content, as the host marks its payload
};

// One browser view in a host window, with handlers that serve Pages from
// memory through the resource filter "*" and record what the view reports.
class TViewHarness {
public:
    TViewHarness() = default;
    ~TViewHarness();
    TViewHarness(const TViewHarness&) = delete;
    TViewHarness& operator=(const TViewHarness&) = delete;

    // Environment, controller (bounds: the whole window), view, settings, handlers.
    bool Create(int Width = 640, int Height = 480);
    void Close();

    // Navigates and waits for NavigationCompleted; returns its IsSuccess.
    bool NavigateAndWait(const std::string& Uri);
    // Waits for the next NavigationCompleted after the current count.
    bool WaitForNavigation(int PreviousCount);
    TScriptResult Run(const std::string& Script);
    // Waits until at least Count web messages arrived.
    bool WaitForMessages(std::size_t Count);
    std::string Source();
    std::string Title();
    // The WebKitWebView widget inside the engine's host child.
    GtkWidget* EngineChild() const;
    GtkWidget* WebKitWidget() const;

    std::unique_ptr<THostWindow> Host;
    TComPtr<ICoreWebView2Environment> Environment;
    TComPtr<ICoreWebView2Controller> Controller;
    TComPtr<ICoreWebView2> View;
    TComPtr<ICoreWebView2Settings> Settings;

    // Served through the resource handler: file:/// address -> page.
    std::map<std::string, TServedPage> Pages;
    // Defers every served response to a later turn of the main loop.
    bool DeferResponses = false;

    std::vector<std::string> Requests;       // addresses the resource handler saw
    std::vector<std::string> RequestHeaders; // their request headers
    std::vector<std::string> Messages;       // web messages as JSON
    std::vector<std::string> StringMessages; // TryGetWebMessageAsString results ("<not a string>" on failure)
    std::vector<std::string> MessageSources; // the sending documents' addresses
    std::vector<std::string> Titles;         // DocumentTitle at each DocumentTitleChanged
    std::vector<std::string> StartingUris;   // NavigationStarting addresses
    std::vector<std::string> NewWindowUris;
    std::vector<COREWEBVIEW2_PERMISSION_KIND> PermissionKinds;
    std::vector<COREWEBVIEW2_PROCESS_FAILED_KIND> ProcessFailures;
    std::vector<double> ZoomChanges;
    int NavigationsCompleted = 0;
    bool LastNavigationSuccess = false;
    COREWEBVIEW2_WEB_ERROR_STATUS LastWebError = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;

    // Answers of the handlers.
    bool HandleNewWindows = true;
    COREWEBVIEW2_PERMISSION_STATE PermissionAnswer = COREWEBVIEW2_PERMISSION_STATE_ALLOW;
    std::function<void(ICoreWebView2NavigationStartingEventArgs*)> OnNavigationStarting;
};

// Real input through the X server (XTest), as the user's keyboard and mouse
// give it: it reaches the window that has the input focus, or the window under
// the pointer.
namespace Input {
// Presents the toplevel and waits until it has the input focus.
bool PresentAndWait(GtkWidget* Window);
// Presses and releases the key of Keyval with the modifiers of State
// (GDK_CONTROL_MASK, GDK_SHIFT_MASK, GDK_MOD1_MASK) held.
void TapKey(guint Keyval, guint State = 0);
// Moves the pointer to (X, Y) inside Widget and presses and releases Button.
void Click(GtkWidget* Widget, int X, int Y, guint Button);
} // namespace Input

// The host's end of a page served for the benchmark and the tests.
std::string PageWithBody(const std::string& Title, const std::string& Body);

} // namespace Norvane::Testing::EngineHarness
