// The packaged executable: the runtime image followed directly by the payload
// archive, with no marker or length field. Finding, copying and appending it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/MappedFile.h"
#include "shared/Streams.h"

namespace Norvane::Shared {

// Raised by the path-taking variants used by the packer.
class EExeUtilsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The payload read in place: the executable file mapped read-only, seen from
// its image end. Nothing is copied; the bytes stay valid while this lives.
class TMappedPayload {
public:
    TMappedPayload(const std::string& ExePath, std::int64_t ImageEnd, std::int64_t Length);
    const std::uint8_t* Data() const { return FFile.Data() + FOffset; }
    std::uint64_t Size() const { return FLength; }

private:
    Platform::MappedFile FFile;
    std::uint64_t FOffset = 0;
    std::uint64_t FLength = 0;
};

class TExeUtils {
public:
    using TOnProgressMax = std::function<void(TExeUtils& Sender, std::int64_t AMax)>;
    using TOnProgressPos = std::function<void(TExeUtils& Sender, std::int64_t APos)>;

    static constexpr std::int64_t BlockSize = 10240;

    TOnProgressMax OnProgressMax;
    TOnProgressPos OnProgressPos;

    // --- The running executable (runtime side) ---
    // True when the running executable's file is longer than its image.
    bool ExeHasAttachedStub();
    // Copies the payload into MemoryStream from position 0. With no payload:
    // message box "This is not a valid Windows application" and exit code 0.
    void GetZipFromExe(TMemoryStream& MemoryStream);
    // The payload read in place from the mapped executable; no payload as above.
    std::unique_ptr<TMappedPayload> MapZipFromExe();
    // Writes the payload to a new file at ZipPath (replacing one); no payload as above.
    void ExtractZipFromExe(const std::string& ZipPath);
    // Appends the archive file ZipPath to the end of ExePath.
    void AppendZipToExe(const std::string& ZipPath, const std::string& ExePath);

    // --- Any executable given by path (packer side); errors raise EExeUtilsError ---
    bool FileHasAttachedStub(const std::string& ExePath);
    // Payload length of the file (0 when it has none).
    std::int64_t PayloadSizeOfFile(const std::string& ExePath);
    // Copies the payload of ExePath to Target at its position; raises when there is none.
    void GetZipFromFile(const std::string& ExePath, TStream& Target);
    // The payload of ExePath read in place; raises when there is none.
    std::unique_ptr<TMappedPayload> MapZipFromFile(const std::string& ExePath);
    void ExtractZipFromFile(const std::string& ExePath, const std::string& ZipPath);

    // Image end of an executable file: ELF (end of segments, sections with file
    // data and the section header table) or Portable Executable (largest
    // PointerToRawData + SizeOfRawData). Raises EExeUtilsError for other data.
    static std::int64_t GetImageEndOfFile(const std::string& ExePath);
    // Size of a file from its directory entry; -1 when no file matches.
    static std::int64_t GetFileSize(const std::string& Path);

    // --- Resources of a Portable Executable copy of the runtime (packer side) ---
    // The names of the version texts, in the order UpdateExeInfo takes them.
    static const char* const VersionNames[11];
    // Replaces the icon group "MAINICON" with the images of the icon file,
    // numbered 1..n in language 1033; the old group and its images are removed
    // in their own languages. Raises EIconFileError for a bad icon file and
    // EPeError for a file that is not an editable Portable Executable; the
    // executable is replaced only by a complete edited copy.
    void ChangeExeIcon(const std::string& ExePath, const std::string& IcoPath);
    // Writes each text into the value of that name in every translation of
    // the version block, which is stored again as version resource 1 in the
    // neutral language. Values the block lacks are not added. A text longer
    // than the old value's room grows the value and the block is laid out
    // anew. Does nothing for a missing file or one without version
    // information. Returns the number of values written.
    std::size_t UpdateExeInfo(const std::string& ExePath, const std::string& CompanyName,
                              const std::string& FileDescription, const std::string& FileVersion,
                              const std::string& InternalName, const std::string& LegalCopyright,
                              const std::string& LegalTrademarks, const std::string& OriginalFileName,
                              const std::string& ProgramID, const std::string& ProductName,
                              const std::string& ProductVersion, const std::string& Comments);
    // The same for only the names given (each one of VersionNames).
    std::size_t UpdateExeInfo(const std::string& ExePath,
                              const std::vector<std::pair<std::string, std::string>>& Values);

private:
    std::int64_t GetExeSize();
    std::int64_t GetImageEnd();
    void CopyPayload(const std::string& ExePath, std::int64_t ImageEnd, std::int64_t Length, TStream& Target);
};

} // namespace Norvane::Shared
