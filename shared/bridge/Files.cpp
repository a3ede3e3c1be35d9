// The files functions: fileExists, deleteFile, writeTextFile, extractFile,
// and the page file writing that base64.decodeToFile shares.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Paths.h"
#include "shared/Streams.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace Norvane::Shared {

namespace fs = std::filesystem;
using Platform::PathFromUtf8;
using Platform::Utf8FromPath;

namespace {

// Creates the folder of a file and its missing parents; failures are left to
// the write that follows.
void ForceFolderOf(const std::string& FilePath) {
    const fs::path folder = PathFromUtf8(FilePath).parent_path();
    if (folder.empty())
        return;
    std::error_code ec;
    fs::create_directories(folder, ec);
}

void WriteAll(TFileStream& Stream, std::string_view Bytes) {
    if (!Bytes.empty() && Stream.Write(Bytes.data(), static_cast<std::int64_t>(Bytes.size())) !=
                              static_cast<std::int64_t>(Bytes.size()))
        throw EStreamError("Error writing to file \"" + Stream.FileName() + "\"");
}

// The text as lines broken at CR LF, CR or LF, each ended by CR LF; a last
// piece without a line break is a line when it is not empty.
std::string WithCrLfLines(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 8 + 2);
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\r' && Text[i] != '\n')
            continue;
        out.append(Text.substr(lineStart, i - lineStart));
        out.append("\r\n");
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < Text.size()) {
        out.append(Text.substr(lineStart));
        out.append("\r\n");
    }
    return out;
}

// A file written under a new name in the folder of its path and put in the
// place of that path by Commit, so that a write that fails half-way leaves
// what was at the path before. Not committed, the new file is removed.
class TReplacingFile {
public:
    // Raises EFOpenError, naming Path, when the file cannot be written: an
    // existing one is opened for writing first (without truncating it), so
    // a folder or a file without write permission is refused as when it was
    // written in place.
    explicit TReplacingFile(const std::string& Path) : FPath(PathFromUtf8(Path)) {
        std::error_code ec;
        // Through a link, the file that the link names is replaced.
        if (fs::is_symlink(fs::symlink_status(FPath, ec))) {
            const fs::path resolved = fs::weakly_canonical(FPath, ec);
            if (!ec)
                FPath = resolved;
        }
        const fs::file_status existing = fs::status(FPath, ec);
        if (fs::exists(existing))
            TFileStream(Utf8FromPath(FPath), TFileMode::fmOpenReadWrite).Close();
        std::random_device random;
        const std::uint64_t unique = (std::uint64_t{random()} << 32) ^ random();
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(unique));
        // Appended piecewise: GCC 12's -Wrestrict takes '"." + name' for an
        // overlapping copy on 32-bit targets.
        std::string tempName(1, '.');
        tempName.append(Utf8FromPath(FPath.filename())).append(suffix);
        FTemp = FPath.parent_path() / PathFromUtf8(tempName);
        try {
            FStream = std::make_unique<TFileStream>(Utf8FromPath(FTemp), TFileMode::fmCreate);
        } catch (const EFOpenError& e) {
            // Named as the target, in the words of opening it.
            const std::string what = e.what();
            const std::string lead = "Cannot open file \"" + Utf8FromPath(FTemp) + "\"";
            if (what.compare(0, lead.size(), lead) != 0)
                throw;
            throw EFOpenError("Cannot open file \"" + Path + "\"" + what.substr(lead.size()));
        }
        if (fs::exists(existing))
            fs::permissions(FTemp, existing.permissions(), ec);
    }
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;
    ~TReplacingFile() {
        if (FStream) {
            FStream.reset();
            std::error_code ec;
            fs::remove(FTemp, ec);
        }
    }

    TStream& Stream() { return *FStream; }
    // Closes the new file and renames it to the path; raises when either fails.
    void Commit() {
        FStream->Close();
        fs::rename(FTemp, FPath);
        FStream.reset();
    }

private:
    fs::path FPath;
    fs::path FTemp;
    std::unique_ptr<TFileStream> FStream;
};

} // namespace

TBridgeResult TBrowserExternalModule::FilesFileExists(const TBridgeCall& Call) {
    const std::string filePath = ReadPathArg(Call.Data, "filePath");
    std::error_code ec;
    const fs::file_status status = fs::status(PathFromUtf8(ResolvePagePath(filePath)), ec);
    return TBridgeResult::Boolean(fs::exists(status) && !fs::is_directory(status));
}

// The functions that change files run on the bridge's worker, in the order of
// the calls.

TBridgeResult TBrowserExternalModule::FilesDeleteFile(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    return ReplyFromWorker(Call, [path] {
        // A single file (or a link itself); never a folder, even an empty one.
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(PathFromUtf8(path), ec);
        return TBridgeResult::Boolean(fs::exists(status) && !fs::is_directory(status) &&
                                      fs::remove(PathFromUtf8(path), ec) && !ec);
    });
}

TBridgeResult
TBrowserExternalModule::WritePageFile(const TBridgeCall& Call,
                                      const std::function<std::string(const std::string&)>& BytesOf) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    std::string contents;
    try {
        contents = ReadTextArg(Call.Data, "contents");
    } catch (const std::exception& e) {
        // Contents of a wrong kind are reported like a failed write.
        ForceFolderOf(path);
        return TBridgeResult::Error(e.what());
    }
    return ReplyFromWorker(Call, [path, contents = std::move(contents), BytesOf] {
        ForceFolderOf(path);
        const std::string bytes = BytesOf(contents);
        TFileStream file(path, TFileMode::fmCreate);
        WriteAll(file, bytes);
        file.Close();
        return TBridgeResult::Boolean(true);
    });
}

TBridgeResult TBrowserExternalModule::FilesWriteTextFile(const TBridgeCall& Call) {
    return WritePageFile(
        Call, [](const std::string& Contents) { return "\xEF\xBB\xBF" + WithCrLfLines(Contents); });
}

TBridgeResult TBrowserExternalModule::FilesExtractFile(const TBridgeCall& Call) {
    const std::string sourceFile = ReadTextArg(Call.Data, "sourceFile");
    const std::string targetFile = ReadTextArg(Call.Data, "targetFile");
    AcceptPath(sourceFile, "Missing sourceFile");
    AcceptPath(targetFile, "Missing targetFile");
    const std::string dirName =
        FProjectINI ? FProjectINI->ReadString(AppIni::Section, AppIni::DirName, AppIni::DefaultDirName)
                    : std::string(AppIni::DefaultDirName);
    const std::string entryName = dirName + sourceFile;
    // The target is touched only for an entry that exists.
    if (!FExeZip || FExeZip->FindEntry(entryName) < 0)
        return TBridgeResult::Error("File not found");
    // Relative to the current folder; a target that cannot be written raises
    // out of the function. The entry replaces the target once it is written
    // whole; a failed extraction leaves the target as it was.
    TReplacingFile target(targetFile);
    try {
        FExeZip->ExtractEntry(entryName, target.Stream());
        target.Commit();
        return TBridgeResult::Boolean(true);
    } catch (const std::exception& e) {
        return TBridgeResult::Error(e.what());
    }
}

} // namespace Norvane::Shared
