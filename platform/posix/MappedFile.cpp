#include "platform/MappedFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Norvane::Platform {

namespace {

[[noreturn]] void Fail(const std::string& Path, const char* What, int Error) {
    throw EMapError("Cannot " + std::string(What) + " \"" + Path + "\": " + std::strerror(Error));
}

} // namespace

MappedFile::MappedFile(const std::string& Path) {
    int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail(Path, "open", errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int error = errno;
        ::close(fd);
        Fail(Path, "read the size of", error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw EMapError("Cannot map \"" + Path + "\": it is not a file");
    }
    if (info.st_size > 0) {
        void* data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            int error = errno;
            ::close(fd);
            Fail(Path, "map", error);
        }
        FData = static_cast<const std::uint8_t*>(data);
        FSize = static_cast<std::uint64_t>(info.st_size);
    }
    ::close(fd); // the mapping keeps the file's pages
}

MappedFile::~MappedFile() {
    if (FData)
        ::munmap(const_cast<std::uint8_t*>(FData), static_cast<std::size_t>(FSize));
}

void ReleaseMappedPages(const void* Start, std::uint64_t Length) {
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(Start);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + Length) / page * page;
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

} // namespace Norvane::Platform
