// The lock is a named mutex of the session's namespace ("Local\"): it exists
// while any process holds a handle to it, and the system closes the handles
// of a process that ends.
#include "platform/InstanceLock.h"

#include "platform/win32/Win32Internal.h"

#include <thread>

namespace Norvane::Platform {

std::string TInstanceLock::LockFilePath(const std::string& Name) {
    return "Local\\norvane-instance-" + EncodeName(Name);
}

bool TInstanceLock::Acquire(const std::string& Name, bool& AlreadyExisted) {
    Release();
    AlreadyExisted = false;
    std::wstring name = Win32::Widen(LockFilePath(Name));
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex)
        return false; // e.g. another kind of object holds the name: go on as if free
    AlreadyExisted = ::GetLastError() == ERROR_ALREADY_EXISTS;
    FHandle = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

namespace {

std::wstring ShowEventName(const std::string& Name) {
    return Win32::Widen("Local\\norvane-show-" + TInstanceLock::EncodeName(Name));
}

} // namespace

bool TInstanceLock::ListenForShowRequests(const std::string& Name,
                                          std::function<void(const std::vector<std::string>&)> OnRequest) {
    if (FListener >= 0 || !OnRequest)
        return false;
    HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, ShowEventName(Name).c_str());
    if (!event)
        return false;
    HANDLE waiting = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), event, ::GetCurrentProcess(), &waiting, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        ::CloseHandle(event);
        return false;
    }
    FListener = reinterpret_cast<std::intptr_t>(event);
    // The thread keeps its own handle and ends with the process.
    std::thread([waiting, OnRequest = std::move(OnRequest)] {
        while (::WaitForSingleObject(waiting, INFINITE) == WAIT_OBJECT_0)
            OnRequest({}); // an event carries no arguments
    }).detach();
    return true;
}

bool TInstanceLock::AskToShow(const std::string& Name, const std::vector<std::string>&) {
    HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ShowEventName(Name).c_str());
    if (!event)
        return false;
    // The listening instance may then take the foreground from us.
    ::AllowSetForegroundWindow(ASFW_ANY);
    const bool sent = ::SetEvent(event) != 0;
    ::CloseHandle(event);
    return sent;
}

void TInstanceLock::Release() {
    if (FListener >= 0) {
        ::CloseHandle(reinterpret_cast<HANDLE>(FListener));
        FListener = -1;
    }
    if (FHandle >= 0) {
        ::CloseHandle(reinterpret_cast<HANDLE>(FHandle));
        FHandle = -1;
    }
}

TInstanceLock::~TInstanceLock() {
    Release();
}

} // namespace Norvane::Platform
