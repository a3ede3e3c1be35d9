#include "platform/InstanceLock.h"

#include "platform/posix/LocalSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace Norvane::Platform {
namespace {

// Open-file-description locks belong to the open file, not to the process, so
// two opens conflict even inside one process and the lock ends with the last
// descriptor of that open file.
bool SetLock(int fd, short type, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Where the lock may live. Anyone who can make or replace the lock file can
// hold a lock on it and so end every start silently, so the folder must be a
// real folder (not a symbolic link) owned by the effective user, that nobody
// else may write to and that the user can make files in. The folder is opened
// without following a link and the opened folder is checked, so that it
// cannot be swapped between the check and the use.
int OpenTrustedFolder(const std::string& path, mode_t forbiddenModes) {
    if (path.empty() || path.front() != '/')
        return -1;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    constexpr mode_t OwnerUse = S_IWUSR | S_IXUSR; // files can be made in it
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & forbiddenModes) != 0 || (info.st_mode & OwnerUse) != OwnerUse) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A folder of our own, made with mode 0700 when missing; one that exists must
// already have no group or other permissions.
int OpenPrivateFolder(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return -1;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return -1;
    return OpenTrustedFolder(path, S_IRWXG | S_IRWXO);
}

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

// The first fit folder: XDG_RUNTIME_DIR (not writable by group or others),
// else norvane-<uid> in the temporary folder, else norvane in the user's cache
// folder. Returns the open folder (or -1 when none is fit) and its path.
int OpenLockFolder(std::string& path) {
    path = AbsoluteEnv("XDG_RUNTIME_DIR");
    int fd = OpenTrustedFolder(path, S_IWGRP | S_IWOTH);
    if (fd >= 0)
        return fd;
    std::string tmp = AbsoluteEnv("TMPDIR");
    path = (tmp.empty() ? std::string("/tmp") : tmp) + "/norvane-" + std::to_string(::geteuid());
    fd = OpenPrivateFolder(path);
    if (fd >= 0)
        return fd;
    std::string cache = AbsoluteEnv("XDG_CACHE_HOME");
    if (cache.empty()) {
        std::string home = AbsoluteEnv("HOME");
        if (home.empty())
            return -1;
        cache = home + "/.cache";
        ::mkdir(cache.c_str(), 0700); // the user's own folder: only its last part is ours to check
    }
    path = cache + "/norvane";
    return OpenPrivateFolder(path);
}

std::string LockFileName(const std::string& Name) {
    return "norvane-instance-" + TInstanceLock::EncodeName(Name) + ".lock";
}

// The socket that carries show requests for Name: beside the lock file, under
// a short name (an ID may be longer than a socket address can be), FNV-1a of
// the lock file's name.
std::string ShowSocketPath(const std::string& Name) {
    std::string folder;
    int fd = OpenLockFolder(folder);
    if (fd < 0)
        return {};
    ::close(fd);
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : LockFileName(Name)) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "/norvane-show-%016llx.sock", static_cast<unsigned long long>(hash));
    std::string path = folder + name;
    return path.size() < sizeof(sockaddr_un::sun_path) ? path : std::string();
}

using Posix::PeerIsUs;
using Posix::ServeConnections;
using Posix::SocketAddress;

constexpr char ShowRequest = 'S';

} // namespace

bool TInstanceLock::ListenForShowRequests(const std::string& Name,
                                          std::function<void(const std::vector<std::string>&)> OnRequest) {
    if (FListener >= 0 || !OnRequest)
        return false;
    const std::string path = ShowSocketPath(Name);
    sockaddr_un address{};
    if (!SocketAddress(path, address))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A socket left by a holder that crashed: ours now (the lock was free).
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    FListener = fd;
    FListenerPath = path;
    ServeConnections(fd, [OnRequest = std::move(OnRequest)](int client) {
        char request = 0;
        if (::read(client, &request, 1) != 1 || request != ShowRequest)
            return;
        // The arguments: each ended by a NUL, up to the asker's end of
        // writing. An older asker sends none.
        std::vector<std::string> arguments;
        std::string bytes;
        char buffer[4096];
        bool whole = false;
        while (bytes.size() <= MaxShowArgumentBytes) {
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                whole = n == 0;
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        if (whole)
            arguments = ParseShowArguments(bytes);
        OnRequest(arguments);
    });
    return true;
}

bool TInstanceLock::AskToShow(const std::string& Name, const std::vector<std::string>& Arguments) {
    sockaddr_un address{};
    if (!SocketAddress(ShowSocketPath(Name), address))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      PeerIsUs(fd) && ::write(fd, &ShowRequest, 1) == 1;
    if (sent) {
        const std::string bytes = ShowArgumentBytes(Arguments);
        // MSG_NOSIGNAL: a listener that went away must not end this process.
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
    }
    ::close(fd);
    return sent;
}

std::string TInstanceLock::LockFilePath(const std::string& Name) {
    std::string folder;
    int fd = OpenLockFolder(folder);
    if (fd < 0)
        return {};
    ::close(fd);
    return folder + "/" + LockFileName(Name);
}

bool TInstanceLock::Acquire(const std::string& Name, bool& AlreadyExisted) {
    Release();
    AlreadyExisted = false;
    std::string folder;
    int folderFd = OpenLockFolder(folder);
    if (folderFd < 0)
        return false; // no safe place: no lock, and start-up goes on as if it were free
    int fd = ::openat(folderFd, LockFileName(Name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ::close(folderFd);
    if (fd < 0)
        return false;
    // Nobody else holds it when an exclusive lock can be taken at once.
    AlreadyExisted = !SetLock(fd, F_WRLCK, false);
    // Keep a shared lock (downgrading our exclusive one, or joining the others).
    // Another starter may hold the exclusive lock for a moment before it
    // downgrades, so wait for the shared one.
    if (!SetLock(fd, F_RDLCK, true)) {
        ::close(fd);
        return false;
    }
    FHandle = fd;
    return true;
}

void TInstanceLock::Release() {
    if (FListener >= 0) {
        // Wakes the listening thread, which then ends; the descriptor stays
        // open for it (a closed one could be reused under it).
        ::shutdown(static_cast<int>(FListener), SHUT_RDWR);
        ::unlink(FListenerPath.c_str());
        FListener = -1;
    }
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
}

TInstanceLock::~TInstanceLock() {
    Release();
}

} // namespace Norvane::Platform
