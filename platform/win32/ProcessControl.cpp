#include "platform/ProcessControl.h"

#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

namespace Norvane::Platform {
namespace {

// The handle refers to the process itself, so a reused identifier is never hit.
class Win32OpenedProcess final : public OpenedProcess {
public:
    explicit Win32OpenedProcess(HANDLE process) : FProcess(process) {}

    bool WaitForExit(int TimeoutMs) override {
        DWORD rc =
            ::WaitForSingleObject(FProcess.Get(), TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs));
        if (rc == WAIT_FAILED)
            Win32::SetLastErrorFromSystem();
        return rc == WAIT_OBJECT_0;
    }

    bool Terminate(int ExitCode) override {
        if (::TerminateProcess(FProcess.Get(), static_cast<UINT>(ExitCode)))
            return true;
        Win32::SetLastErrorFromSystem();
        return false;
    }

private:
    Win32::Handle FProcess;
};

} // namespace

std::unique_ptr<OpenedProcess> OpenProcess(std::int64_t ProcessId) {
    if (ProcessId <= 0 || ProcessId > 0xFFFFFFFFll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   static_cast<DWORD>(ProcessId));
    if (!process) {
        Win32::SetLastErrorFromSystem();
        return nullptr;
    }
    return std::make_unique<Win32OpenedProcess>(process);
}

} // namespace Norvane::Platform
