// Other processes on Linux: a process file descriptor (pidfd) refers to the
// process itself, so waiting and killing never hit a later process that
// happens to reuse the identifier.
#include "platform/ProcessControl.h"
#include "platform/System.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Norvane::Platform {
namespace {

// Called through syscall(): the C library's own declarations of these two
// lack C linkage in some versions of its header.
int PidFdOpen(pid_t Pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, Pid, 0u));
}
int PidFdSendSignal(int Fd, int Signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, Fd, Signal, nullptr, 0u));
}

class PidFdProcess final : public OpenedProcess {
public:
    explicit PidFdProcess(int Fd) : FFd(Fd) {}
    ~PidFdProcess() override { ::close(FFd); }
    PidFdProcess(const PidFdProcess&) = delete;
    PidFdProcess& operator=(const PidFdProcess&) = delete;

    bool WaitForExit(int TimeoutMs) override {
        pollfd entry{FFd, POLLIN, 0};
        for (;;) {
            int ready = ::poll(&entry, 1, TimeoutMs < 0 ? -1 : TimeoutMs);
            if (ready >= 0)
                return ready > 0;
            if (errno != EINTR) {
                SetLastError(errno);
                return false;
            }
        }
    }

    bool Terminate(int) override {
        if (PidFdSendSignal(FFd, SIGKILL) == 0)
            return true;
        SetLastError(errno);
        return false;
    }

private:
    int FFd;
};

} // namespace

std::unique_ptr<OpenedProcess> OpenProcess(std::int64_t ProcessId) {
    if (ProcessId <= 0) {
        SetLastError(ESRCH);
        return nullptr;
    }
    int fd = PidFdOpen(static_cast<pid_t>(ProcessId));
    if (fd < 0) {
        SetLastError(errno);
        return nullptr;
    }
    return std::make_unique<PidFdProcess>(fd);
}

} // namespace Norvane::Platform
