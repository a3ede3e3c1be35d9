// Helpers of the local (Unix domain) sockets of the POSIX backend: the
// instance lock's show requests and the reload channel of an author's run.
#pragma once

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
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

} // namespace Norvane::Platform::Posix
