// The application object: toolkit start, the main loop, the main form, the
// thread queue and the application-wide error report.
#pragma once

#include "platform/ui/Forms.h"

#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace Norvane::Platform::Ui {

class TApplication : public TComponent {
public:
    // Starts the toolkit (once; later calls do nothing) and installs the hooks
    // of platform/Ui.h. Raises EUiError when no display can be opened.
    void Initialize();
    bool Initialized() const { return FInitialized; }

    std::string Title() const { return FTitle; }
    void SetTitle(const std::string& Value);
    // The icon of every window that sets none of its own (title bar, task
    // bar, window switcher, dialogs), also of windows already shown. Each item
    // is one image of the icon as an encoded file in memory (PNG, or an .ico
    // holding that one image); images the toolkit cannot decode are left out.
    // Returns the number of images used; with none the icon stays as it was.
    int SetIcon(const std::vector<std::string>& Images);
    // The main form, not a hidden application window, owns the task-bar entry
    // (always so on this toolkit; kept for the callers that set it).
    bool MainFormOnTaskBar() const { return FMainFormOnTaskBar; }
    void SetMainFormOnTaskBar(bool Value) { FMainFormOnTaskBar = Value; }
    // Hides the window that stands for the application before a main window
    // exists (this toolkit has none, so nothing is hidden).
    void HideApplicationWindow() {}

    TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* Form) { FMainForm = Form; }
    // Creates a form of type T, raises its OnCreate, and makes it the main form
    // when there is none yet.
    template <class T, class... A> T* CreateForm(A&&... Args) {
        T* form = TCustomForm::Create<T>(std::forward<A>(Args)...);
        if (!FMainForm)
            FMainForm = form;
        return form;
    }
    bool ShowMainForm() const { return FShowMainForm; }
    void SetShowMainForm(bool Value) { FShowMainForm = Value; }

    // Shows the main form and runs the event loop until the main form closes
    // or Terminate is called.
    void Run();
    // Asks the application to end: every running loop (main and modal) returns.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Dispatches every pending event without waiting.
    void ProcessMessages();
    // Waits for one event and dispatches it (or returns at once after Terminate).
    void HandleMessage();

    // Thread queue. Queue hands a piece to the UI thread (always queued, also
    // from the UI thread); RunOnUiThread runs it at once when called on the UI
    // thread, else queues it; Synchronize runs it on the UI thread and waits for
    // it (an exception in it is raised again in the calling thread). All may be
    // called from any thread.
    void Queue(std::function<void()> Piece);
    void RunOnUiThread(std::function<void()> Piece);
    void Synchronize(std::function<void()> Piece);
    bool IsUiThread() const;

    // The application-wide error report: OnException when assigned, otherwise
    // a message box with the error's text; the loop goes on.
    void HandleException(std::exception_ptr Error);
    void ShowException(const std::string& Message);
    std::function<void(const std::string& Message)> OnException;
    // The desktop's theme changed (the toolkit's theme or its dark preference;
    // on Windows the light or dark mode of applications), on the UI thread.
    std::function<void()> OnSystemThemeChange;
    // Runs a piece and reports what escapes it (for the toolkit's callbacks).
    template <class F> void Guard(F&& Piece) noexcept {
        try {
            Piece();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }

    // The form that has the input focus, or null.
    TCustomForm* ActiveForm() const;
    void SetHint(const std::string&) {}

    // Framework use.
    void FormDestroyed(TCustomForm* Form);
    void RegisterModalLoop(void* Loop);
    void UnregisterModalLoop(void* Loop);

private:
    friend TApplication& Application();
    TApplication();

    bool FInitialized = false;
    bool FTerminated = false;
    bool FMainFormOnTaskBar = true;
    bool FShowMainForm = true;
    bool FReportingError = false;
    std::string FTitle;
    TCustomForm* FMainForm = nullptr;
    void* FRunLoop = nullptr;
    std::vector<void*> FModalLoops;
    std::thread::id FUiThread;
};

// The one application object.
TApplication& Application();

// The screen: size and work area of the monitor of the main window.
class TScreen {
public:
    static int Width();
    static int Height();
    static TRect WorkArea();
    static TRect DesktopRect();
    static TCursor Cursor();
    static void SetCursor(TCursor Value);
    static int FormCount();
    static TCustomForm* Forms(int Index);
};

// Titles of the display's top-level windows in stacking order, front first:
// the window manager's client list when there is one, else the root window's
// children (every window with a non-empty title, hidden ones included).
std::vector<std::string> GetTopLevelWindowCaptions();

} // namespace Norvane::Platform::Ui
