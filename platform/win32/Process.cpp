#include "platform/Process.h"

#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

#include <shellapi.h>

#include <cstdlib>
#include <mutex>

// <windows.h> names the wide variant of these by macro.
#undef LoadLibrary

namespace Norvane::Platform {

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return Win32::Narrow(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!list)
        return arguments;
    for (int i = 1; i < count; ++i) // the program first
        arguments.push_back(Win32::Narrow(list[i]));
    ::LocalFree(list);
    return arguments;
}

void ExitProcess(int code) {
    ::ExitProcess(static_cast<UINT>(code));
}

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(::GetCurrentProcessId());
}

void RunCurrentThreadInBackground() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

std::optional<std::string> GetEnv(const std::string& name) {
    std::wstring wideName = Win32::Widen(name);
    // An empty variable also gives 0, without an error of its own.
    ::SetLastError(ERROR_SUCCESS);
    DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    std::wstring value(size, L'\0');
    DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (n >= size)
        return std::nullopt; // changed between the two calls
    value.resize(n);
    return Win32::Narrow(value);
}

// The C runtime keeps a copy of the environment for getenv; both are updated.
// The runtime's copy first: it passes the change on to the process's
// environment, and an empty value there would remove the variable.
void SetEnv(const std::string& name, const std::string& value) {
    std::wstring wideName = Win32::Widen(name);
    std::wstring wideValue = Win32::Widen(value);
    ::_wputenv_s(wideName.c_str(), wideValue.c_str());
    ::SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
}

void UnsetEnv(const std::string& name) {
    std::wstring wideName = Win32::Widen(name);
    ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
    ::_wputenv_s(wideName.c_str(), L"");
}

namespace {
std::mutex LibraryErrorLock;
std::string LibraryError;
} // namespace

LibraryHandle LoadLibrary(const std::string& path) {
    std::wstring widePath = Win32::Widen(path);
    // The library's own folder is searched for its dependencies, as a loader
    // library shipped beside its helpers expects.
    HMODULE module = ::LoadLibraryExW(widePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = module ? 0 : ::GetLastError();
    std::lock_guard lock(LibraryErrorLock);
    if (!module) {
        LibraryError = "cannot load " + path + ": " + SystemErrorMessage(static_cast<int>(error));
        Win32::SetLastErrorFromSystem(error);
    } else {
        LibraryError.clear();
    }
    return reinterpret_cast<LibraryHandle>(module);
}

void* GetProcAddress(LibraryHandle library, const char* name) {
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibrary(LibraryHandle library) {
    if (library)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

std::string LastLibraryError() {
    std::lock_guard lock(LibraryErrorLock);
    return LibraryError;
}

} // namespace Norvane::Platform
