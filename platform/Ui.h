// Hooks through which the units below the user-interface layer reach it:
// a message box, pumping pending events, and the "asked to terminate" flag.
// Until the user-interface layer installs its own, text-only defaults apply
// (the message box is written to standard error and answers OK).
#pragma once

#include <functional>
#include <string>

namespace Norvane::Platform {

enum class MessageBoxIcon { None, Error, Warning, Information, Question };
enum class MessageBoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
// Results in the values of the classic dialog results.
enum class MessageBoxResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct UiHooks {
    std::function<MessageBoxResult(const std::string& text, const std::string& caption, MessageBoxIcon icon,
                                   MessageBoxButtons buttons)>
        MessageBox;
    std::function<void()> ProcessMessages;
    std::function<bool()> Terminated;
};

// Installs the hooks; empty members keep the defaults.
void SetUiHooks(UiHooks hooks);

MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon,
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);
void ProcessMessages();
bool ApplicationTerminated();

} // namespace Norvane::Platform
