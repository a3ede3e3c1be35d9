#include "tests/edgeex/TestProcess.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace Norvane::Testing::EdgeEx {
namespace {

constexpr const char* SleepArgument = "--run-as-browser-process";

#ifdef _WIN32

// The exit code the control gives a process it ends (TerminateProcess).
constexpr DWORD EndedByControlCode = 1;

class TWin32Process final : public TTestProcess {
public:
    explicit TWin32Process(const PROCESS_INFORMATION& Info) : FInfo(Info) {}
    ~TWin32Process() override {
        ::TerminateProcess(FInfo.hProcess, 0);
        ::CloseHandle(FInfo.hThread);
        ::CloseHandle(FInfo.hProcess);
    }
    std::uint32_t Id() const override { return FInfo.dwProcessId; }
    HANDLE Handle() const { return FInfo.hProcess; }
    TEnd Wait() override {
        DWORD code = 0;
        if (::WaitForSingleObject(FInfo.hProcess, 60000) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(FInfo.hProcess, &code))
            return {false, false, 0};
        return {true, code == EndedByControlCode, static_cast<int>(code)};
    }

private:
    PROCESS_INFORMATION FInfo;
};

std::unique_ptr<TWin32Process> Start(std::wstring CommandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info))
        return nullptr;
    return std::make_unique<TWin32Process>(info);
}

#else

class TPosixProcess final : public TTestProcess {
public:
    explicit TPosixProcess(pid_t Pid) : FPid(Pid) {}
    ~TPosixProcess() override {
        if (!FWaited) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    std::uint32_t Id() const override { return static_cast<std::uint32_t>(FPid); }
    TEnd Wait() override {
        int status = 0;
        if (::waitpid(FPid, &status, 0) != FPid)
            return {false, false, 0};
        FWaited = true;
        if (WIFSIGNALED(status))
            return {true, WTERMSIG(status) == SIGKILL, 128 + WTERMSIG(status)};
        return {true, false, WEXITSTATUS(status)};
    }

private:
    pid_t FPid;
    bool FWaited = false;
};

std::unique_ptr<TTestProcess> Start(std::vector<std::string> Arguments) {
    std::vector<char*> argv;
    for (auto& argument : Arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return nullptr;
    return std::make_unique<TPosixProcess>(pid);
}

#endif

} // namespace

std::unique_ptr<TTestProcess> TTestProcess::StartRunning() {
#ifdef _WIN32
    wchar_t program[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring line = L"\"" + std::wstring(program, length) + L"\" ";
    for (const char* c = SleepArgument; *c; ++c)
        line += static_cast<wchar_t>(*c);
    return Start(line);
#else
    return Start({"sleep", "30"});
#endif
}

std::unique_ptr<TTestProcess> TTestProcess::StartEnded(int Code) {
#ifdef _WIN32
    auto process = Start(L"cmd.exe /C exit " + std::to_wstring(Code));
    // The open handle keeps the ended process and its identifier.
    if (process && ::WaitForSingleObject(process->Handle(), 60000) != WAIT_OBJECT_0)
        return nullptr;
    return process;
#else
    auto process = Start({"sh", "-c", "exit " + std::to_string(Code)});
    siginfo_t info{};
    if (process &&
        waitid(P_PID, static_cast<id_t>(process->Id()), &info, WEXITED | WNOWAIT) != 0) // not reaped
        return nullptr;
    return process;
#endif
}

bool RunAsTestProcess(const char* Argument) {
    if (!Argument || std::strcmp(Argument, SleepArgument) != 0)
        return false;
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return true;
}

} // namespace Norvane::Testing::EdgeEx
