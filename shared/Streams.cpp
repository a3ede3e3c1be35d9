#include "shared/Streams.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cstring>

namespace Norvane::Shared {

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition >= Size())
        return 0;
    std::int64_t n = std::min(Count, Size() - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    if (FPosition + Count > Size())
        FData.resize(static_cast<std::size_t>(FPosition + Count));
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition += Count;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t base = Origin == TSeekOrigin::soBeginning ? 0
                        : Origin == TSeekOrigin::soCurrent ? FPosition
                                                           : Size();
    FPosition = std::max<std::int64_t>(0, base + Offset);
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, NewSize)));
    FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
    std::ios::openmode mode = std::ios::binary | std::ios::in;
    if (Mode == TFileMode::fmOpenReadWrite)
        mode |= std::ios::out;
    else if (Mode == TFileMode::fmCreate)
        mode |= std::ios::out | std::ios::trunc;
    FFile.open(Platform::PathFromUtf8(FileName), mode);
    if (!FFile.is_open())
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
}

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    FFile.read(static_cast<char*>(Buffer), static_cast<std::streamsize>(Count));
    std::int64_t n = FFile.gcount();
    if (FFile.eof())
        FFile.clear();
    else if (FFile.fail())
        throw EStreamError("Stream read error on \"" + FFileName + "\"");
    return n;
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    FFile.write(static_cast<const char*>(Buffer), static_cast<std::streamsize>(Count));
    if (!FFile)
        throw EStreamError("Stream write error on \"" + FFileName + "\"");
    return Count;
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::ios::seekdir dir = Origin == TSeekOrigin::soBeginning ? std::ios::beg
                            : Origin == TSeekOrigin::soCurrent ? std::ios::cur
                                                               : std::ios::end;
    FFile.clear();
    FFile.seekg(static_cast<std::streamoff>(Offset), dir);
    FFile.seekp(FFile.tellg());
    if (!FFile)
        throw EStreamError("Stream seek error on \"" + FFileName + "\"");
    return static_cast<std::int64_t>(FFile.tellg());
}

std::int64_t TFileStream::Size() {
    FFile.clear();
    auto here = FFile.tellg();
    FFile.seekg(0, std::ios::end);
    auto end = FFile.tellg();
    FFile.seekg(here);
    FFile.seekp(here);
    return static_cast<std::int64_t>(end);
}

void TFileStream::Close() {
    if (!FFile.is_open())
        return;
    FFile.flush();
    bool ok = static_cast<bool>(FFile);
    FFile.close();
    if (!ok || FFile.fail())
        throw EStreamError("Stream write error on \"" + FFileName + "\"");
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& FileName) {
    TFileStream file(FileName, TFileMode::fmOpenRead);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(file.Size()));
    file.SetPosition(0);
    std::int64_t done = 0;
    while (done < static_cast<std::int64_t>(data.size())) {
        std::int64_t n = file.Read(data.data() + done, static_cast<std::int64_t>(data.size()) - done);
        if (n == 0)
            break;
        done += n;
    }
    data.resize(static_cast<std::size_t>(done));
    return data;
}

} // namespace Norvane::Shared
