// Reader of the payload archive, opened over the in-memory copy of the payload.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "shared/Streams.h"

namespace Norvane::Shared {

// Data that is not an archive the reader knows, a wrong password, a damaged entry.
class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

    int EntryCount() const;
    std::vector<TZipEntryInfo> Entries() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace Norvane::Shared
