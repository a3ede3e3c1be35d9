#include "shared/ZipEntryStream.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include <zlib.h>

#include "platform/MappedFile.h"

namespace Norvane::Shared {
namespace {

constexpr std::uint64_t EncryptionHeaderSize = 12;
constexpr std::size_t ChunkSize = 64 * 1024;
// Stored entries: the cipher's keys are kept at every interval boundary
// (12 bytes per mebibyte), which gives random access within one interval.
constexpr std::uint64_t StoredMarkSpacing = 1024 * 1024;
// Deflated entries: copies of the inflate state (its 32 KiB window and the
// input chunk position), at most MaxCheckpoints; when full, every other one
// is dropped and the spacing doubles.
constexpr std::uint64_t FirstCheckpointSpacing = 4 * 1024 * 1024;
constexpr std::size_t MaxCheckpoints = 32;
// Input read through is given back to the mapping in steps of this size.
constexpr std::uint64_t ReleaseStep = 4 * 1024 * 1024;

// The three keys of the traditional PKWARE cipher.
struct TKeys {
    std::uint32_t K0 = 305419896u, K1 = 591751049u, K2 = 878082192u;
};

const z_crc_t* CrcTable() {
    static const z_crc_t* table = get_crc_table();
    return table;
}

inline void UpdateKeys(TKeys& K, const z_crc_t* Table, std::uint8_t Plain) {
    K.K0 = static_cast<std::uint32_t>(Table[(K.K0 ^ Plain) & 0xFF] ^ (K.K0 >> 8));
    K.K1 = (K.K1 + (K.K0 & 0xFF)) * 134775813u + 1;
    K.K2 = static_cast<std::uint32_t>(Table[(K.K2 ^ (K.K1 >> 24)) & 0xFF] ^ (K.K2 >> 8));
}

inline std::uint8_t DecryptByte(TKeys& K, const z_crc_t* Table, std::uint8_t Cipher) {
    const std::uint32_t t = (K.K2 | 2) & 0xFFFF;
    const auto plain = static_cast<std::uint8_t>(Cipher ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8));
    UpdateKeys(K, Table, plain);
    return plain;
}

void Decrypt(TKeys& K, const std::uint8_t* In, std::uint8_t* Out, std::size_t Count) {
    const z_crc_t* table = CrcTable();
    TKeys k = K;
    for (std::size_t i = 0; i < Count; ++i)
        Out[i] = DecryptByte(k, table, In[i]);
    K = k;
}

// The CRC of a stored entry's plain bytes, from the cipher's first key
// before (Start) and after (End) them. That key is a CRC register run over the
// same bytes from another start, and a CRC register's state is linear in its
// start: the two runs differ by the starts' difference carried over Length
// bytes (crc32_combine with a zero second CRC does that carrying).
std::uint32_t CrcOfKeys(std::uint32_t Start, std::uint32_t End, std::uint64_t Length) {
    constexpr std::uint32_t Ones = 0xFFFFFFFFu;
    const auto carried = crc32_combine(Start ^ Ones, 0, static_cast<z_off_t>(Length));
    return End ^ static_cast<std::uint32_t>(carried) ^ Ones;
}

// One entry being decrypted side by side with others.
struct TLane {
    TKeys Keys;
    std::uint32_t StartK0 = 0; // the first key after the encryption header
    const std::uint8_t* In = nullptr;
    std::uint8_t* Out = nullptr;
    std::size_t Left = 0;
    std::size_t Place = 0; // in the caller's list
    std::shared_ptr<std::vector<std::uint8_t>> Data;
};
constexpr std::size_t Lanes = 4;
// Stored data longer than this (beyond the CRC functions' length type on
// every platform) is not checked while decrypted, nor returned.
constexpr std::uint64_t MaxCheckedLength = 0x7FFFFFFF;

// Count bytes of each of the lanes, a byte of each in turn: the processor
// works on the four independent chains at once.
void DecryptLanes(TLane* L, std::size_t Count) {
    const z_crc_t* table = CrcTable();
    TKeys k[Lanes];
    const std::uint8_t* in[Lanes];
    std::uint8_t* out[Lanes];
    for (std::size_t j = 0; j < Lanes; ++j) {
        k[j] = L[j].Keys;
        in[j] = L[j].In;
        out[j] = L[j].Out;
    }
    for (std::size_t i = 0; i < Count; ++i)
        for (std::size_t j = 0; j < Lanes; ++j)
            out[j][i] = DecryptByte(k[j], table, in[j][i]);
    for (std::size_t j = 0; j < Lanes; ++j) {
        L[j].Keys = k[j];
        L[j].In += Count;
        L[j].Out += Count;
        L[j].Left -= Count;
    }
}

// The cipher's keys after the password and the entry's encryption header;
// none when the header's check byte does not match (a wrong password).
std::optional<TKeys> StartKeysOf(const TZipEntryData& Entry, const std::string& Password) {
    TKeys keys;
    for (char c : Password)
        UpdateKeys(keys, CrcTable(), static_cast<std::uint8_t>(c));
    std::uint8_t plain[EncryptionHeaderSize];
    Decrypt(keys, Entry.Data, plain, EncryptionHeaderSize);
    if (plain[EncryptionHeaderSize - 1] != Entry.CheckByte)
        return std::nullopt;
    return keys;
}

struct TCheckpoint {
    std::uint64_t Out = 0;        // output position
    std::uint64_t ChunkStart = 0; // input offset of the chunk being inflated
    TKeys ChunkKeys;              // the cipher's keys at ChunkStart
    std::size_t Consumed = 0;     // bytes of that chunk inflate had taken
    bool Ended = false;
    z_stream Z{};
    ~TCheckpoint() { inflateEnd(&Z); }
};

} // namespace

struct TZipEntryStream::TImpl {
    const TZipEntryData& Entry;
    const std::uint8_t* Input = nullptr; // after the encryption header
    std::uint64_t InputSize = 0;
    bool Cipher = false; // Input is still encrypted
    TKeys StartKeys;     // after the encryption header
    TKeys Keys;
    std::uint64_t Pos = 0;    // where the decoder stands
    std::uint64_t Target = 0; // where the reader stands
    std::uint32_t Crc = 0;
    std::uint64_t CrcPos = 0;   // the CRC covers [0, CrcPos)
    std::uint64_t Released = 0; // input before this offset was given back

    // Input before Offset has been read through.
    void ReadThrough(std::uint64_t Offset) {
        if (!Entry.ReleaseBehind)
            return;
        if (Offset < Released)
            Released = Offset; // went back
        else if (Offset - Released >= ReleaseStep) {
            Platform::ReleaseMappedPages(Input + Released, Offset - Released);
            Released = Offset;
        }
    }

    // Stored
    std::vector<TKeys> Marks; // keys at k * StoredMarkSpacing

    // Deflated
    z_stream Z{};
    bool ZReady = false;
    bool Ended = false;
    std::uint64_t ChunkStart = 0;
    TKeys ChunkKeys;
    std::vector<std::uint8_t> Chunk;
    std::size_t ChunkLength = 0;
    std::vector<std::unique_ptr<TCheckpoint>> Checkpoints;
    std::uint64_t Spacing = FirstCheckpointSpacing;
    std::uint64_t NextCheckpoint = FirstCheckpointSpacing;

    explicit TImpl(const TZipEntryData& E) : Entry(E) {}
    ~TImpl() {
        if (ZReady)
            inflateEnd(&Z);
    }

    [[noreturn]] void Fail(const std::string& Reason) const {
        throw EZipError("Cannot read \"" + Entry.Name + "\" from the archive: " + Reason);
    }

    bool Deflated() const { return Entry.Method == 8; }

    void Checksum(std::uint64_t At, const std::uint8_t* Bytes, std::size_t Count) {
        if (At != CrcPos || Count == 0)
            return;
        Crc = static_cast<std::uint32_t>(crc32(Crc, Bytes, static_cast<uInt>(Count)));
        CrcPos += Count;
        if (CrcPos == Entry.Size && Crc != Entry.Crc)
            Fail(Entry.Encrypted ? "CRC error (wrong password or damaged data)" : "CRC error");
    }

    // ---- stored ----
    void DecodeStored(std::uint8_t* Out, std::size_t Count) {
        std::size_t done = 0;
        while (done < Count) {
            std::uint64_t boundary = (Pos / StoredMarkSpacing + 1) * StoredMarkSpacing;
            auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(Count - done, boundary - Pos));
            if (Cipher)
                Decrypt(Keys, Input + Pos, Out + done, piece);
            else
                std::memcpy(Out + done, Input + Pos, piece);
            Checksum(Pos, Out + done, piece);
            Pos += piece;
            done += piece;
            ReadThrough(Pos);
            if (Pos % StoredMarkSpacing == 0 && Pos / StoredMarkSpacing == Marks.size())
                Marks.push_back(Keys);
        }
    }

    void RewindStored(std::uint64_t To) {
        if (!Cipher) {
            Pos = To;
            return;
        }
        std::size_t mark =
            std::min<std::size_t>(static_cast<std::size_t>(To / StoredMarkSpacing), Marks.size() - 1);
        Keys = Marks[mark];
        Pos = mark * StoredMarkSpacing;
    }

    // ---- deflated ----
    void LoadChunk() {
        ReadThrough(ChunkStart);
        ChunkKeys = Keys;
        ChunkLength = static_cast<std::size_t>(std::min<std::uint64_t>(ChunkSize, InputSize - ChunkStart));
        if (Cipher)
            Decrypt(Keys, Input + ChunkStart, Chunk.data(), ChunkLength);
        else
            std::memcpy(Chunk.data(), Input + ChunkStart, ChunkLength);
        Z.next_in = Chunk.data();
        Z.avail_in = static_cast<uInt>(ChunkLength);
    }

    void StartInflate() {
        if (ZReady)
            inflateEnd(&Z);
        Z = z_stream{};
        ZReady = inflateInit2(&Z, -MAX_WBITS) == Z_OK;
        if (!ZReady)
            Fail("the inflate decoder cannot start");
        Keys = StartKeys;
        ChunkStart = 0;
        ChunkLength = 0;
        Pos = 0;
        Ended = false;
    }

    void DecodeDeflated(std::uint8_t* Out, std::size_t Count) {
        Z.next_out = Out;
        Z.avail_out = static_cast<uInt>(Count);
        while (Z.avail_out > 0 && !Ended) {
            if (Z.avail_in == 0) {
                ChunkStart += ChunkLength;
                if (ChunkStart >= InputSize)
                    break;
                LoadChunk();
            }
            int result = inflate(&Z, Z_NO_FLUSH);
            if (result == Z_STREAM_END)
                Ended = true;
            else if (result != Z_OK && (result != Z_BUF_ERROR || Z.avail_in > 0))
                Fail(std::string("its deflated data is damaged (") + (Z.msg ? Z.msg : "inflate error") + ")");
        }
        std::size_t produced = Count - Z.avail_out;
        Checksum(Pos, Out, produced);
        Pos += produced;
        if (produced < Count)
            Fail(Ended ? "its data is shorter than its recorded size" : "its data is cut short");
        if (Pos >= NextCheckpoint && !Ended)
            TakeCheckpoint();
    }

    void TakeCheckpoint() {
        auto checkpoint = std::make_unique<TCheckpoint>();
        checkpoint->Out = Pos;
        checkpoint->ChunkStart = ChunkStart;
        checkpoint->ChunkKeys = ChunkKeys;
        checkpoint->Consumed = ChunkLength - Z.avail_in;
        checkpoint->Ended = Ended;
        if (inflateCopy(&checkpoint->Z, &Z) != Z_OK)
            return; // no checkpoint: seeking back decodes from further back
        Checkpoints.push_back(std::move(checkpoint));
        if (Checkpoints.size() > MaxCheckpoints) {
            std::vector<std::unique_ptr<TCheckpoint>> kept;
            for (std::size_t i = 1; i < Checkpoints.size(); i += 2)
                kept.push_back(std::move(Checkpoints[i]));
            Checkpoints = std::move(kept);
            Spacing *= 2;
        }
        NextCheckpoint = Pos + Spacing;
    }

    void RewindDeflated(std::uint64_t To) {
        TCheckpoint* best = nullptr;
        for (const auto& c : Checkpoints)
            if (c->Out <= To)
                best = c.get();
        if (!best) {
            StartInflate();
            return;
        }
        inflateEnd(&Z);
        if (inflateCopy(&Z, &best->Z) != Z_OK) {
            ZReady = false;
            StartInflate();
            return;
        }
        ChunkStart = best->ChunkStart;
        Keys = best->ChunkKeys;
        LoadChunk();
        Z.next_in = Chunk.data() + best->Consumed;
        Z.avail_in = static_cast<uInt>(ChunkLength - best->Consumed);
        Pos = best->Out;
        Ended = best->Ended;
    }

    void Decode(std::uint8_t* Out, std::size_t Count) {
        if (Deflated())
            DecodeDeflated(Out, Count);
        else
            DecodeStored(Out, Count);
    }

    // Brings the decoder to Target: back to the nearest checkpoint before
    // it when it lies behind, then forward by decoding.
    void Reach() {
        if (Target < Pos) {
            if (Deflated())
                RewindDeflated(Target);
            else
                RewindStored(Target);
        }
        if (!Deflated() && !Cipher) {
            Pos = Target;
            return;
        }
        std::uint8_t scratch[16 * 1024];
        while (Pos < Target)
            Decode(scratch, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof scratch, Target - Pos)));
    }
};

void DecryptEntriesData(
    const std::vector<const TZipEntryData*>& Entries, const std::string& Password,
    const std::function<void(std::size_t, std::shared_ptr<const std::vector<std::uint8_t>>)>& Done) {
    TLane lanes[Lanes];
    std::size_t active = 0;
    std::size_t next = 0;
    auto fill = [&] {
        while (active < Lanes && next < Entries.size()) {
            const std::size_t place = next++;
            const TZipEntryData& entry = *Entries[place];
            std::optional<TKeys> keys;
            if (entry.Encrypted && entry.CompressedSize >= EncryptionHeaderSize)
                keys = StartKeysOf(entry, Password);
            if (!keys) {
                Done(place, nullptr);
                continue;
            }
            auto data = std::make_shared<std::vector<std::uint8_t>>(
                static_cast<std::size_t>(entry.CompressedSize - EncryptionHeaderSize));
            lanes[active++] = {*keys,          keys->K0,     entry.Data + EncryptionHeaderSize,
                               data->data(),   data->size(), place,
                               std::move(data)};
        }
    };
    for (fill(); active > 0; fill()) {
        if (active == Lanes) {
            std::size_t step = lanes[0].Left;
            for (std::size_t j = 1; j < Lanes; ++j)
                step = std::min(step, lanes[j].Left);
            DecryptLanes(lanes, step);
        } else {
            // The last few entries, fewer than the lanes: one after another.
            for (std::size_t j = 0; j < active; ++j) {
                Decrypt(lanes[j].Keys, lanes[j].In, lanes[j].Out, lanes[j].Left);
                lanes[j].Left = 0;
            }
        }
        for (std::size_t j = 0; j < active;) {
            if (lanes[j].Left > 0) {
                ++j;
                continue;
            }
            // Stored data is the entry itself: kept only when its CRC matches
            // (the stream then need not check it again).
            const TZipEntryData& entry = *Entries[lanes[j].Place];
            const bool matches =
                entry.Method != 0 || (lanes[j].Data->size() == entry.Size && entry.Size <= MaxCheckedLength &&
                                      CrcOfKeys(lanes[j].StartK0, lanes[j].Keys.K0, entry.Size) == entry.Crc);
            Done(lanes[j].Place, matches ? std::move(lanes[j].Data) : nullptr);
            if (j != active - 1)
                lanes[j] = std::move(lanes[active - 1]);
            --active;
        }
    }
}

std::shared_ptr<const std::vector<std::uint8_t>> DecryptEntryData(const TZipEntryData& Entry,
                                                                  const std::string& Password) {
    std::shared_ptr<const std::vector<std::uint8_t>> data;
    DecryptEntriesData({&Entry}, Password,
                       [&data](std::size_t, auto Decrypted) { data = std::move(Decrypted); });
    return data;
}

TZipEntryStream::TZipEntryStream(const TZipEntryData& Entry, const std::string& Password)
    : FEntry(Entry), FImpl(std::make_unique<TImpl>(FEntry)) {
    TImpl& s = *FImpl;
    if (FEntry.Method != 0 && FEntry.Method != 8)
        s.Fail("compression method " + std::to_string(FEntry.Method) + " is not supported");
    std::uint64_t header = FEntry.Encrypted ? EncryptionHeaderSize : 0;
    if (FEntry.CompressedSize < header)
        s.Fail("its data is shorter than the encryption header");
    s.Input = FEntry.Data + header;
    s.InputSize = FEntry.CompressedSize - header;
    if (FEntry.Decrypted) {
        s.Input = FEntry.Decrypted->data();
        s.InputSize = FEntry.Decrypted->size();
        FEntry.ReleaseBehind = false; // our own memory
    }
    if (FEntry.Method == 0 && s.InputSize != FEntry.Size)
        s.Fail("its stored data is not as long as its recorded size");
    s.Cipher = FEntry.Encrypted && !FEntry.Decrypted;
    if (s.Cipher) {
        std::optional<TKeys> keys = StartKeysOf(FEntry, Password);
        if (!keys)
            s.Fail("Wrong password provided");
        s.StartKeys = *keys;
    }
    s.Keys = s.StartKeys;
    s.Marks.push_back(s.StartKeys);
    if (s.Deflated()) {
        // A chunk never holds more than the entry's data (nor is a small
        // entry's buffer cleared at 64 KiB).
        s.Chunk.resize(static_cast<std::size_t>(
            std::max<std::uint64_t>(1, std::min<std::uint64_t>(ChunkSize, s.InputSize))));
        s.StartInflate();
    }
    if (FEntry.Size == 0 && FEntry.Crc != 0)
        s.Fail("CRC error");
    if (FEntry.Decrypted && !s.Deflated()) {
        s.Crc = FEntry.Crc; // checked while decrypted
        s.CrcPos = FEntry.Size;
    }
}

TZipEntryStream::~TZipEntryStream() = default;

std::int64_t TZipEntryStream::Read(void* Buffer, std::int64_t Count) {
    TImpl& s = *FImpl;
    if (Count <= 0 || s.Target >= FEntry.Size)
        return 0;
    s.Reach();
    auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>({static_cast<std::uint64_t>(Count), FEntry.Size - s.Pos, 1u << 30}));
    s.Decode(static_cast<std::uint8_t*>(Buffer), n);
    s.Target = s.Pos;
    return static_cast<std::int64_t>(n);
}

std::int64_t TZipEntryStream::Write(const void*, std::int64_t) {
    throw EStreamError("An archive entry cannot be written");
}

std::int64_t TZipEntryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    auto size = static_cast<std::int64_t>(FEntry.Size);
    std::int64_t base = Origin == TSeekOrigin::soBeginning ? 0
                        : Origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(FImpl->Target)
                                                           : size;
    std::int64_t to = std::clamp<std::int64_t>(base + Offset, 0, size);
    FImpl->Target = static_cast<std::uint64_t>(to); // decoded lazily by the next Read
    return to;
}

std::size_t TZipEntryStream::CheckpointCount() const {
    return FImpl->Deflated() ? FImpl->Checkpoints.size() : FImpl->Marks.size();
}

} // namespace Norvane::Shared
