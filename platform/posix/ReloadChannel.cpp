#include "platform/ReloadChannel.h"

#include "platform/posix/LocalSocket.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>

namespace Norvane::Platform {
namespace {

constexpr char ReloadRequest = 'R';

} // namespace

bool TReloadListener::Listen(const std::string& Name, std::function<void()> OnReload) {
    sockaddr_un address{};
    if (FHandle >= 0 || !OnReload || Name.empty() || Name.front() != '/' ||
        !Posix::SocketAddress(Name, address))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Nothing is unlinked first: the packer made the folder empty, so a socket
    // there belongs to an earlier process of this run, which keeps it.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    FHandle = fd;
    Posix::ServeConnections(fd, [OnReload = std::move(OnReload)](int client) {
        char request = 0;
        if (::read(client, &request, 1) == 1 && request == ReloadRequest)
            OnReload();
    });
    return true;
}

TReloadListener::~TReloadListener() {
    // Wakes the listening thread, which then ends; the descriptor stays open
    // for it (a closed one could be reused under it).
    if (FHandle >= 0)
        ::shutdown(static_cast<int>(FHandle), SHUT_RDWR);
}

bool AskToReload(const std::string& Name) {
    sockaddr_un address{};
    if (!Posix::SocketAddress(Name, address))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      Posix::PeerIsUs(fd) && ::write(fd, &ReloadRequest, 1) == 1;
    ::close(fd);
    return sent;
}

} // namespace Norvane::Platform
