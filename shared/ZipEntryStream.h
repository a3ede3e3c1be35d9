// One entry of the payload archive read as a stream: decrypted (traditional
// PKWARE cipher) and inflated on demand, straight from the archive's bytes,
// with no copy of the whole entry. Seeking is answered from decoder
// checkpoints kept along the way, so a reader that jumps back decodes at most
// one checkpoint interval again instead of the whole entry.
#pragma once

#include <cstdint>
#include <functional>
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

// Where an entry's data lies and what its headers record. Data points at the
// first byte after the local header (the encryption header, when encrypted)
// and CompressedSize bytes from there must lie inside the archive's memory,
// which must stay alive as long as the stream.
struct TZipEntryData {
    std::string Name;
    const std::uint8_t* Data = nullptr;
    std::uint64_t CompressedSize = 0; // including the 12-byte encryption header
    std::uint64_t Size = 0;
    std::uint16_t Method = 0; // 0 stored, 8 deflated
    bool Encrypted = false;
    std::uint8_t CheckByte = 0; // last byte of the decrypted encryption header
    std::uint32_t Crc = 0;
    // Data lies in a read-only file mapping: the pages read through are
    // given back as the stream goes on, so a long entry does not stay resident.
    bool ReleaseBehind = false;
    // When set, the encrypted entry's data after the encryption header,
    // already decrypted (DecryptEntryData, which has checked a stored entry's
    // CRC); Data is not read then. The stream holds it for as long as it lives.
    std::shared_ptr<const std::vector<std::uint8_t>> Decrypted;
};

// The data of an encrypted entry after its encryption header, decrypted
// whole; null when the header's check byte does not match the password, the
// data is shorter than the header, or, for a stored entry, the data does not
// match its recorded size and CRC (the stream then decrypts the entry itself
// and reports the fault).
std::shared_ptr<const std::vector<std::uint8_t>> DecryptEntryData(const TZipEntryData& Entry,
                                                                  const std::string& Password);

// DecryptEntryData for several entries at once. The cipher is serial within
// an entry, so a few entries decrypted side by side take far less time than
// one after another. Done gets each entry's place in Entries and its data
// (null as above) as soon as that entry is done; the entries' data must stay
// readable until the call returns.
void DecryptEntriesData(
    const std::vector<const TZipEntryData*>& Entries, const std::string& Password,
    const std::function<void(std::size_t, std::shared_ptr<const std::vector<std::uint8_t>>)>& Done);

// Read-only. Read raises EZipError for damaged data (bad deflate data, data
// cut short, a CRC that does not match once the entry was read through from
// its start). Size is the recorded size; no allocation depends on it.
class TZipEntryStream : public TStream {
public:
    // Raises EZipError for an unsupported method, inconsistent sizes or a
    // wrong password (the header's check byte).
    TZipEntryStream(const TZipEntryData& Entry, const std::string& Password);
    ~TZipEntryStream() override;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FEntry.Size); }

    // The decoder checkpoints currently kept (bounded).
    std::size_t CheckpointCount() const;

private:
    struct TImpl;
    TZipEntryData FEntry;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace Norvane::Shared
