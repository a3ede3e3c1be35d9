// The application object's portable part: the one instance, the thread
// queue's synchronous forms, the error report, modal-loop bookkeeping and the
// hooks of platform/Ui.h that need no toolkit. The backends add the toolkit's
// start, its loops and the queue itself.
#include "platform/ui/Application.h"
#include "platform/ui/BackendInternal.h"
#include "platform/ui/Dialogs.h"

#include <algorithm>
#include <cstdio>
#include <future>

namespace Norvane::Platform::Ui {
namespace {

std::string ExceptionText(std::exception_ptr Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

Platform::MessageBoxResult HookMessageBox(const std::string& Text, const std::string& Caption,
                                          Platform::MessageBoxIcon Icon,
                                          Platform::MessageBoxButtons Buttons) {
    TMessageBoxIcon icon = TMessageBoxIcon::None;
    switch (Icon) {
    case Platform::MessageBoxIcon::Error:
        icon = TMessageBoxIcon::Error;
        break;
    case Platform::MessageBoxIcon::Warning:
        icon = TMessageBoxIcon::Warning;
        break;
    case Platform::MessageBoxIcon::Information:
        icon = TMessageBoxIcon::Information;
        break;
    case Platform::MessageBoxIcon::Question:
        icon = TMessageBoxIcon::Question;
        break;
    case Platform::MessageBoxIcon::None:
        break;
    }
    TMessageBoxKind kind = TMessageBoxKind::Ok;
    switch (Buttons) {
    case Platform::MessageBoxButtons::Ok:
        break;
    case Platform::MessageBoxButtons::OkCancel:
        kind = TMessageBoxKind::OkCancel;
        break;
    case Platform::MessageBoxButtons::YesNo:
        kind = TMessageBoxKind::YesNo;
        break;
    case Platform::MessageBoxButtons::YesNoCancel:
        kind = TMessageBoxKind::YesNoCancel;
        break;
    }
    TModalResult result = mrCancel;
    auto show = [&] { result = MessageBox(Text, Caption, icon, kind); };
    if (Application().IsUiThread())
        show();
    else
        Application().Synchronize(show);
    switch (result) {
    case mrOk:
        return Platform::MessageBoxResult::Ok;
    case mrYes:
        return Platform::MessageBoxResult::Yes;
    case mrNo:
        return Platform::MessageBoxResult::No;
    default:
        return Platform::MessageBoxResult::Cancel;
    }
}

} // namespace

void InstallUiHooks(Platform::UiHooks Hooks) {
    Hooks.MessageBox = HookMessageBox;
    Hooks.ProcessMessages = [] {
        if (Application().IsUiThread())
            Application().ProcessMessages();
    };
    Hooks.Terminated = [] { return Application().Terminated(); };
    Hooks.Terminate = [] {
        if (Application().IsUiThread())
            Application().Terminate();
        else
            Application().Queue([] { Application().Terminate(); });
    };
    Hooks.WindowCaptions = [] { return GetTopLevelWindowCaptions(); };
    Platform::SetUiHooks(std::move(Hooks));
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication& Application() {
    // Never freed: the forms it owns live until the process ends.
    static TApplication* instance = new TApplication();
    return *instance;
}

void TApplication::RunOnUiThread(std::function<void()> Piece) {
    if (IsUiThread())
        Guard(Piece);
    else
        Queue(std::move(Piece));
}

void TApplication::Synchronize(std::function<void()> Piece) {
    if (IsUiThread()) {
        Piece();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    Queue([&] {
        try {
            Piece();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    future.get();
}

bool TApplication::IsUiThread() const {
    return FInitialized && std::this_thread::get_id() == FUiThread;
}

void TApplication::HandleException(std::exception_ptr Error) {
    std::string text = ExceptionText(Error);
    if (OnException) {
        try {
            OnException(text);
        } catch (...) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
        return;
    }
    ShowException(text);
}

void TApplication::ShowException(const std::string& Message) {
    if (FReportingError || !FInitialized || !IsUiThread()) {
        std::fprintf(stderr, "%s\n", Message.c_str());
        if (FInitialized && !IsUiThread())
            Queue([Message] { Application().ShowException(Message); });
        return;
    }
    FReportingError = true;
    try {
        MessageBox(Message, FTitle, TMessageBoxIcon::Error, TMessageBoxKind::Ok);
    } catch (...) {
        std::fprintf(stderr, "%s\n", Message.c_str());
    }
    FReportingError = false;
}

void TApplication::FormDestroyed(TCustomForm* Form) {
    if (FMainForm == Form)
        FMainForm = nullptr;
}

void TApplication::RegisterModalLoop(void* Loop) {
    FModalLoops.push_back(Loop);
}
void TApplication::UnregisterModalLoop(void* Loop) {
    FModalLoops.erase(std::remove(FModalLoops.begin(), FModalLoops.end(), Loop), FModalLoops.end());
}

// Screen: the sizes of the desktop rectangle the backend measures.

int TScreen::Width() {
    return DesktopRect().Width();
}

int TScreen::Height() {
    return DesktopRect().Height();
}

} // namespace Norvane::Platform::Ui
