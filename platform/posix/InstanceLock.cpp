#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

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

std::string LockFolder() {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir && ::access(runtimeDir, W_OK) == 0)
        return runtimeDir;
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

} // namespace

std::string TInstanceLock::EncodeName(const std::string& Name) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : Name) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '_' || c == '-';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    // File names are limited to 255 bytes: keep a readable head and a hash of the whole.
    if (out.size() > 200) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(Name));
        out = out.substr(0, 180) + "~" + hash;
    }
    return out;
}

std::string TInstanceLock::LockFilePath(const std::string& Name) {
    return LockFolder() + "/norvane-instance-" + EncodeName(Name) + ".lock";
}

bool TInstanceLock::Acquire(const std::string& Name, bool& AlreadyExisted) {
    Release();
    AlreadyExisted = false;
    int fd = ::open(LockFilePath(Name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
}

TInstanceLock::~TInstanceLock() {
    Release();
}

} // namespace Norvane::Platform
