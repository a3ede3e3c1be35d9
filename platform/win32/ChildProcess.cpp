// Child processes with CreateProcessW. The child inherits exactly the handles
// it is given as standard streams (a handle list), never the caller's others.
#include "platform/ChildProcess.h"

#include "platform/Process.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/win32/Win32Internal.h"

#include <algorithm>

namespace Norvane::Platform {
namespace {

bool IsFile(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring FullPath(const std::wstring& path) {
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    DWORD n = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size)
        return {};
    full.resize(n);
    return full;
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// The name as given, then with each extension of PATHEXT when it has none.
std::vector<std::wstring> Candidates(const std::wstring& name) {
    std::vector<std::wstring> out{name};
    std::size_t slash = name.find_last_of(L"\\/");
    if (name.find(L'.', slash == std::wstring::npos ? 0 : slash + 1) != std::wstring::npos)
        return out;
    std::string extensions = GetEnv("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD");
    std::size_t start = 0;
    for (;;) {
        std::size_t end = extensions.find(';', start);
        std::string extension = extensions.substr(start, end == std::string::npos ? end : end - start);
        if (!extension.empty())
            out.push_back(name + Win32::Widen(extension));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

std::wstring FindProgramWide(const std::wstring& name) {
    if (name.empty())
        return {};
    if (name.find_first_of(L"\\/:") != std::wstring::npos) {
        for (const std::wstring& candidate : Candidates(FullPath(name)))
            if (IsFile(candidate))
                return candidate;
        return {};
    }
    // The system folder first (as CreateProcess looks there too), then PATH.
    std::vector<std::wstring> folders{SystemFolder()};
    std::string path = GetEnv("PATH").value_or("");
    std::size_t start = 0;
    for (;;) {
        std::size_t end = path.find(';', start);
        std::string folder = path.substr(start, end == std::string::npos ? end : end - start);
        if (!folder.empty())
            folders.push_back(Win32::Widen(folder));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    for (const std::wstring& folder : folders) {
        if (folder.empty())
            continue;
        std::wstring base = folder.back() == L'\\' || folder.back() == L'/' ? folder : folder + L"\\";
        for (const std::wstring& candidate : Candidates(base + name))
            if (IsFile(candidate))
                return FullPath(candidate);
    }
    return {};
}

// An inheritable duplicate of one of the caller's handles; null when there is none.
Win32::Handle InheritableCopy(HANDLE source) {
    HANDLE copy = nullptr;
    if (source == nullptr || source == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), source, ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS))
        return Win32::Handle();
    return Win32::Handle(copy);
}

// Reads from a pipe's read end; 0 at its end (every writer gone) or on an error.
std::size_t ReadPipe(const Win32::Handle& Pipe, char* Buffer, std::size_t Size) {
    if (!Pipe.Valid() || Size == 0)
        return 0;
    DWORD done = 0;
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(Size, 1u << 30));
    if (!::ReadFile(Pipe.Get(), Buffer, chunk, &done, nullptr))
        return 0; // ERROR_BROKEN_PIPE once every writer is gone
    return done;
}

// The caller's ends of a child's pipes (null where there is none).
struct ChildPipes {
    Win32::Handle Output;
    Win32::Handle Error;
    Win32::Handle Input;
};

// A pipe whose one end (the child's) is inheritable; false with the last error set.
bool MakePipe(Win32::Handle& ReadEnd, Win32::Handle& WriteEnd, bool ChildReads) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        Win32::SetLastErrorFromSystem();
        return false;
    }
    ReadEnd.Reset(readEnd);
    WriteEnd.Reset(writeEnd);
    ::SetHandleInformation(ChildReads ? writeEnd : readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

class Win32ChildProcess : public ChildProcess {
public:
    Win32ChildProcess(HANDLE process, ChildPipes&& pipes)
        : FProcess(process), FOutput(std::move(pipes.Output)), FError(std::move(pipes.Error)),
          FInput(std::move(pipes.Input)) {}

    int ExitCode() override {
        DWORD code = 0;
        if (!::GetExitCodeProcess(FProcess.Get(), &code))
            return 0;
        return static_cast<int>(code);
    }

    int Wait() override {
        ::WaitForSingleObject(FProcess.Get(), INFINITE);
        return ExitCode();
    }

    std::size_t ReadOutput(char* Buffer, std::size_t Size) override {
        return ReadPipe(FOutput, Buffer, Size);
    }
    std::size_t ReadErrorOutput(char* Buffer, std::size_t Size) override {
        return ReadPipe(FError, Buffer, Size);
    }

    bool WriteInput(const char* Data, std::size_t Size) override {
        if (!FInput.Valid())
            return false;
        while (Size > 0) {
            DWORD done = 0;
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(Size, 1u << 30));
            if (!::WriteFile(FInput.Get(), Data, chunk, &done, nullptr))
                return false; // ERROR_NO_DATA once the child closed its end
            Data += done;
            Size -= done;
        }
        return true;
    }

    void CloseInput() override { FInput.Reset(); }

    WaitHandle EndHandle() override { return reinterpret_cast<WaitHandle>(FProcess.Get()); }

    bool Terminate(bool) override { return ::TerminateProcess(FProcess.Get(), 1) != 0; }

private:
    Win32::Handle FProcess;
    Win32::Handle FOutput;
    Win32::Handle FError;
    Win32::Handle FInput;
};

// Starts the process; returns its handle and the caller's ends of the pipes
// asked for.
bool Spawn(const ProcessStartInfo& info, Win32::Handle& process, ChildPipes& pipes) {
    if (info.Arguments.empty() || info.Arguments.front().empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::wstring program = FindProgramWide(Win32::Widen(info.Arguments.front()));
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND, "Program not found: " + info.Arguments.front());
        return false;
    }
    std::vector<std::string> arguments = info.Arguments;
    arguments.front() = Win32::Narrow(program);
    std::wstring commandLine = Win32::BuildCommandLine(arguments);

    Win32::Handle input;
    if (info.InputPipe) {
        if (!MakePipe(input, pipes.Input, true))
            return false;
    } else {
        input = InheritableCopy(::GetStdHandle(STD_INPUT_HANDLE));
    }
    Win32::Handle outputWrite;
    Win32::Handle errorWrite;
    if (info.CaptureOutput) {
        if (!MakePipe(pipes.Output, outputWrite, false))
            return false;
        if (info.SeparateErrorOutput && !MakePipe(pipes.Error, errorWrite, false))
            return false;
    } else {
        outputWrite = InheritableCopy(::GetStdHandle(STD_OUTPUT_HANDLE));
        errorWrite = InheritableCopy(::GetStdHandle(STD_ERROR_HANDLE));
    }

    std::vector<HANDLE> inherited;
    for (HANDLE h : {input.Get(), outputWrite.Get(), errorWrite.Get()})
        if (h != nullptr)
            inherited.push_back(h);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    // A caller without standard streams (a GUI program) leaves a console
    // child the streams of its own new console.
    if (!inherited.empty())
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = outputWrite.Get();
    startup.StartupInfo.hStdError =
        info.CaptureOutput && !info.SeparateErrorOutput ? outputWrite.Get() : errorWrite.Get();
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    bool haveList = !inherited.empty() && ::InitializeProcThreadAttributeList(list, 1, 0, &listSize) &&
                    ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                                inherited.size() * sizeof(HANDLE), nullptr, nullptr);
    if (haveList)
        startup.lpAttributeList = list;

    DWORD flags = CREATE_UNICODE_ENVIRONMENT | (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    if (info.NewProcessGroup)
        flags |= CREATE_NEW_PROCESS_GROUP;
    if (info.CaptureOutput)
        flags |= CREATE_NO_WINDOW; // a console program's output goes to the pipe, not a window
    std::wstring workingDir = Win32::Widen(info.WorkingDir);
    PROCESS_INFORMATION started{};
    BOOL ok = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, !inherited.empty(),
                               flags, nullptr, workingDir.empty() ? nullptr : workingDir.c_str(),
                               &startup.StartupInfo, &started);
    DWORD error = ok ? 0 : ::GetLastError();
    if (haveList)
        ::DeleteProcThreadAttributeList(list);
    if (!ok) {
        pipes = ChildPipes();
        Win32::SetLastErrorFromSystem(error);
        return false;
    }
    ::CloseHandle(started.hThread);
    process.Reset(started.hProcess);
    return true; // the write ends close here: only the child keeps them
}

} // namespace

std::unique_ptr<ChildProcess> Win32::AdoptProcess(HANDLE process) {
    return std::make_unique<Win32ChildProcess>(process, ChildPipes());
}

std::unique_ptr<ChildProcess> StartProcess(const ProcessStartInfo& info) {
    Win32::Handle process;
    ChildPipes pipes;
    if (!Spawn(info, process, pipes))
        return nullptr;
    return std::make_unique<Win32ChildProcess>(process.Release(), std::move(pipes));
}

bool WaitForHandle(WaitHandle handle, int milliseconds) {
    if (handle == NoWaitHandle || handle == 0) {
        ::Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
        return false;
    }
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle),
                                 milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds)) ==
           WAIT_OBJECT_0;
}

bool StartDetachedProcess(const ProcessStartInfo& info) {
    ProcessStartInfo detached = info;
    detached.CaptureOutput = false;
    detached.InputPipe = false;
    Win32::Handle process;
    ChildPipes pipes;
    return Spawn(detached, process, pipes); // the handle closes; the process goes on
}

std::vector<std::string> CommandInterpreterArguments(const std::string& commandLine) {
    return {"cmd.exe", "/C", commandLine};
}

std::string FindProgram(const std::string& name) {
    return Win32::Narrow(FindProgramWide(Win32::Widen(name)));
}

} // namespace Norvane::Platform
