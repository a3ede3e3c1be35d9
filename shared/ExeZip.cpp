#include "shared/ExeZip.h"

#include "platform/Process.h"
#include "platform/Text.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <zip.h>

namespace Norvane::Shared {
namespace {

// Entry names compare with the letters A to Z folded; every other byte exactly,
// so "\" stays distinct from "/" and non-ASCII bytes compare exactly.
using Platform::Text::LowerAscii;

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

struct THeaderFlags {
    std::uint16_t Central = 0;
    std::uint16_t Local = 0;
    std::uint16_t LocalTime = 0;  // last-modification time of the local header
    std::uint64_t DataOffset = 0; // first byte after the local header; 0 when unknown
};

// The general-purpose flags of each central directory record and of the local
// header it points to, in directory order (the order of the reader's indexes).
// Returns an empty list when the directory cannot be walked.
std::vector<THeaderFlags> ReadHeaderFlags(const std::uint8_t* Data, std::uint64_t Size) {
    std::vector<THeaderFlags> result;
    if (Size < 22)
        return result;
    // End of central directory record: signature, then up to 65535 bytes of comment.
    std::uint64_t eocd = Size - 22;
    std::uint64_t lowest = Size >= 22 + 65535 ? Size - 22 - 65535 : 0;
    for (;;) {
        if (Le32(Data + eocd) == 0x06054b50)
            break;
        if (eocd == lowest)
            return result;
        --eocd;
    }
    std::uint64_t count = Le16(Data + eocd + 10);
    std::uint64_t cdOffset = Le32(Data + eocd + 16);
    if ((count == 0xFFFF || cdOffset == 0xFFFFFFFF) && eocd >= 20 && Le32(Data + eocd - 20) == 0x07064b50) {
        std::uint64_t zip64 = Le64(Data + eocd - 20 + 8);
        if (Size >= 56 && zip64 <= Size - 56 && Le32(Data + zip64) == 0x06064b50) {
            count = Le64(Data + zip64 + 32);
            cdOffset = Le64(Data + zip64 + 48);
        }
    }
    std::uint64_t at = cdOffset;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (at > Size || Size - at < 46 || Le32(Data + at) != 0x02014b50)
            return {};
        const std::uint8_t* record = Data + at;
        THeaderFlags flags;
        flags.Central = Le16(record + 8);
        std::uint64_t nameLength = Le16(record + 28);
        std::uint64_t extraLength = Le16(record + 30);
        std::uint64_t commentLength = Le16(record + 32);
        std::uint64_t localOffset = Le32(record + 42);
        if (Size - at < 46 + nameLength + extraLength + commentLength)
            return {};
        if (localOffset == 0xFFFFFFFF) {
            // Zip64 extended information: the 64-bit values present, in order,
            // for the 32-bit fields that hold 0xFFFFFFFF.
            const std::uint8_t* extra = record + 46 + nameLength;
            std::uint64_t pos = 0;
            while (pos + 4 <= extraLength) {
                std::uint16_t id = Le16(extra + pos);
                std::uint16_t length = Le16(extra + pos + 2);
                if (pos + 4 + length > extraLength)
                    break;
                if (id == 0x0001) {
                    std::uint64_t field = 0;
                    if (Le32(record + 24) == 0xFFFFFFFF)
                        field += 8;
                    if (Le32(record + 20) == 0xFFFFFFFF)
                        field += 8;
                    if (field + 8 <= length)
                        localOffset = Le64(extra + pos + 4 + field);
                }
                pos += 4 + length;
            }
        }
        if (localOffset <= Size && Size - localOffset >= 30 && Le32(Data + localOffset) == 0x04034b50) {
            flags.Local = Le16(Data + localOffset + 6);
            flags.LocalTime = Le16(Data + localOffset + 10);
            flags.DataOffset =
                localOffset + 30 + Le16(Data + localOffset + 26) + Le16(Data + localOffset + 28);
        }
        result.push_back(flags);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return result;
}

// Strong encryption (general-purpose bit 6 in either header), the AES
// scheme (method 99) or any cipher other than the traditional one.
bool UsesStrongEncryption(const THeaderFlags& Flags, const zip_stat_t& Stat) {
    constexpr std::uint16_t StrongEncryptionFlag = 0x0040;
    if ((Flags.Central | Flags.Local) & StrongEncryptionFlag)
        return true;
    if ((Stat.valid & ZIP_STAT_COMP_METHOD) && Stat.comp_method == 99)
        return true;
    return (Stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && Stat.encryption_method != ZIP_EM_NONE &&
           Stat.encryption_method != ZIP_EM_TRAD_PKWARE;
}

std::string ErrorText(zip_error_t* Error) {
    return zip_error_strerror(Error);
}

// The decrypted data of small encrypted entries, shared with the entry
// streams that read them, so that an entry asked for again is not decrypted
// again. The requests of a page come in runs of neighbours (its scripts,
// styles and images; a viewer's pages), so each entry opened puts the other
// entries of its folder on a worker's list, decrypted while the first is
// served. Bounded: entries of at most MaxEntry bytes, MaxBytes together,
// the oldest dropped first (a stream that reads one keeps it alive).
class TDecryptedCache {
public:
    static constexpr std::uint64_t MaxEntry = 1024 * 1024;
    static constexpr std::uint64_t MaxBytes = 16 * 1024 * 1024;
    static constexpr std::size_t MaxAhead = 128;                    // neighbours looked at per entry opened
    static constexpr std::uint64_t MaxAheadBytes = 2 * 1024 * 1024; // and decrypted for it
    static constexpr std::size_t AheadBatch = 16;                   // missing ones put on the list together

    using TData = std::shared_ptr<const std::vector<std::uint8_t>>;
    struct TJob {
        int Index = 0;
        TZipEntryData Entry;
    };

    ~TDecryptedCache() { Clear(); }

    static bool Fits(const TZipEntryData& Entry) {
        return Entry.Encrypted && Entry.CompressedSize <= MaxEntry;
    }

    TData Find(int Index) {
        std::lock_guard lock(FLock);
        auto found = FReady.find(Index);
        return found == FReady.end() ? nullptr : found->second;
    }

    void Add(int Index, TData Data) {
        std::lock_guard lock(FLock);
        Keep(Index, std::move(Data), false);
    }

    // Of Candidates, those neither kept, waiting nor marked not to be read
    // ahead; none when the cache is full.
    std::vector<int> Missing(const std::vector<int>& Candidates) {
        std::lock_guard lock(FLock);
        std::vector<int> missing;
        if (FBytes >= MaxBytes - MaxEntry)
            return missing;
        for (int index : Candidates)
            if (StateOf(index) == 0)
                missing.push_back(index);
        return missing;
    }

    // Entries never to be read ahead (too long, or damaged), so that they are
    // not looked at again for every neighbour opened.
    void MarkNotAhead(const std::vector<int>& Indexes) {
        std::lock_guard lock(FLock);
        for (int index : Indexes)
            StateOf(index) |= NotAhead;
    }

    // Decrypts Jobs on the worker, which starts with the first. Their data
    // must stay readable until Clear.
    void Ahead(std::vector<TJob> Jobs, const std::string& Password) {
        if (Jobs.empty())
            return;
        std::lock_guard lock(FLock);
        FPassword = Password;
        for (TJob& job : Jobs)
            if (!(StateOf(job.Index) & Waiting)) {
                StateOf(job.Index) |= Waiting;
                FJobs.push_back(std::move(job));
            }
        if (!FWorker.joinable())
            FWorker = std::thread([this] { Run(); });
        FWake.notify_one();
    }

    std::uint64_t Bytes() {
        std::lock_guard lock(FLock);
        return FBytes;
    }

    // Stops the worker and drops everything kept.
    void Clear() {
        {
            std::lock_guard lock(FLock);
            FStopping = true;
            FJobs.clear();
        }
        FWake.notify_one();
        if (FWorker.joinable())
            FWorker.join();
        std::lock_guard lock(FLock);
        FStopping = false;
        FReady.clear();
        FOrder.clear();
        FState.clear();
        FBytes = 0;
    }

private:
    // Keeps Data for entry Index; Ahead (decrypted before it was asked for)
    // only while there is room, else the oldest are dropped for it.
    void Keep(int Index, TData Data, bool Ahead) {
        if (!Data || (StateOf(Index) & Kept))
            return;
        if (Ahead && FBytes + Data->size() > MaxBytes)
            return;
        FBytes += Data->size();
        FReady.emplace(Index, std::move(Data));
        StateOf(Index) |= Kept;
        FOrder.push_back(Index);
        while (FBytes > MaxBytes) {
            auto oldest = FReady.find(FOrder.front());
            FBytes -= oldest->second->size();
            StateOf(oldest->first) &= static_cast<std::uint8_t>(~Kept);
            FReady.erase(oldest);
            FOrder.pop_front();
        }
    }

    // The worker takes the waiting entries in batches of at most this size
    // and decrypts each batch side by side; each is kept as soon as it is done.
    static constexpr std::uint64_t BatchBytes = 256 * 1024;

    // Reading ahead is a guess: the worker runs in the background, so it
    // never takes a processor from the engine's processes serving the page
    // (an entry asked for before it is done is decrypted by its reader).
    void Run() {
        Platform::RunCurrentThreadInBackground();
        for (;;) {
            std::vector<TJob> batch;
            std::string password;
            {
                std::unique_lock lock(FLock);
                FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
                if (FStopping)
                    return;
                std::uint64_t bytes = 0;
                while (!FJobs.empty() &&
                       (batch.empty() || bytes + FJobs.front().Entry.CompressedSize <= BatchBytes)) {
                    bytes += FJobs.front().Entry.CompressedSize;
                    batch.push_back(std::move(FJobs.front()));
                    FJobs.pop_front();
                }
                password = FPassword;
            }
            try {
                std::vector<const TZipEntryData*> entries;
                for (const TJob& job : batch)
                    entries.push_back(&job.Entry);
                DecryptEntriesData(entries, password, [&](std::size_t Place, TData Data) {
                    std::lock_guard lock(FLock);
                    StateOf(batch[Place].Index) &= static_cast<std::uint8_t>(~Waiting);
                    Keep(batch[Place].Index, std::move(Data), true);
                });
            } catch (const std::exception&) {
                // No memory for them: the entries not kept are decrypted when read.
            }
            std::lock_guard lock(FLock);
            for (const TJob& job : batch)
                StateOf(job.Index) &= static_cast<std::uint8_t>(~Waiting);
        }
    }

    std::mutex FLock;
    std::condition_variable FWake;
    std::unordered_map<int, TData> FReady;
    std::deque<int> FOrder; // of FReady, oldest first
    std::uint64_t FBytes = 0;
    std::deque<TJob> FJobs;
    // Each entry's state by its index (FLock held): kept, waiting (in FJobs
    // or being decrypted), not to be read ahead, or none of these (0). A plain
    // table, as every entry opened looks up its many neighbours.
    enum : std::uint8_t { Kept = 1, Waiting = 2, NotAhead = 4 };
    std::vector<std::uint8_t> FState;
    std::uint8_t& StateOf(int Index) {
        const auto at = static_cast<std::size_t>(Index);
        if (at >= FState.size())
            FState.resize(at + 1);
        return FState[at];
    }
    std::string FPassword;
    std::thread FWorker;
    bool FStopping = false;
};

} // namespace

struct TExeZip::TImpl {
    zip_t* Archive = nullptr;
    std::string Password;
    std::vector<std::string> Names;
    std::unordered_map<std::string, int> FirstByFoldedName;
    std::vector<THeaderFlags> Flags;
    const std::uint8_t* Data = nullptr;
    std::uint64_t Size = 0; // length of the archive's bytes
    bool Mapped = false;
    // The entries of each folder in directory order, and each entry's
    // folder with its place there.
    std::vector<std::vector<int>> Folders;
    std::vector<std::pair<std::size_t, std::size_t>> PlaceInFolder;
    TDecryptedCache Cache;

    TZipEntryData EntryData(std::size_t At) const;
    void IndexFolders();
    void ReadAhead(std::size_t At);
};

void TExeZip::TImpl::IndexFolders() {
    std::unordered_map<std::string, std::size_t> folderByName;
    PlaceInFolder.reserve(Names.size());
    for (std::size_t i = 0; i < Names.size(); ++i) {
        const std::string& name = Names[i];
        const std::size_t slash = name.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash);
        auto [found, added] = folderByName.emplace(folder, Folders.size());
        if (added)
            Folders.emplace_back();
        PlaceInFolder.emplace_back(found->second, Folders[found->second].size());
        Folders[found->second].push_back(static_cast<int>(i));
    }
}

// Puts the encrypted neighbours of entry At (the entries after it in its
// folder, then those before it) that are not decrypted yet on the cache's
// worker. The top level holds the settings and the engine's own files, read
// once at start: nothing is read ahead there.
void TExeZip::TImpl::ReadAhead(std::size_t At) {
    const auto [folder, place] = PlaceInFolder[At];
    if (Names[At].find('/') == std::string::npos || Password.empty())
        return;
    const std::vector<int>& entries = Folders[folder];
    std::vector<int> candidates;
    for (std::size_t step = 1; step < entries.size() && candidates.size() < TDecryptedCache::MaxAhead; ++step)
        candidates.push_back(entries[(place + step) % entries.size()]);
    // Once the neighbours are ahead, the next few missing ones wait until
    // there are enough of them to keep the worker's lanes busy, rather than
    // waking it for every entry opened.
    const std::vector<int> missing = Cache.Missing(candidates);
    if (missing.empty() ||
        (missing.size() < TDecryptedCache::AheadBatch && missing.front() != candidates.front()))
        return;
    std::vector<TDecryptedCache::TJob> jobs;
    std::vector<int> notAhead;
    std::uint64_t bytes = 0;
    for (int index : missing) {
        try {
            TZipEntryData entry = EntryData(static_cast<std::size_t>(index));
            if (!TDecryptedCache::Fits(entry)) {
                notAhead.push_back(index);
                continue;
            }
            bytes += entry.CompressedSize;
            if (bytes > TDecryptedCache::MaxAheadBytes)
                break;
            jobs.push_back({index, std::move(entry)});
        } catch (const EZipError&) {
            notAhead.push_back(index); // reported when the entry itself is opened
        }
    }
    Cache.MarkNotAhead(notAhead);
    Cache.Ahead(std::move(jobs), Password);
}

TExeZip::TExeZip() : FImpl(std::make_unique<TImpl>()) {}

TExeZip::~TExeZip() {
    Close();
}

void TExeZip::SetPassword(const std::string& Password) {
    FImpl->Cache.Clear();
    FImpl->Password = Password;
    if (FImpl->Archive)
        zip_set_default_password(FImpl->Archive, Password.empty() ? nullptr : Password.c_str());
}

void TExeZip::Open(TMemoryStream& Stream) {
    Open(Stream.Memory(), static_cast<std::uint64_t>(Stream.Size()));
}

void TExeZip::Open(const std::uint8_t* Data, std::uint64_t Size, bool Mapped) {
    Close();
    if (Size == 0)
        throw EZipError("The archive is empty: no data to read");
    zip_error_t error;
    zip_error_init(&error);
    // libzip reads the caller's bytes in place (no copy, never freed by it).
    zip_source_t* source = zip_source_buffer_create(Data, static_cast<zip_uint64_t>(Size), 0, &error);
    if (!source) {
        std::string text = ErrorText(&error);
        zip_error_fini(&error);
        throw EZipError("Cannot read the archive: " + text);
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        std::string text = ErrorText(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        throw EZipError("The data is not a ZIP archive that can be read: " + text);
    }
    zip_error_fini(&error);

    FImpl->Archive = archive;
    FImpl->Data = Data;
    FImpl->Size = Size;
    FImpl->Mapped = Mapped;
    if (!FImpl->Password.empty())
        zip_set_default_password(archive, FImpl->Password.c_str());
    zip_int64_t count = zip_get_num_entries(archive, 0);
    FImpl->Names.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        FImpl->Names.emplace_back(name ? name : "");
        FImpl->FirstByFoldedName.emplace(LowerAscii(FImpl->Names.back()), static_cast<int>(i));
    }
    FImpl->Flags = ReadHeaderFlags(Data, Size);
    if (FImpl->Flags.size() != FImpl->Names.size())
        FImpl->Flags.assign(FImpl->Names.size(), THeaderFlags{});
    FImpl->IndexFolders();
}

void TExeZip::Close() {
    FImpl->Cache.Clear(); // its worker reads the archive's bytes
    if (FImpl->Archive)
        zip_discard(FImpl->Archive);
    FImpl->Archive = nullptr;
    FImpl->Names.clear();
    FImpl->FirstByFoldedName.clear();
    FImpl->Flags.clear();
    FImpl->Folders.clear();
    FImpl->PlaceInFolder.clear();
}

bool TExeZip::Active() const {
    return FImpl->Archive != nullptr;
}

int TExeZip::FindEntry(const std::string& Name) const {
    auto found = FImpl->FirstByFoldedName.find(LowerAscii(Name));
    return found == FImpl->FirstByFoldedName.end() ? -1 : found->second;
}

TZipEntryData TExeZip::TImpl::EntryData(std::size_t At) const {
    const std::string& stored = Names[At];
    const THeaderFlags& headers = Flags[At];
    auto fail = [&](const std::string& reason) {
        return EZipError("Cannot extract \"" + stored + "\" from the archive: " + reason);
    };
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(Archive, At, 0, &stat) != 0)
        throw fail(zip_strerror(Archive));
    constexpr zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
    if ((stat.valid & needed) != needed)
        throw fail("its sizes are not recorded in the directory");
    // Strong encryption and AES are refused (libzip itself leaks its decoder
    // state for entries marked with strong encryption).
    if (UsesStrongEncryption(headers, stat))
        throw fail("it uses strong encryption, which the reader does not support");
    if (headers.DataOffset == 0 || headers.DataOffset > Size || stat.comp_size > Size - headers.DataOffset)
        throw fail("its data lies beyond the end of the archive");
    TZipEntryData entry;
    entry.Name = stored;
    entry.Data = Data + headers.DataOffset;
    entry.CompressedSize = stat.comp_size;
    entry.Size = stat.size;
    entry.Method = static_cast<std::uint16_t>(stat.comp_method);
    entry.Encrypted = (headers.Central & 0x0001) != 0;
    entry.Crc = stat.crc;
    entry.ReleaseBehind = Mapped;
    // With a data descriptor the header's check byte is the high byte of the
    // modification time, otherwise that of the CRC.
    entry.CheckByte = (headers.Local & 0x0008) ? static_cast<std::uint8_t>(headers.LocalTime >> 8)
                                               : static_cast<std::uint8_t>(stat.crc >> 24);
    if (entry.Encrypted && Password.empty())
        throw fail("No password provided");
    return entry;
}

std::unique_ptr<TZipEntryStream> TExeZip::OpenEntry(const std::string& Name) const {
    int index = FindEntry(Name);
    if (index < 0)
        return nullptr;
    const auto at = static_cast<std::size_t>(index);
    TZipEntryData entry = FImpl->EntryData(at);
    if (TDecryptedCache::Fits(entry)) {
        entry.Decrypted = FImpl->Cache.Find(index);
        if (!entry.Decrypted) {
            // Null for a wrong password, which the stream reports.
            entry.Decrypted = DecryptEntryData(entry, FImpl->Password);
            FImpl->Cache.Add(index, entry.Decrypted);
        }
        FImpl->ReadAhead(at);
    }
    return std::make_unique<TZipEntryStream>(entry, FImpl->Password);
}

void TExeZip::ExtractEntry(const std::string& Name, TStream& Target) const {
    std::unique_ptr<TZipEntryStream> entry = OpenEntry(Name);
    if (!entry)
        return;
    // The entry is decoded completely before anything reaches Target, so a
    // wrong password or damaged data leaves the target untouched. The
    // recorded size is untrusted: the reservation is bounded by the archive's
    // own length.
    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(entry->Size()), FImpl->Size)));
    std::uint8_t buffer[65536];
    for (;;) {
        std::int64_t n = entry->Read(buffer, sizeof buffer);
        if (n == 0)
            break;
        data.insert(data.end(), buffer, buffer + n);
    }
    if (!data.empty())
        Target.Write(data.data(), static_cast<std::int64_t>(data.size()));
}

std::string TExeZip::ExtractEntryToString(const std::string& Name) const {
    TMemoryStream stream;
    ExtractEntry(Name, stream);
    return stream.AsString();
}

std::uint64_t TExeZip::DecryptedBytesKept() const {
    return FImpl->Cache.Bytes();
}

int TExeZip::EntryCount() const {
    return static_cast<int>(FImpl->Names.size());
}

std::vector<TZipEntryInfo> TExeZip::Entries() const {
    std::vector<TZipEntryInfo> entries;
    for (std::size_t i = 0; i < FImpl->Names.size(); ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        TZipEntryInfo info;
        info.Name = FImpl->Names[i];
        if (zip_stat_index(FImpl->Archive, i, ZIP_FL_ENC_RAW, &stat) == 0) {
            info.Size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
            info.CompressedSize = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
            info.Method =
                (stat.valid & ZIP_STAT_COMP_METHOD) ? static_cast<std::uint16_t>(stat.comp_method) : 0;
            info.Encrypted =
                (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
        }
        info.Flags = FImpl->Flags[i].Central;
        info.LocalFlags = FImpl->Flags[i].Local;
        entries.push_back(info);
    }
    return entries;
}

} // namespace Norvane::Shared
