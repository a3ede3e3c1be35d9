// The channel of an author's run with reloading ("norvane-pack run --watch")
// from the packer to the application it started: after repacking, the packer
// asks the running application to read its package again and reload its page.
// The application listens only in an author's run and only when the packer
// named the channel (ReloadChannelVariable); a packaged application started
// any other way never opens it. On POSIX the channel is a local socket in the
// packer's private temporary folder, and only processes of the same user are
// heard; the request is one byte and nothing else is read. The Windows build
// has no channel yet (Listen and AskToReload return false), and the packer
// restarts the application instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Norvane::Platform {

// The environment variable that names the channel (on POSIX the socket's path).
inline constexpr const char* ReloadChannelVariable = "NORVANE_RELOAD_CHANNEL";

class TReloadListener {
public:
    TReloadListener() = default;
    ~TReloadListener();
    TReloadListener(const TReloadListener&) = delete;
    TReloadListener& operator=(const TReloadListener&) = delete;

    // Listens on the channel Name and runs OnReload for each request, on a
    // thread of its own (the caller hands the work to the UI thread). False
    // when it cannot listen, also when another process listens there already
    // (a second process of the application, which inherited the variable):
    // only the first one is reloaded.
    bool Listen(const std::string& Name, std::function<void()> OnReload);

private:
    std::intptr_t FHandle = -1;
};

// Asks the process that listens on Name to reload; false when none listens
// (or it runs as another user).
bool AskToReload(const std::string& Name);

} // namespace Norvane::Platform
