// Other processes of the system, opened by their identifier: waiting for one
// to end and ending it.
#pragma once

#include <cstdint>
#include <memory>

namespace Norvane::Platform {

// A process opened with the rights to wait for it and to end it. Closing the
// object closes the handle; the process itself goes on.
class OpenedProcess {
public:
    virtual ~OpenedProcess() = default;
    // Waits up to TimeoutMs milliseconds for the process to end; true when it
    // has ended (also when it had ended before the call).
    virtual bool WaitForExit(int TimeoutMs) = 0;
    // Ends the process at once. ExitCode is the code to report where the
    // system lets the caller choose one; on Linux the process is killed
    // (SIGKILL) and its status names the signal instead.
    virtual bool Terminate(int ExitCode) = 0;
};

// Opens the process with that identifier; null (last error set) when there is
// none or it cannot be opened.
std::unique_ptr<OpenedProcess> OpenProcess(std::int64_t ProcessId);

} // namespace Norvane::Platform
