// A named lock with the semantics of a named mutex used for single-instance
// checks: it "already exists" while any process holds it, and the system
// releases it when a holding process ends, so a crashed instance never blocks
// the next start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Norvane::Platform {

class TInstanceLock {
public:
    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Takes a share of the lock called Name and reports whether another holder
    // had it already. The share is kept until Release or the end of the process.
    // Returns false (and holds nothing, AlreadyExisted false) when the lock file
    // cannot be opened or no folder is safe for it: start-up then goes on as if
    // the lock were free, rather than letting someone else's file stop it.
    bool Acquire(const std::string& Name, bool& AlreadyExisted);
    void Release();
    bool Held() const { return FHandle >= 0; }

    // For the first holder of the lock called Name (Acquire found it free):
    // hears the requests of later starts to show this instance's window, and
    // runs OnRequest for each with the later start's arguments, on a thread of
    // its own (the caller hands the work to the UI thread). False when it
    // cannot listen; the requests then go unheard. Only processes of the same
    // user are heard. On POSIX the channel is a local socket beside the lock
    // file, and the arguments follow the request (at most MaxShowArguments of
    // them, MaxShowArgumentBytes together; a request beyond either, or one
    // not sent whole within a second, comes with none). On Windows it is a
    // named pipe of the session whose server must be of the same user, with
    // the same request bytes and bounds.
    bool ListenForShowRequests(const std::string& Name,
                               std::function<void(const std::vector<std::string>& Arguments)> OnRequest);
    // Asks the instance that listens for Name to show its window (and lets it
    // take the foreground), handing it Arguments; false when none listens.
    static bool AskToShow(const std::string& Name, const std::vector<std::string>& Arguments = {});
    static constexpr std::size_t MaxShowArguments = 1024;
    static constexpr std::size_t MaxShowArgumentBytes = 256 * 1024;
    // The arguments as a request carries them after its request byte, each
    // ended by a NUL; empty when they are beyond either bound (the request
    // then comes with none).
    static std::string ShowArgumentBytes(const std::vector<std::string>& Arguments);
    // The arguments of a request's bytes received whole: none when they are
    // beyond either bound or do not end with a NUL.
    static std::vector<std::string> ParseShowArguments(const std::string& Bytes);

    // The file that carries the lock for Name (exposed for tests and
    // diagnostics); makes the private lock folder when it is missing. Empty when
    // no folder is safe. The folder: XDG_RUNTIME_DIR when it is a real folder
    // of the effective user that group and others cannot write to; else
    // norvane-<uid> in the temporary folder (TMPDIR, else /tmp); else norvane in
    // the user's cache folder (XDG_CACHE_HOME, else ~/.cache). Those two are
    // made with mode 0700 and, when they exist, must be real folders of the
    // effective user with no group or other permissions. On Windows the lock
    // is a named mutex of the session ("Local\\norvane-instance-<encoded>"),
    // and this is its name.
    static std::string LockFilePath(const std::string& Name);
    // Name with every byte outside [A-Za-z0-9._-] written as %XX.
    static std::string EncodeName(const std::string& Name);

private:
    // The lock file's descriptor (POSIX) or the mutex handle (Windows); -1: none.
    std::intptr_t FHandle = -1;
    // The channel ListenForShowRequests opened (a socket or an event); -1: none.
    std::intptr_t FListener = -1;
    std::string FListenerPath;
};

} // namespace Norvane::Platform
