// Reader of the payload archive, opened over the payload's bytes in memory
// (the mapped executable, or a copy in a memory stream).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "shared/Streams.h"
#include "shared/ZipEntryStream.h"

namespace Norvane::Shared {

struct TZipEntryInfo {
    std::string Name;
    std::uint64_t Size = 0;
    std::uint64_t CompressedSize = 0;
    std::uint16_t Method = 0;     // 0 stored, 8 deflated
    std::uint16_t Flags = 0;      // general-purpose bit flags of the central directory record
    std::uint16_t LocalFlags = 0; // general-purpose bit flags of the entry's local header
    bool Encrypted = false;
};

class TExeZip {
public:
    TExeZip();
    ~TExeZip();
    TExeZip(const TExeZip&) = delete;
    TExeZip& operator=(const TExeZip&) = delete;

    // Used for every later extraction.
    void SetPassword(const std::string& Password);
    // Reads the archive's directory from Stream (which must stay alive while open),
    // taking the bytes from position 0. Raises EZipError for unknown data.
    void Open(TMemoryStream& Stream);
    // The same over Size bytes at Data, which must stay alive and unchanged
    // while open. Mapped: Data lies in a read-only file mapping, whose pages
    // entry streams give back once read through.
    void Open(const std::uint8_t* Data, std::uint64_t Size, bool Mapped = false);
    void Close();
    bool Active() const;

    // Index of the first entry whose stored name equals Name, A-Z without regard
    // to case; -1 when there is none.
    int FindEntry(const std::string& Name) const;
    // Writes the entry's decrypted, decompressed bytes at Target's position;
    // an absent name writes nothing and raises nothing. Raises EZipError on a
    // wrong password or damaged data.
    void ExtractEntry(const std::string& Name, TStream& Target) const;
    std::string ExtractEntryToString(const std::string& Name) const;
    // The entry as a stream decoded on demand (null for an absent name); it
    // reads the archive's memory, so it must not outlive the reader's data.
    // Raises EZipError as ExtractEntry does for what is found before reading.
    std::unique_ptr<TZipEntryStream> OpenEntry(const std::string& Name) const;

    int EntryCount() const;
    // Bytes of decrypted entry data kept for later reads (bounded).
    std::uint64_t DecryptedBytesKept() const;
    std::vector<TZipEntryInfo> Entries() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace Norvane::Shared
