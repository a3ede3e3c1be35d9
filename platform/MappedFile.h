// A file mapped read-only into memory: its bytes are read from the page
// cache as they are touched, with no private copy.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Norvane::Platform {

// A file that cannot be opened or mapped.
class EMapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MappedFile {
public:
    // Maps the whole file as it is now. An empty file maps to no bytes.
    // Raises EMapError (with the path and the system's reason).
    explicit MappedFile(const std::string& Path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* Data() const { return FData; }
    std::uint64_t Size() const { return FSize; }

private:
    const std::uint8_t* FData = nullptr;
    std::uint64_t FSize = 0;
};

// Drops the whole pages inside [Start, Start + Length) of a read-only file
// mapping from the process's memory; touched again, they are read back from
// the file. For a reader that goes through a large mapping once. Never for
// memory that is not such a mapping.
void ReleaseMappedPages(const void* Start, std::uint64_t Length);

} // namespace Norvane::Platform
