// Starting child processes, reading their output and waiting for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Norvane::Platform {

// The exit code reported for a process that has not ended yet.
inline constexpr int StillActive = 259;

// A handle of the system that a wait can block on (here a descriptor that
// becomes readable); NoWaitHandle when there is none.
using WaitHandle = std::intptr_t;
inline constexpr WaitHandle NoWaitHandle = -1;

struct ProcessStartInfo {
    // The program and its arguments. A program name without "/" is looked up
    // in the folders of PATH; a relative path is taken from the current folder.
    std::vector<std::string> Arguments;
    // Folder the child starts in; empty: the caller's current folder.
    std::string WorkingDir;
    // Starts the child as the leader of a new process group.
    bool NewProcessGroup = false;
    // Joins the child's standard output and standard error into one pipe that
    // ReadOutput reads. Otherwise the child shares the caller's streams.
    bool CaptureOutput = false;
    // With CaptureOutput: standard error goes to a pipe of its own, which
    // ReadErrorOutput reads, and standard output alone to ReadOutput's.
    bool SeparateErrorOutput = false;
    // Standard input comes from a pipe that WriteInput writes and CloseInput
    // closes. Otherwise the child inherits the caller's standard input.
    bool InputPipe = false;
};
// In every case the child inherits none of the caller's other open files.

class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // StillActive while the process runs, then its exit code (128 plus the
    // signal number when a signal ended it).
    virtual int ExitCode() = 0;
    // Waits without limit for the end; returns the exit code.
    virtual int Wait() = 0;
    // Reads up to Size bytes of the captured output; returns the number read,
    // 0 at the end of the output (all writers closed) or on an error.
    virtual std::size_t ReadOutput(char* Buffer, std::size_t Size) = 0;
    // The same for standard error when it was started with
    // SeparateErrorOutput; 0 at once otherwise. ReadOutput and
    // ReadErrorOutput may run on two threads at the same time.
    virtual std::size_t ReadErrorOutput(char* Buffer, std::size_t Size) {
        (void)Buffer;
        (void)Size;
        return 0;
    }
    // As ReadOutput and ReadErrorOutput, but bounded by the end of the process
    // itself: once it has ended, only what was already in the pipe then is
    // read, then 0, even while a process it started in the background still
    // holds the pipe open. Where the end cannot be watched together with the
    // pipe (no EndHandle, or no backend support) they read to the pipe's end.
    virtual std::size_t ReadOutputOfProcess(char* Buffer, std::size_t Size) {
        return ReadOutput(Buffer, Size);
    }
    virtual std::size_t ReadErrorOutputOfProcess(char* Buffer, std::size_t Size) {
        return ReadErrorOutput(Buffer, Size);
    }
    // Writes all Size bytes to the child's standard input (started with
    // InputPipe), blocking while the pipe is full. False when the input was
    // closed or the child no longer reads it (no signal is raised for that).
    virtual bool WriteInput(const char* Data, std::size_t Size) {
        (void)Data;
        (void)Size;
        return false;
    }
    // Closes the child's standard input, so that it reads its end. Not while
    // WriteInput runs on another thread.
    virtual void CloseInput() {}
    // A handle that is signalled once the process has ended (here a process
    // descriptor), owned by this object; NoWaitHandle when the system offers
    // none, and then waiting falls back to checking ExitCode now and then.
    virtual WaitHandle EndHandle() { return NoWaitHandle; }
    // Asks the process to end (SIGTERM here), or with Force ends it at once
    // (SIGKILL; TerminateProcess on Windows, either way). False when it could
    // not be asked, also for a process that has ended and been waited for.
    virtual bool Terminate(bool Force) {
        (void)Force;
        return false;
    }
};

// Blocks until the handle is signalled or Milliseconds have passed; true when
// it was signalled. Without a handle it only lets the time pass.
bool WaitForHandle(WaitHandle handle, int milliseconds);

// Starts a process. Returns null, with the last error set, when the program
// cannot be found or started or the working folder cannot be entered.
std::unique_ptr<ChildProcess> StartProcess(const ProcessStartInfo& info);

// Starts a process that runs on its own: nobody waits for it, and it leaves no
// trace when it ends. True when it could be started (last error set otherwise).
bool StartDetachedProcess(const ProcessStartInfo& info);

// The arguments that run a command line through the system's command
// interpreter: /bin/sh -c here; on Windows cmd.exe /C, which reads the line
// as written.
std::vector<std::string> CommandInterpreterArguments(const std::string& commandLine);

// The full path of a program: a name containing "/" is made absolute against
// the current folder; a bare name is looked up in PATH. Empty when there is no
// executable file of that name.
std::string FindProgram(const std::string& name);

} // namespace Norvane::Platform
