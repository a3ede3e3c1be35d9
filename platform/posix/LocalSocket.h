// Helpers of the local (Unix domain) sockets of the POSIX backend: the
// instance lock's show requests and the reload channel of an author's run.
#pragma once

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace Norvane::Platform::Posix {

// The address of the socket at path; false when the path is empty or too long.
inline bool SocketAddress(const std::string& path, sockaddr_un& address) {
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Whether the other end of a connected local socket runs as our user.
inline bool PeerIsUs(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// Serves the listening socket Fd on a thread of its own until the socket is
// shut down: each connection of our own user, whose reads give up after one
// second, is handed to Serve, which reads what it needs; then it is closed.
// Connections of other users are closed unread.
inline void ServeConnections(int Fd, std::function<void(int Client)> Serve) {
    std::thread([Fd, Serve = std::move(Serve)] {
        for (;;) {
            const int client = ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return; // the listener was shut down
            }
            timeval wait{1, 0};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            if (PeerIsUs(client))
                Serve(client);
            ::close(client);
        }
    }).detach();
}

} // namespace Norvane::Platform::Posix
