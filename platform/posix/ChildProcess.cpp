#include "platform/ChildProcess.h"

#include "platform/System.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace Norvane::Platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX);
    if (!::getcwd(buffer.data(), buffer.size()))
        return {};
    return std::string(buffer.data());
}

int DecodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 0;
}

// Reaps a child that nobody waits for, so that it leaves no zombie behind.
void ReapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

class SpawnActions {
public:
    SpawnActions() {
        ::posix_spawn_file_actions_init(&FActions);
        ::posix_spawnattr_init(&FAttributes);
    }
    ~SpawnActions() {
        ::posix_spawn_file_actions_destroy(&FActions);
        ::posix_spawnattr_destroy(&FAttributes);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    posix_spawn_file_actions_t FActions;
    posix_spawnattr_t FAttributes;
};

// The pipes of a child: the caller's ends (-1 where there is none).
struct ChildPipes {
    int Output = -1;
    int Error = -1;
    int Input = -1;
};

// A pipe whose two ends close on exec; false with the last error set.
bool MakePipe(int (&fds)[2]) {
    if (::pipe2(fds, O_CLOEXEC) == 0)
        return true;
    SetLastError(errno);
    return false;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Starts the process; on success returns its id and in Pipes the caller's
// ends of the pipes asked for.
pid_t Spawn(const ProcessStartInfo& info, ChildPipes& Pipes) {
    Pipes = ChildPipes();
    if (info.Arguments.empty() || info.Arguments.front().empty()) {
        SetLastError(ENOENT);
        return -1;
    }
    std::string program = FindProgram(info.Arguments.front());
    if (program.empty()) {
        SetLastError(ENOENT, "Program not found: " + info.Arguments.front());
        return -1;
    }
    std::vector<char*> argv;
    for (const auto& argument : info.Arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnActions spawn;
    int outputFds[2] = {-1, -1};
    int errorFds[2] = {-1, -1};
    int inputFds[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* fd : {&outputFds[0], &outputFds[1], &errorFds[0], &errorFds[1], &inputFds[0], &inputFds[1]})
            CloseFd(*fd);
    };
    if (info.CaptureOutput) {
        if (!MakePipe(outputFds))
            return -1;
        ::posix_spawn_file_actions_adddup2(&spawn.FActions, outputFds[1], STDOUT_FILENO);
        if (info.SeparateErrorOutput) {
            if (!MakePipe(errorFds)) {
                closeAll();
                return -1;
            }
            ::posix_spawn_file_actions_adddup2(&spawn.FActions, errorFds[1], STDERR_FILENO);
        } else {
            ::posix_spawn_file_actions_adddup2(&spawn.FActions, outputFds[1], STDERR_FILENO);
        }
    }
    if (info.InputPipe) {
        if (!MakePipe(inputFds)) {
            closeAll();
            return -1;
        }
        ::posix_spawn_file_actions_adddup2(&spawn.FActions, inputFds[0], STDIN_FILENO);
    }
    if (!info.WorkingDir.empty())
        ::posix_spawn_file_actions_addchdir_np(&spawn.FActions, info.WorkingDir.c_str());
    ::posix_spawn_file_actions_addclosefrom_np(&spawn.FActions, STDERR_FILENO + 1);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&spawn.FAttributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    ::posix_spawnattr_setsigdefault(&spawn.FAttributes, &defaults);
    if (info.NewProcessGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        ::posix_spawnattr_setpgroup(&spawn.FAttributes, 0);
    }
    ::posix_spawnattr_setflags(&spawn.FAttributes, flags);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, program.c_str(), &spawn.FActions, &spawn.FAttributes, argv.data(), environ);
    // Only the child and its descendants keep the child's ends.
    CloseFd(outputFds[1]);
    CloseFd(errorFds[1]);
    CloseFd(inputFds[0]);
    if (rc != 0) {
        closeAll();
        SetLastError(rc);
        return -1;
    }
    Pipes.Output = outputFds[0];
    Pipes.Error = errorFds[0];
    Pipes.Input = inputFds[1];
    return pid;
}

// Reads from Fd, again after an interruption; 0 at the end or on an error.
std::size_t ReadFd(int Fd, char* Buffer, std::size_t Size) {
    if (Fd < 0 || Size == 0)
        return 0;
    for (;;) {
        ssize_t n = ::read(Fd, Buffer, Size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return 0;
    }
}

// What a read bounded by the process's end knows: whether the end was seen,
// and how many bytes were in the pipe at that moment and are not read yet.
struct EndBound {
    bool Ended = false;
    std::size_t Left = 0;
};

// Reads from Fd as ReadFd does while the process of EndFd runs. Once its end
// shows, the bytes in the pipe at that moment are all that is read: whatever
// a process it left behind writes later is not waited for. The end is looked
// at before the pipe, so a descendant writing without pause cannot hold the
// read open either.
std::size_t ReadFdUntilEnd(int Fd, int EndFd, EndBound& Bound, char* Buffer, std::size_t Size) {
    if (Fd < 0 || Size == 0)
        return 0;
    if (EndFd < 0)
        return ReadFd(Fd, Buffer, Size);
    while (!Bound.Ended) {
        pollfd entries[2] = {{EndFd, POLLIN, 0}, {Fd, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return ReadFd(Fd, Buffer, Size);
        }
        if (entries[0].revents != 0) {
            int pending = 0;
            Bound.Ended = true;
            Bound.Left =
                ::ioctl(Fd, FIONREAD, &pending) == 0 && pending > 0 ? static_cast<std::size_t>(pending) : 0;
        } else if (entries[1].revents != 0) {
            return ReadFd(Fd, Buffer, Size); // data, the pipe's end, or an error
        }
    }
    if (Bound.Left == 0)
        return 0;
    const std::size_t read = ReadFd(Fd, Buffer, std::min(Size, Bound.Left));
    Bound.Left = read == 0 ? 0 : Bound.Left - read;
    return read;
}

// Writes all of Data to Fd with SIGPIPE held back on this thread, so that a
// child that stopped reading gives false instead of ending the caller.
bool WriteAllFd(int Fd, const char* Data, std::size_t Size) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    bool wasPending = false;
    {
        sigset_t pending;
        sigemptyset(&pending);
        ::sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    bool ok = true;
    bool broken = false;
    while (Size > 0) {
        ssize_t n = ::write(Fd, Data, Size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            broken = errno == EPIPE;
            ok = false;
            break;
        }
        Data += n;
        Size -= static_cast<std::size_t>(n);
    }
    if (broken && !wasPending) {
        // Takes the SIGPIPE this write raised before the mask is restored.
        timespec now{0, 0};
        while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return ok;
}

class PosixChildProcess : public ChildProcess {
public:
    // The process descriptor is opened at once, before the child can have been
    // reaped, so its id cannot have been given to another process. It is
    // close-on-exec by default; -1 where the kernel refuses. (The C library's
    // own declaration lacks C linkage in some versions.)
    PosixChildProcess(pid_t pid, const ChildPipes& pipes)
        : FPid(pid), FPipes(pipes), FPidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u))) {}
    ~PosixChildProcess() override {
        CloseFd(FPipes.Output);
        CloseFd(FPipes.Error);
        CloseFd(FPipes.Input);
        if (FPidFd >= 0)
            ::close(FPidFd);
        if (!FEnded)
            ReapInBackground(FPid);
    }
    PosixChildProcess(const PosixChildProcess&) = delete;
    PosixChildProcess& operator=(const PosixChildProcess&) = delete;

    int ExitCode() override {
        if (FEnded)
            return FExitCode;
        int status = 0;
        pid_t rc;
        do {
            rc = ::waitpid(FPid, &status, WNOHANG);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0)
            return StillActive;
        Finish(rc == FPid ? DecodeStatus(status) : 0);
        return FExitCode;
    }

    int Wait() override {
        if (FEnded)
            return FExitCode;
        int status = 0;
        pid_t rc;
        do {
            rc = ::waitpid(FPid, &status, 0);
        } while (rc < 0 && errno == EINTR);
        Finish(rc == FPid ? DecodeStatus(status) : 0);
        return FExitCode;
    }

    std::size_t ReadOutput(char* Buffer, std::size_t Size) override {
        return ReadFd(FPipes.Output, Buffer, Size);
    }
    std::size_t ReadErrorOutput(char* Buffer, std::size_t Size) override {
        return ReadFd(FPipes.Error, Buffer, Size);
    }
    // Each pipe has one reader at a time.
    std::size_t ReadOutputOfProcess(char* Buffer, std::size_t Size) override {
        return ReadFdUntilEnd(FPipes.Output, FPidFd, FOutputBound, Buffer, Size);
    }
    std::size_t ReadErrorOutputOfProcess(char* Buffer, std::size_t Size) override {
        return ReadFdUntilEnd(FPipes.Error, FPidFd, FErrorBound, Buffer, Size);
    }
    bool WriteInput(const char* Data, std::size_t Size) override {
        return FPipes.Input >= 0 && WriteAllFd(FPipes.Input, Data, Size);
    }
    void CloseInput() override { CloseFd(FPipes.Input); }

    WaitHandle EndHandle() override { return FPidFd; }

    // The child is not reaped before FEnded is set, so the signal cannot reach
    // another process that was given its id.
    bool Terminate(bool Force) override { return !FEnded && ::kill(FPid, Force ? SIGKILL : SIGTERM) == 0; }

private:
    void Finish(int code) {
        FEnded = true;
        FExitCode = code;
    }

    pid_t FPid;
    ChildPipes FPipes;
    int FPidFd;
    EndBound FOutputBound;
    EndBound FErrorBound;
    bool FEnded = false;
    int FExitCode = 0;
};

} // namespace

std::unique_ptr<ChildProcess> StartProcess(const ProcessStartInfo& info) {
    ChildPipes pipes;
    pid_t pid = Spawn(info, pipes);
    if (pid < 0)
        return nullptr;
    return std::make_unique<PosixChildProcess>(pid, pipes);
}

bool WaitForHandle(WaitHandle handle, int milliseconds) {
    if (handle < 0) {
        timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
        return false;
    }
    pollfd entry{static_cast<int>(handle), POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&entry, 1, milliseconds);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

bool StartDetachedProcess(const ProcessStartInfo& info) {
    ProcessStartInfo detached = info;
    detached.CaptureOutput = false;
    detached.InputPipe = false;
    ChildPipes pipes;
    pid_t pid = Spawn(detached, pipes);
    if (pid < 0)
        return false;
    ReapInBackground(pid);
    return true;
}

std::vector<std::string> CommandInterpreterArguments(const std::string& commandLine) {
    return {"/bin/sh", "-c", commandLine};
}

std::string FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos) {
        std::string path = name.front() == '/' ? name : CurrentFolder() + "/" + name;
        return IsExecutableFile(path) ? path : std::string();
    }
    std::string searchPath;
    if (const char* value = ::getenv("PATH")) {
        searchPath = value;
    } else {
        std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
        std::vector<char> buffer(size + 1);
        ::confstr(_CS_PATH, buffer.data(), buffer.size());
        searchPath = buffer.data();
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = searchPath.find(':', start);
        std::string folder =
            searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty())
            folder = CurrentFolder();
        std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate.front() == '/' ? candidate : CurrentFolder() + "/" + candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

} // namespace Norvane::Platform
