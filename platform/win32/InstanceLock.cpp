// The lock is a named mutex of the session's namespace ("Local\"): it exists
// while any process holds a handle to it, and the system closes the handles
// of a process that ends. Requests to show the window come through a named
// pipe of the first instance, whose default security lets only its own user
// (and the system's administrators) write to it.
#include "platform/InstanceLock.h"

#include "platform/win32/Win32Internal.h"

#include <functional>
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

constexpr char ShowRequest = 'S';
constexpr DWORD ReadWindow = 1000; // ms a request has to arrive whole

// Pipes are not in the session's namespace: the name holds the session.
std::wstring ShowPipeName(const std::string& Name) {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return Win32::Widen("\\\\.\\pipe\\norvane-show-" + std::to_string(session) + "-" +
                        TInstanceLock::EncodeName(Name));
}

// The TOKEN_USER of Process; empty when it cannot be read.
std::vector<BYTE> TokenUserOf(HANDLE Process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(Process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    ::CloseHandle(token);
    return user;
}

bool ProcessIsOurUser(ULONG ProcessId) {
    Win32::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessId));
    if (!process.Valid())
        return false;
    const std::vector<BYTE> theirs = TokenUserOf(process.Get());
    const std::vector<BYTE> ours = TokenUserOf(::GetCurrentProcess());
    return !theirs.empty() && !ours.empty() &&
           ::EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                      reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid);
}

constexpr DWORD Stopped = 0xFFFFFFFF;

// Waits for the overlapped operation that a call on Pipe began (Started: the
// call's result) for at most Timeout ms. Returns 0 when it completed, Stopped
// when Stop was set first, else the error (WAIT_TIMEOUT, ERROR_BROKEN_PIPE...).
// An operation given up is cancelled before this returns.
DWORD Await(HANDLE Pipe, HANDLE Stop, OVERLAPPED& Overlapped, BOOL Started, DWORD& Count, DWORD Timeout) {
    Count = 0;
    if (!Started && ::GetLastError() != ERROR_IO_PENDING)
        return ::GetLastError();
    HANDLE waits[2] = {Stop, Overlapped.hEvent};
    const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, Timeout);
    if (woke != WAIT_OBJECT_0 + 1) {
        ::CancelIoEx(Pipe, &Overlapped);
        ::GetOverlappedResult(Pipe, &Overlapped, &Count, TRUE);
        return woke == WAIT_OBJECT_0 ? Stopped : WAIT_TIMEOUT;
    }
    return ::GetOverlappedResult(Pipe, &Overlapped, &Count, FALSE) ? 0 : ::GetLastError();
}

// Serves the requests that reach Pipe, one client at a time, until Stop is
// set. A client of another user is disconnected unread.
void ServeShowRequests(HANDLE Pipe, HANDLE Stop,
                       const std::function<void(const std::vector<std::string>&)>& OnRequest) {
    Win32::Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.Valid())
        return;
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.Get();
        DWORD count = 0;
        const BOOL connected = ::ConnectNamedPipe(Pipe, &overlapped);
        DWORD result = 0;
        if (connected || ::GetLastError() != ERROR_PIPE_CONNECTED)
            result = Await(Pipe, Stop, overlapped, connected, count, INFINITE);
        if (result == Stopped)
            return;
        ULONG client = 0;
        if (result == 0 && ::GetNamedPipeClientProcessId(Pipe, &client) && ProcessIsOurUser(client)) {
            std::string bytes;
            bool whole = false;
            const ULONGLONG deadline = ::GetTickCount64() + ReadWindow;
            char buffer[4096];
            // The request byte, then at most the arguments' bound.
            while (bytes.size() <= 1 + TInstanceLock::MaxShowArgumentBytes) {
                const ULONGLONG now = ::GetTickCount64();
                if (now >= deadline)
                    break;
                const BOOL read = ::ReadFile(Pipe, buffer, sizeof buffer, nullptr, &overlapped);
                result = Await(Pipe, Stop, overlapped, read, count, static_cast<DWORD>(deadline - now));
                if (result == Stopped)
                    return;
                if (result != 0) {
                    whole = result == ERROR_BROKEN_PIPE; // the asker closed its end: all is here
                    break;
                }
                bytes.append(buffer, count);
            }
            if (!bytes.empty() && bytes[0] == ShowRequest)
                OnRequest(whole ? TInstanceLock::ParseShowArguments(bytes.substr(1))
                                : std::vector<std::string>());
        }
        ::DisconnectNamedPipe(Pipe);
    }
}

} // namespace

bool TInstanceLock::ListenForShowRequests(const std::string& Name,
                                          std::function<void(const std::vector<std::string>&)> OnRequest) {
    if (FListener >= 0 || !OnRequest)
        return false;
    // The first instance of the name: a pipe someone else made first is not ours to answer.
    HANDLE pipe =
        ::CreateNamedPipeW(ShowPipeName(Name).c_str(),
                           PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                           64 * 1024, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE waiting = nullptr;
    if (!stop || !::DuplicateHandle(::GetCurrentProcess(), stop, ::GetCurrentProcess(), &waiting, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS)) {
        if (stop)
            ::CloseHandle(stop);
        ::CloseHandle(pipe);
        return false;
    }
    FListener = reinterpret_cast<std::intptr_t>(stop);
    // The thread owns the pipe and its own handle of the stop event; Release
    // sets the event, and the pipe's name goes with the thread.
    std::thread([pipe, waiting, OnRequest = std::move(OnRequest)] {
        ServeShowRequests(pipe, waiting, OnRequest);
        ::CloseHandle(pipe);
        ::CloseHandle(waiting);
    }).detach();
    return true;
}

bool TInstanceLock::AskToShow(const std::string& Name, const std::vector<std::string>& Arguments) {
    const std::wstring name = ShowPipeName(Name);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    // The listener serves one asker at a time: wait a little for our turn.
    for (int attempt = 0; attempt < 10; ++attempt) {
        pipe = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_PIPE_BUSY)
            break;
        ::WaitNamedPipeW(name.c_str(), 500);
    }
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    // Our arguments go only to a listener of our own user.
    ULONG server = 0;
    bool sent = ::GetNamedPipeServerProcessId(pipe, &server) && ProcessIsOurUser(server);
    if (sent) {
        // The listening instance may then take the foreground from us.
        ::AllowSetForegroundWindow(server);
        const std::string bytes = ShowRequest + ShowArgumentBytes(Arguments);
        DWORD written = 0;
        sent = ::WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
        ::FlushFileBuffers(pipe); // until the listener has read it
    }
    ::CloseHandle(pipe);
    return sent;
}

void TInstanceLock::Release() {
    if (FListener >= 0) {
        ::SetEvent(reinterpret_cast<HANDLE>(FListener)); // the listening thread ends
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
