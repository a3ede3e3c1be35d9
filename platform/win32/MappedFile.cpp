#include "platform/MappedFile.h"

#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

namespace Norvane::Platform {
namespace {

[[noreturn]] void Fail(const std::string& Path, const char* What, DWORD Error) {
    throw EMapError("Cannot " + std::string(What) + " \"" + Path +
                    "\": " + SystemErrorMessage(static_cast<int>(Error)));
}

} // namespace

MappedFile::MappedFile(const std::string& Path) {
    // Others may read, write or delete the file meanwhile, as on POSIX.
    Win32::Handle file(::CreateFileW(Win32::Widen(Path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        Fail(Path, "open", ::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info))
        Fail(Path, "read the size of", ::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw EMapError("Cannot map \"" + Path + "\": it is not a file");
    std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size == 0)
        return;
    if (size > SIZE_MAX)
        throw EMapError("Cannot map \"" + Path + "\": it is larger than the address space");
    Win32::Handle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.Valid())
        Fail(Path, "map", ::GetLastError());
    void* data = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    if (!data)
        Fail(Path, "map", ::GetLastError());
    FData = static_cast<const std::uint8_t*>(data);
    FSize = size;
    // The view keeps the file and the mapping object alive.
}

MappedFile::~MappedFile() {
    if (FData)
        ::UnmapViewOfFile(FData);
}

// Unlocking pages that are not locked takes them out of the working set:
// their memory is free to go, and the file's pages come back when touched.
void ReleaseMappedPages(const void* Start, std::uint64_t Length) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::uintptr_t page = system.dwPageSize;
    const auto begin = reinterpret_cast<std::uintptr_t>(Start);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + static_cast<std::uintptr_t>(Length)) / page * page;
    if (last > first)
        ::VirtualUnlock(reinterpret_cast<void*>(first), last - first);
}

} // namespace Norvane::Platform
