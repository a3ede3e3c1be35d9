#include "packer/ArchiveWriter.h"

#include <zip.h>

#include "packer/PackError.h"
#include "platform/Interrupts.h"
#include "platform/MappedFile.h"
#include "shared/Streams.h"

namespace Norvane::Packer {
namespace {

constexpr zip_flags_t NameFlags = ZIP_FL_ENC_GUESS;
constexpr std::uint16_t Utf8NameFlag = 0x0800;
// The normal deflate level: libzip records levels 9 and below 3 in the
// general-purpose flags (bits 1 and 2), this one leaves them 0.
constexpr zip_uint32_t DeflateLevel = 6;

std::uint16_t Le16(const std::uint8_t* Data, std::size_t At) {
    return static_cast<std::uint16_t>(Data[At] | (Data[At + 1] << 8));
}

std::uint32_t Le32(const std::uint8_t* Data, std::size_t At) {
    return static_cast<std::uint32_t>(Le16(Data, At)) |
           (static_cast<std::uint32_t>(Le16(Data, At + 2)) << 16);
}

// Every payload entry carries the general-purpose flags 0x0009 and nothing
// else. libzip marks names with non-ASCII UTF-8 bytes with the UTF-8 flag (bit
// 11); that flag is cleared again in the local and central headers, leaving
// the names as their raw bytes, which is how the runtime compares them. The
// flags are covered by no checksum, and the names themselves stay unchanged.
void ClearUtf8NameFlags(const std::string& Path) {
    using namespace Norvane::Shared;
    // Read in place: only the directory and the local headers are touched.
    Norvane::Platform::MappedFile mapped(Path);
    const std::uint8_t* data = mapped.Data();
    const std::size_t size = static_cast<std::size_t>(mapped.Size());
    auto damaged = [&] {
        return EPackError("The archive \"" + Path + "\" written by libzip has an unexpected layout");
    };
    if (size < 22)
        throw damaged();
    std::size_t eocd = size - 22; // libzip writes no archive comment
    if (Le32(data, eocd) != 0x06054b50)
        throw damaged();
    std::size_t count = Le16(data, eocd + 10);
    std::size_t at = Le32(data, eocd + 16);
    std::vector<std::size_t> patches; // offsets of flag fields to clear
    for (std::size_t i = 0; i < count; ++i) {
        if (at + 46 > size || Le32(data, at) != 0x02014b50)
            throw damaged();
        std::size_t local = Le32(data, at + 42);
        if (local + 30 > size || Le32(data, local) != 0x04034b50)
            throw damaged();
        if (Le16(data, at + 8) & Utf8NameFlag)
            patches.push_back(at + 8);
        if (Le16(data, local + 6) & Utf8NameFlag)
            patches.push_back(local + 6);
        at += 46 + Le16(data, at + 28) + Le16(data, at + 30) + Le16(data, at + 32);
    }
    if (patches.empty())
        return;
    TFileStream file(Path, TFileMode::fmOpenReadWrite);
    for (std::size_t offset : patches) {
        std::uint8_t high = static_cast<std::uint8_t>(data[offset + 1] & ~(Utf8NameFlag >> 8));
        file.SetPosition(static_cast<std::int64_t>(offset + 1));
        file.Write(&high, 1);
    }
    file.Close();
}

// A termination request stops the writing; libzip then removes its temporary file.
int CancelThunk(zip_t*, void*) {
    return Norvane::Platform::InterruptRequested() ? 1 : 0;
}

void ProgressThunk(zip_t*, double Share, void* State) {
    auto* progress = static_cast<std::function<void(double)>*>(State);
    if (*progress)
        (*progress)(Share);
}

} // namespace

TArchiveWriter::TArchiveWriter(const std::string& Path, const std::string& Password, bool Deflate)
    : FPath(Path), FPassword(Password), FDeflate(Deflate) {
    int error = 0;
    FArchive = zip_open(Path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!FArchive) {
        zip_error_t details;
        zip_error_init_with_code(&details, error);
        std::string text = zip_error_strerror(&details);
        zip_error_fini(&details);
        throw EPackError("Cannot create the archive \"" + Path + "\": " + text);
    }
}

TArchiveWriter::~TArchiveWriter() {
    if (FArchive)
        zip_discard(FArchive);
}

void TArchiveWriter::Fail(const std::string& What) {
    throw EPackError(What + ": " + zip_strerror(FArchive));
}

void TArchiveWriter::Protect(long long Index, const std::string& Name, bool Folder) {
    auto index = static_cast<zip_uint64_t>(Index);
    if (zip_file_set_encryption(FArchive, index, ZIP_EM_TRAD_PKWARE, FPassword.c_str()) != 0)
        Fail("Cannot encrypt the entry \"" + Name + "\"");
    if (zip_set_file_compression(FArchive, index, FDeflate && !Folder ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 DeflateLevel) != 0)
        Fail("Cannot set the compression of the entry \"" + Name + "\"");
}

void TArchiveWriter::AddFile(const std::string& Name, const std::string& SourcePath) {
    zip_source_t* source = zip_source_file(FArchive, SourcePath.c_str(), 0, -1);
    if (!source)
        Fail("Cannot read \"" + SourcePath + "\"");
    zip_int64_t index = zip_file_add(FArchive, Name.c_str(), source, NameFlags);
    if (index < 0) {
        zip_source_free(source);
        Fail("Cannot add the entry \"" + Name + "\"");
    }
    Protect(index, Name, false);
}

void TArchiveWriter::AddBytes(const std::string& Name, std::string Bytes) {
    FBuffers.push_back(std::make_unique<std::string>(std::move(Bytes)));
    const std::string& data = *FBuffers.back();
    zip_source_t* source = zip_source_buffer(FArchive, data.data(), data.size(), 0);
    if (!source)
        Fail("Cannot add the entry \"" + Name + "\"");
    zip_int64_t index = zip_file_add(FArchive, Name.c_str(), source, NameFlags);
    if (index < 0) {
        zip_source_free(source);
        Fail("Cannot add the entry \"" + Name + "\"");
    }
    Protect(index, Name, false);
}

void TArchiveWriter::AddFolder(const std::string& Name) {
    zip_int64_t index = zip_dir_add(FArchive, Name.c_str(), NameFlags);
    if (index < 0)
        Fail("Cannot add the folder entry \"" + Name + "\"");
    Protect(index, Name, true); // stored: a folder holds only the encryption header
}

void TArchiveWriter::Close(const std::function<void(double)>& Progress) {
    FProgress = Progress;
    zip_register_progress_callback_with_state(FArchive, 0.001, ProgressThunk, nullptr, &FProgress);
    zip_register_cancel_callback_with_state(FArchive, CancelThunk, nullptr, nullptr);
    if (zip_close(FArchive) != 0) {
        std::string text = zip_strerror(FArchive);
        zip_discard(FArchive);
        FArchive = nullptr;
        throw EPackError("Cannot write the archive \"" + FPath + "\": " + text);
    }
    FArchive = nullptr;
    try {
        ClearUtf8NameFlags(FPath);
    } catch (const std::runtime_error& e) {
        throw EPackError(e.what());
    }
}

} // namespace Norvane::Packer
