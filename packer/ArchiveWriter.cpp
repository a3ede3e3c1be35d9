#include "packer/ArchiveWriter.h"

#include <zip.h>

#include "packer/PackError.h"

namespace Norvane::Packer {
namespace {

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

void TArchiveWriter::Protect(long long Index, const std::string& Name) {
    auto index = static_cast<zip_uint64_t>(Index);
    if (zip_file_set_encryption(FArchive, index, ZIP_EM_TRAD_PKWARE, FPassword.c_str()) != 0)
        Fail("Cannot encrypt the entry \"" + Name + "\"");
    if (zip_set_file_compression(FArchive, index, FDeflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0)
        Fail("Cannot set the compression of the entry \"" + Name + "\"");
}

void TArchiveWriter::AddFile(const std::string& Name, const std::string& SourcePath) {
    zip_source_t* source = zip_source_file(FArchive, SourcePath.c_str(), 0, -1);
    if (!source)
        Fail("Cannot read \"" + SourcePath + "\"");
    zip_int64_t index = zip_file_add(FArchive, Name.c_str(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);
        Fail("Cannot add the entry \"" + Name + "\"");
    }
    Protect(index, Name);
}

void TArchiveWriter::AddBytes(const std::string& Name, std::string Bytes) {
    FBuffers.push_back(std::make_unique<std::string>(std::move(Bytes)));
    const std::string& data = *FBuffers.back();
    zip_source_t* source = zip_source_buffer(FArchive, data.data(), data.size(), 0);
    if (!source)
        Fail("Cannot add the entry \"" + Name + "\"");
    zip_int64_t index = zip_file_add(FArchive, Name.c_str(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);
        Fail("Cannot add the entry \"" + Name + "\"");
    }
    Protect(index, Name);
}

void TArchiveWriter::AddFolder(const std::string& Name) {
    zip_int64_t index = zip_dir_add(FArchive, Name.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0)
        Fail("Cannot add the folder entry \"" + Name + "\"");
    Protect(index, Name);
}

void TArchiveWriter::Close(const std::function<void(double)>& Progress) {
    FProgress = Progress;
    zip_register_progress_callback_with_state(FArchive, 0.001, ProgressThunk, nullptr, &FProgress);
    if (zip_close(FArchive) != 0) {
        std::string text = zip_strerror(FArchive);
        zip_discard(FArchive);
        FArchive = nullptr;
        throw EPackError("Cannot write the archive \"" + FPath + "\": " + text);
    }
    FArchive = nullptr;
}

} // namespace Norvane::Packer
