#include "platform/Interrupts.h"

#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace Norvane::Platform {
namespace {

volatile std::sig_atomic_t Requested = 0;
struct sigaction PreviousInt {
}, PreviousTerm{};

void Record(int Signal) {
    if (Requested) {
        // Asked twice: end now, as the signal does by default.
        ::signal(Signal, SIG_DFL);
        ::raise(Signal);
        return;
    }
    Requested = Signal;
}

} // namespace

InterruptGuard::InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = Record;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &PreviousInt);
    ::sigaction(SIGTERM, &action, &PreviousTerm);
}

InterruptGuard::~InterruptGuard() {
    ::sigaction(SIGINT, &PreviousInt, nullptr);
    ::sigaction(SIGTERM, &PreviousTerm, nullptr);
}

bool InterruptRequested() {
    return Requested != 0;
}

void EndIfInterrupted() {
    int signal = Requested;
    if (!signal)
        return;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace Norvane::Platform
