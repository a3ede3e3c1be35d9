// Hooks through which the units below the user-interface layer reach it:
// a message box, pumping pending events, and the "asked to terminate" flag.
// Until the user-interface layer installs its own, text-only defaults apply
// (the message box is written to standard error and answers OK).
#pragma once

#include "platform/ChildProcess.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    // Handles the toolkit's events until Done returns true, blocking in between
    // without using the processor; Done is asked first, after every event and
    // when the handle is signalled. False, without asking Done, when it cannot
    // wait here (not the user-interface thread); the caller then waits for the
    // handle alone, a little at a time.
    std::function<bool(WaitHandle handle, const std::function<bool()>& done)> WaitMessagesUntil;
    std::function<bool()> Terminated;
    // Asks the application to end its message loop (default: a flag that
    // ApplicationTerminated reports while no Terminated hook is installed).
    std::function<void()> Terminate;
    // Titles of the desktop's top-level windows, front to back (default: none).
    std::function<std::vector<std::string>()> WindowCaptions;
    // Synthesises a press and a release of a Windows virtual-key code
    // (default: nothing, false).
    std::function<bool(int virtualKey)> PressKey;
    // The first icon of a file as straight R, G, B, A bytes, row by row
    // (default: none, false).
    std::function<bool(const std::string& filePath, int& width, int& height,
                       std::vector<std::uint8_t>& pixels)>
        ExtractIcon;
    // Width in pixels of a text drawn in a font on the screen (default: 0).
    std::function<int(const std::string& fontName, int fontSize, bool bold, bool italic,
                      const std::string& text)>
        TextWidth;
};

// Installs the hooks; empty members keep the defaults.
void SetUiHooks(UiHooks hooks);

MessageBoxResult ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon,
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);
void ProcessMessages();
bool ApplicationTerminated();
// Waits for the end of a child process while pending events are handled, as
// ProcessMessages does, blocking in between. Returns the exit code, or
// StillActive when the application was asked to terminate first.
int WaitForChildProcess(ChildProcess& process);
void TerminateApplication();
std::vector<std::string> TopLevelWindowCaptions();
bool SynthesizeKeyPress(int virtualKey);
bool ExtractFileIcon(const std::string& filePath, int& width, int& height, std::vector<std::uint8_t>& pixels);
int MeasureTextWidth(const std::string& fontName, int fontSize, bool bold, bool italic,
                     const std::string& text);

} // namespace Norvane::Platform
