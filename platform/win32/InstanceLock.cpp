// The lock is a named mutex of the session's namespace ("Local\"): it exists
// while any process holds a handle to it, and the system closes the handles
// of a process that ends.
#include "platform/InstanceLock.h"

#include "platform/win32/Win32Internal.h"

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

void TInstanceLock::Release() {
    if (FHandle >= 0) {
        ::CloseHandle(reinterpret_cast<HANDLE>(FHandle));
        FHandle = -1;
    }
}

TInstanceLock::~TInstanceLock() {
    Release();
}

} // namespace Norvane::Platform
