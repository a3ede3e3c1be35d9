// Byte streams: an abstract stream with a memory and a file implementation.
#pragma once

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Norvane::Shared {

// A file that cannot be opened or created.
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read or write on a stream that failed.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to Count bytes; returns the number read (0 at the end).
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    // Writes Count bytes or raises EStreamError; returns Count.
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // Moves the position and returns the new one.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
    virtual std::int64_t Size() = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
};

// A growable block of memory. Writing past the end grows it; writing inside
// it overwrites bytes in place.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> Data) : FData(std::move(Data)) {}

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }

    void SetSize(std::int64_t NewSize);
    void Clear();
    const std::uint8_t* Memory() const { return FData.data(); }
    std::uint8_t* Memory() { return FData.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return FData; }
    std::string AsString() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FPosition = 0;
};

enum class TFileMode {
    fmOpenRead,      // existing file, read only
    fmOpenReadWrite, // existing file, read and write
    fmCreate         // new or truncated file, read and write
};

class TFileStream : public TStream {
public:
    // Raises EFOpenError when the file cannot be opened in that mode.
    TFileStream(const std::string& FileName, TFileMode Mode);

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override;

    const std::string& FileName() const { return FFileName; }
    // Flushes and closes; raises EStreamError when buffered data cannot be written.
    void Close();

private:
    std::string FFileName;
    std::fstream FFile;
};

// Reads a whole file into memory; raises EFOpenError when it cannot be opened.
std::vector<std::uint8_t> ReadFileBytes(const std::string& FileName);

} // namespace Norvane::Shared
