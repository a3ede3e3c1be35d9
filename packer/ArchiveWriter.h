// Writes a payload archive: every entry encrypted with the traditional PKWARE
// cipher, stored or deflated, folder entries ending in "/", no comment.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct zip;

namespace Norvane::Packer {

class TArchiveWriter {
public:
    // Nothing is written to Path before Close.
    TArchiveWriter(const std::string& Path, const std::string& Password, bool Deflate);
    ~TArchiveWriter();
    TArchiveWriter(const TArchiveWriter&) = delete;
    TArchiveWriter& operator=(const TArchiveWriter&) = delete;

    // The file's bytes are read when the archive is written.
    void AddFile(const std::string& Name, const std::string& SourcePath);
    void AddBytes(const std::string& Name, std::string Bytes);
    // Name ends in "/". The entry takes the current time: libzip 1.7 derives the
    // password check byte of a data-descriptor entry from the time it had when
    // added, so changing the time afterwards makes the entry undecryptable.
    void AddFolder(const std::string& Name);

    // Writes the archive; Progress gets the share done, from 0 to 1.
    void Close(const std::function<void(double)>& Progress);

private:
    void Protect(long long Index, const std::string& Name, bool Folder);
    [[noreturn]] void Fail(const std::string& What);

    zip* FArchive = nullptr;
    std::string FPath;
    std::string FPassword;
    bool FDeflate = false;
    std::vector<std::unique_ptr<std::string>> FBuffers;
    std::function<void(double)> FProgress;
};

} // namespace Norvane::Packer
