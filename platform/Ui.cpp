#include "platform/Ui.h"

#include <cstdio>
#include <mutex>

namespace Norvane::Platform {
namespace {

std::mutex HooksLock;
UiHooks Hooks;

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
    if (hooks.Terminated)
        Hooks.Terminated = std::move(hooks.Terminated);
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
    return hooks.Terminated ? hooks.Terminated() : false;
}

} // namespace Norvane::Platform
