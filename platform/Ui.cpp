#include "platform/Ui.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace Norvane::Platform {
namespace {

std::mutex HooksLock;
UiHooks Hooks;
std::atomic<bool> TerminateRequested{false};

UiHooks CurrentHooks() {
    std::lock_guard lock(HooksLock);
    return Hooks;
}

} // namespace

void SetUiHooks(UiHooks hooks) {
    std::lock_guard lock(HooksLock);
    if (hooks.MessageBox)
        Hooks.MessageBox = std::move(hooks.MessageBox);
    if (hooks.ProcessMessages)
        Hooks.ProcessMessages = std::move(hooks.ProcessMessages);
    if (hooks.WaitMessagesUntil)
        Hooks.WaitMessagesUntil = std::move(hooks.WaitMessagesUntil);
    if (hooks.Terminated)
        Hooks.Terminated = std::move(hooks.Terminated);
    if (hooks.Terminate)
        Hooks.Terminate = std::move(hooks.Terminate);
    if (hooks.WindowCaptions)
        Hooks.WindowCaptions = std::move(hooks.WindowCaptions);
    if (hooks.PressKey)
        Hooks.PressKey = std::move(hooks.PressKey);
    if (hooks.ExtractIcon)
        Hooks.ExtractIcon = std::move(hooks.ExtractIcon);
    if (hooks.TextWidth)
        Hooks.TextWidth = std::move(hooks.TextWidth);
}

MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon,
                                MessageBoxButtons buttons) {
    auto hooks = CurrentHooks();
    if (hooks.MessageBox)
        return hooks.MessageBox(text, caption, icon, buttons);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return buttons == MessageBoxButtons::Ok || buttons == MessageBoxButtons::OkCancel ? MessageBoxResult::Ok
                                                                                      : MessageBoxResult::Yes;
}

void ProcessMessages() {
    auto hooks = CurrentHooks();
    if (hooks.ProcessMessages)
        hooks.ProcessMessages();
}

bool ApplicationTerminated() {
    auto hooks = CurrentHooks();
    return hooks.Terminated ? hooks.Terminated() : TerminateRequested.load();
}

int WaitForChildProcess(ChildProcess& process) {
    int code = StillActive;
    auto done = [&] {
        ProcessMessages();
        code = process.ExitCode();
        return code != StillActive || ApplicationTerminated();
    };
    auto hooks = CurrentHooks();
    if (hooks.WaitMessagesUntil && hooks.WaitMessagesUntil(process.EndHandle(), done))
        return code;
    // Without the toolkit's wait, the end is waited for in slices, so that
    // pending events and a termination request are still seen in time.
    constexpr int SliceMs = 100;
    while (!done())
        WaitForHandle(process.EndHandle(), SliceMs);
    return code;
}

void TerminateApplication() {
    auto hooks = CurrentHooks();
    if (hooks.Terminate)
        hooks.Terminate();
    else
        TerminateRequested = true;
}

std::vector<std::string> TopLevelWindowCaptions() {
    auto hooks = CurrentHooks();
    return hooks.WindowCaptions ? hooks.WindowCaptions() : std::vector<std::string>();
}

bool SynthesizeKeyPress(int virtualKey) {
    auto hooks = CurrentHooks();
    return hooks.PressKey ? hooks.PressKey(virtualKey) : false;
}

bool ExtractFileIcon(const std::string& filePath, int& width, int& height,
                     std::vector<std::uint8_t>& pixels) {
    auto hooks = CurrentHooks();
    return hooks.ExtractIcon ? hooks.ExtractIcon(filePath, width, height, pixels) : false;
}

int MeasureTextWidth(const std::string& fontName, int fontSize, bool bold, bool italic,
                     const std::string& text) {
    auto hooks = CurrentHooks();
    return hooks.TextWidth ? hooks.TextWidth(fontName, fontSize, bold, italic, text) : 0;
}

} // namespace Norvane::Platform
