// Console control events (Ctrl+C, Ctrl+Break, the console closing) take the
// place of the interrupt and terminate signals.
#include "platform/Interrupts.h"

#include "platform/win32/Win32Internal.h"

#include <atomic>

namespace Norvane::Platform {
namespace {

// The exit status of a console program ended by Ctrl+C (STATUS_CONTROL_C_EXIT).
constexpr UINT InterruptedExitCode = 0xC000013A;

std::atomic<bool> Requested{false};

BOOL WINAPI Record(DWORD /*event*/) {
    if (Requested.exchange(true))
        ::ExitProcess(InterruptedExitCode); // asked twice: end now
    return TRUE;                            // handled: the operation stops at its next check
}

} // namespace

InterruptGuard::InterruptGuard() {
    ::SetConsoleCtrlHandler(Record, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(Record, FALSE);
}

bool InterruptRequested() {
    return Requested.load();
}

void EndIfInterrupted() {
    if (Requested.load())
        ::ExitProcess(InterruptedExitCode);
}

} // namespace Norvane::Platform
