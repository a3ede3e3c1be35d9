// Ending the session with ExitWindowsEx (the shutdown privilege enabled
// first) and starting programs elevated with ShellExecuteExW's "runas".
#include "platform/Session.h"
#include "platform/SessionDefaults.h"

#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

#include <shellapi.h>

namespace Norvane::Platform {
namespace {

// Enables a privilege the process token holds but has disabled.
bool EnablePrivilege(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = ::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) &&
              ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              ::GetLastError() == ERROR_SUCCESS; // ERROR_NOT_ALL_ASSIGNED otherwise
    ::CloseHandle(token);
    return ok;
}

class ExitWindowsSessionControl : public SessionControl {
public:
    bool EndSession(SessionAction action, bool force) override {
        UINT flags = EWX_LOGOFF;
        if (action == SessionAction::Reboot)
            flags = EWX_REBOOT;
        else if (action == SessionAction::PowerOff)
            flags = EWX_POWEROFF;
        if (force)
            flags |= EWX_FORCE;
        // Logging off needs no privilege; the other two fail without it.
        if (action != SessionAction::LogOff)
            EnablePrivilege(L"SeShutdownPrivilege"); // SE_SHUTDOWN_NAME
        if (::ExitWindowsEx(flags, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED))
            return true;
        Win32::SetLastErrorFromSystem();
        return false;
    }
};

class RunAsElevation : public Elevation {
public:
    std::unique_ptr<ChildProcess> StartElevated(const std::string& program,
                                                const std::vector<std::string>& arguments) override {
        std::wstring file = Win32::Widen(program);
        std::wstring parameters;
        for (const std::string& argument : arguments)
            parameters += (parameters.empty() ? L"" : L" ") + Win32::QuoteArgument(Win32::Widen(argument));
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"runas";
        info.lpFile = file.c_str();
        info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&info)) {
            // ERROR_CANCELLED: the user refused the prompt; nothing was started.
            Win32::SetLastErrorFromSystem();
            return nullptr;
        }
        if (!info.hProcess) {
            SetLastError(ERROR_INVALID_HANDLE, "The elevated program gave no process to wait for");
            return nullptr;
        }
        return Win32::AdoptProcess(info.hProcess);
    }
};

} // namespace

std::shared_ptr<SessionControl> MakeSystemSessionControl() {
    return std::make_shared<ExitWindowsSessionControl>();
}

std::shared_ptr<Elevation> MakeSystemElevation() {
    return std::make_shared<RunAsElevation>();
}

} // namespace Norvane::Platform
