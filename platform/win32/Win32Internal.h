// Helpers of the Win32 backend: text crosses the system boundary as UTF-16,
// while everything above this folder speaks UTF-8.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace Norvane::Platform::Win32 {

// UTF-8 to UTF-16; each ill-formed UTF-8 subpart becomes U+FFFD.
std::wstring Widen(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view text);

// Records GetLastError() (or the given code) as the platform layer's last error.
void SetLastErrorFromSystem();
void SetLastErrorFromSystem(DWORD code);

// One argument quoted for CreateProcessW so that the child's argument
// splitting (the rules of platform/CommandLine.h) gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);
// The command line of a program and its arguments. cmd.exe reads its line as
// written rather than by those rules, so for "cmd.exe /C <line>" (and /K) the
// line follows "/S /C" inside one pair of quotes, untouched.
std::wstring BuildCommandLine(const std::vector<std::string>& arguments);

// Owns a handle; closes it once.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : FHandle(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : FHandle(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Reset();
            FHandle = other.Release();
        }
        return *this;
    }
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE h = FHandle;
        FHandle = nullptr;
        return h;
    }
    void Reset(HANDLE h = nullptr) {
        if (Valid())
            ::CloseHandle(FHandle);
        FHandle = h;
    }

private:
    HANDLE FHandle = nullptr;
};

} // namespace Norvane::Platform::Win32

#include "platform/ChildProcess.h"

#include <memory>

namespace Norvane::Platform::Win32 {

// A started process given by its handle (owned from then on); no output.
std::unique_ptr<ChildProcess> AdoptProcess(HANDLE process);

} // namespace Norvane::Platform::Win32
