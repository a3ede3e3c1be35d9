// A named lock with the semantics of a named mutex used for single-instance
// checks: it "already exists" while any process holds it, and the system
// releases it when a holding process ends, so a crashed instance never blocks
// the next start.
#pragma once

#include <string>

namespace Norvane::Platform {

class TInstanceLock {
public:
    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Takes a share of the lock called Name and reports whether another holder
    // had it already. The share is kept until Release or the end of the process.
    // Returns false (and holds nothing) when the lock file cannot be opened.
    bool Acquire(const std::string& Name, bool& AlreadyExisted);
    void Release();
    bool Held() const { return FHandle >= 0; }

    // The file that carries the lock for Name (exposed for tests and diagnostics).
    static std::string LockFilePath(const std::string& Name);
    // Name with every byte outside [A-Za-z0-9._-] written as %XX.
    static std::string EncodeName(const std::string& Name);

private:
    int FHandle = -1;
};

} // namespace Norvane::Platform
