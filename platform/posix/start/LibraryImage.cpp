#include "platform/posix/start/LibraryImage.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef MFD_EXEC
#define MFD_EXEC 0x0010U // Linux 6.3: asks for an executable memory file where the default is not
#endif

namespace Norvane::Platform::Start {

namespace {

void SetError(char* Error, std::size_t ErrorSize, const char* What, const char* Detail) {
    if (ErrorSize > 0)
        std::snprintf(Error, ErrorSize, "%s: %s", What, Detail ? Detail : "unknown error");
}

bool WriteAll(int Fd, const unsigned char* Bytes, std::size_t Size) {
    while (Size > 0) {
        ssize_t Written = ::write(Fd, Bytes, Size);
        if (Written < 0 && errno == EINTR)
            continue;
        if (Written <= 0)
            return false;
        Bytes += Written;
        Size -= static_cast<std::size_t>(Written);
    }
    return true;
}

void* Load(const char* Path, char* Error, std::size_t ErrorSize) {
    void* Handle = ::dlopen(Path, RTLD_NOW | RTLD_LOCAL);
    if (!Handle)
        SetError(Error, ErrorSize, "cannot load the runtime library", ::dlerror());
    return Handle;
}

void* FromMemoryFile(const unsigned char* Image, std::size_t Size, char* Error, std::size_t ErrorSize) {
    int Fd = ::memfd_create("norvane-runtime", MFD_CLOEXEC | MFD_EXEC);
    if (Fd < 0 && errno == EINVAL) // a kernel before 6.3 knows no MFD_EXEC
        Fd = ::memfd_create("norvane-runtime", MFD_CLOEXEC);
    if (Fd < 0) {
        SetError(Error, ErrorSize, "cannot make a memory file", std::strerror(errno));
        return nullptr;
    }
    void* Handle = nullptr;
    if (!WriteAll(Fd, Image, Size)) {
        SetError(Error, ErrorSize, "cannot write the memory file", std::strerror(errno));
    } else {
        char Path[64];
        std::snprintf(Path, sizeof Path, "/proc/self/fd/%d", Fd);
        Handle = Load(Path, Error, ErrorSize);
    }
    // A loaded library keeps its descriptor open: the loader knows libraries
    // by name, and a later memory file given the same number, so the same
    // name, would be taken for this one.
    if (!Handle)
        ::close(Fd);
    return Handle;
}

void* FromTemporaryFile(const unsigned char* Image, std::size_t Size, char* Error, std::size_t ErrorSize) {
    const char* Folder = std::getenv("XDG_RUNTIME_DIR");
    if (!Folder || Folder[0] != '/')
        Folder = std::getenv("TMPDIR");
    if (!Folder || Folder[0] != '/')
        Folder = "/tmp";
    char Path[4096];
    if (std::snprintf(Path, sizeof Path, "%s/norvane-runtime-XXXXXX", Folder) >=
        static_cast<int>(sizeof Path)) {
        SetError(Error, ErrorSize, "cannot make a temporary file", "the folder's name is too long");
        return nullptr;
    }
    int Fd = ::mkostemp(Path, O_CLOEXEC);
    if (Fd < 0) {
        SetError(Error, ErrorSize, "cannot make a temporary file", std::strerror(errno));
        return nullptr;
    }
    void* Handle = nullptr;
    if (!WriteAll(Fd, Image, Size))
        SetError(Error, ErrorSize, "cannot write the temporary file", std::strerror(errno));
    else
        Handle = Load(Path, Error, ErrorSize);
    ::unlink(Path);
    ::close(Fd);
    return Handle;
}

} // namespace

void* OpenLibraryImage(const unsigned char* Image, std::size_t Size, TImagePlace Place, char* Error,
                       std::size_t ErrorSize) {
    if (ErrorSize > 0)
        Error[0] = '\0';
    return Place == TImagePlace::MemoryFile ? FromMemoryFile(Image, Size, Error, ErrorSize)
                                            : FromTemporaryFile(Image, Size, Error, ErrorSize);
}

} // namespace Norvane::Platform::Start
