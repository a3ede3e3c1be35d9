// Termination requests (interrupt and terminate signals) during a long
// operation that writes files: the first request is recorded instead of
// ending the process at once, so that the operation can stop at its next
// check, remove what it wrote and then end as the request asked. A second
// request ends the process at once.
#pragma once

namespace Norvane::Platform {

class InterruptGuard {
public:
    InterruptGuard();  // starts recording
    ~InterruptGuard(); // the earlier handling again
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// True once a termination was requested under a guard.
bool InterruptRequested();
// Ends the process as the recorded request would have (its signal's default
// action); returns when none was recorded.
void EndIfInterrupted();

} // namespace Norvane::Platform
