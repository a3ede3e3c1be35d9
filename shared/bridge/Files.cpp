// The files functions: fileExists, deleteFile, writeTextFile, extractFile,
// and the page file writing that base64.decodeToFile shares.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Paths.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

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

constexpr std::size_t CopyBlock = 1 << 20;
// The most bytes one request of a read in parts answers.
constexpr std::uint64_t PartSize = 1 << 20;
// The largest file that readTextFile reads.
constexpr std::uintmax_t MaxTextFile = std::uintmax_t{256} << 20;
// The most entries that listDir answers.
constexpr std::size_t MaxDirEntries = 100000;

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
    TFileStream& File() { return *FStream; }
    // Closes the new file and renames it to the path; raises when either fails.
    void Commit() {
        FStream->Close();
        fs::rename(FTemp, FPath);
        FStream.reset();
    }
    // The same where nothing may be at the path: linked to the path, which
    // the system refuses when something is there, then its temporary name
    // removed; where the file system has no links, checked, then renamed.
    void CommitNew() {
        FStream->Close();
        std::error_code ec;
        fs::create_hard_link(FTemp, FPath, ec);
        if (ec == std::errc::file_exists)
            throw EBridgeFailure(std::string(TargetExistsText));
        if (ec) {
            if (fs::exists(fs::symlink_status(FPath, ec)))
                throw EBridgeFailure(std::string(TargetExistsText));
            fs::rename(FTemp, FPath);
        } else {
            fs::remove(FTemp, ec);
        }
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

// A write through a transfer address that came in parts so far: its new file
// beside the target, removed unless the last part commits it.
struct TPartialWrite {
    explicit TPartialWrite(const std::string& Path) : File(Path) {}
    TReplacingFile File;
    std::uint64_t Written = 0;
};

// The files functions that read, list, copy and move, and the transfers of
// readBinaryFile and writeBinaryFile: all on the bridge's worker, after the
// writes handed over before them.

namespace {

// The file at Path, links followed, as a regular file: refused otherwise.
void AcceptFile(const fs::path& Path) {
    std::error_code ec;
    const fs::file_status status = fs::status(Path, ec);
    if (!fs::exists(status))
        throw EBridgeFailure(std::string(FileNotFoundText));
    if (!fs::is_regular_file(status))
        throw EBridgeFailure(std::string(NotAFileText));
}

// Copies the file Source whole to a new file beside Target, then puts it at
// Target: replacing what is there when Overwrite, else only when nothing is.
void CopyWhole(const std::string& Source, const std::string& Target, bool Overwrite) {
    TFileStream input(Source, TFileMode::fmOpenRead);
    ForceFolderOf(Target);
    TReplacingFile output(Target);
    std::vector<char> block(CopyBlock);
    for (;;) {
        const std::int64_t done = input.Read(block.data(), static_cast<std::int64_t>(block.size()));
        if (done <= 0)
            break;
        WriteAll(output.File(), std::string_view(block.data(), done));
    }
    if (Overwrite)
        output.Commit();
    else
        output.CommitNew();
}

// Checks the two paths of copy and move: the source a file, the target not a
// folder, not the source itself, and free unless Overwrite.
void AcceptCopy(const std::string& Source, const std::string& Target, bool Overwrite) {
    AcceptFile(PathFromUtf8(Source));
    std::error_code ec;
    const fs::file_status target = fs::status(PathFromUtf8(Target), ec);
    if (fs::is_directory(target))
        throw EBridgeFailure(std::string(TargetIsFolderText));
    if (fs::exists(target) && fs::equivalent(PathFromUtf8(Source), PathFromUtf8(Target), ec))
        throw EBridgeFailure(std::string(SameFileText));
    if (!Overwrite && fs::exists(fs::symlink_status(PathFromUtf8(Target), ec)))
        throw EBridgeFailure(std::string(TargetExistsText));
}

// Moves the folder From (not a link) to To, where nothing may be, within
// one file system; never into itself.
TBridgeResult MoveFolder(const fs::path& From, const fs::path& To) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(To, ec)))
        return TBridgeResult::Error(TargetExistsText);
    ec.clear();
    auto absolute = [&ec](const fs::path& Path) {
        fs::path path = ec ? fs::path() : fs::weakly_canonical(Path, ec);
        return path.has_filename() ? path : path.parent_path(); // no trailing separator
    };
    const fs::path from = absolute(From);
    const fs::path to = absolute(To);
    if (ec)
        return TBridgeResult::Error(ec.message());
    if (std::mismatch(from.begin(), from.end(), to.begin(), to.end()).first == from.end())
        return TBridgeResult::Error(std::string(FolderIntoItselfText));
    ForceFolderOf(Utf8FromPath(To));
    fs::rename(From, To, ec);
    if (ec == std::errc::cross_device_link)
        return TBridgeResult::Error(std::string(FolderAcrossFileSystemsText));
    return ec ? TBridgeResult::Error(ec.message()) : TBridgeResult::Boolean(true);
}

std::int64_t MillisecondsOf(fs::file_time_type Time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::file_clock::to_sys(Time).time_since_epoch())
        .count();
}

} // namespace

TBridgeResult TBrowserExternalModule::FilesReadTextFile(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    return ReplyFromWorker(Call, [path] {
        AcceptFile(PathFromUtf8(path));
        TFileStream file(path, TFileMode::fmOpenRead);
        const std::int64_t size = file.Size();
        if (size < 0 || static_cast<std::uintmax_t>(size) > MaxTextFile)
            return TBridgeResult::Error(FileTooLargeText);
        std::string text(static_cast<std::size_t>(size), '\0');
        text.resize(static_cast<std::size_t>(std::max<std::int64_t>(file.Read(text.data(), size), 0)));
        const std::string_view bom = "\xEF\xBB\xBF";
        return TBridgeResult::EscapedText(
            std::string_view(text).substr(text.starts_with(bom) ? bom.size() : 0));
    });
}

TBridgeResult TBrowserExternalModule::FilesAppendTextFile(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    std::string contents;
    try {
        contents = ReadTextArg(Call.Data, "contents");
    } catch (const std::exception& e) {
        return TBridgeResult::Error(e.what());
    }
    return ReplyFromWorker(Call, [path, contents = std::move(contents)] {
        ForceFolderOf(path);
        std::error_code ec;
        if (fs::is_directory(fs::status(PathFromUtf8(path), ec)))
            return TBridgeResult::Error(NotAFileText);
        std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::app);
        if (!file)
            return TBridgeResult::Error("Cannot open file \"" + path + "\"");
        file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        file.close();
        if (!file)
            return TBridgeResult::Error("Error writing to file \"" + path + "\"");
        return TBridgeResult::Boolean(true);
    });
}

TBridgeResult TBrowserExternalModule::FilesStat(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "path"));
    return ReplyFromWorker(Call, [path] {
        std::error_code ec;
        const fs::path at = PathFromUtf8(path);
        const fs::file_status status = fs::status(at, ec);
        if (ec && status.type() != fs::file_type::not_found)
            return TBridgeResult::Error(ec.message());
        const bool exists = fs::exists(status);
        const bool isFile = fs::is_regular_file(status);
        const std::uintmax_t size = isFile ? fs::file_size(at, ec) : 0;
        const fs::file_time_type time = exists ? fs::last_write_time(at, ec) : fs::file_time_type();
        const std::int64_t modified = exists && !ec ? MillisecondsOf(time) : 0;
        auto boolean = [](bool Value) { return Value ? "true" : "false"; };
        return TBridgeResult::JsonValue(
            std::string("{\"exists\":") + boolean(exists) + ",\"isFile\":" + boolean(isFile) +
            ",\"isDirectory\":" + boolean(fs::is_directory(status)) +
            ",\"size\":" + std::to_string(ec ? 0 : size) + ",\"modified\":" + std::to_string(modified) + "}");
    });
}

TBridgeResult TBrowserExternalModule::FilesListDir(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "dirPath"));
    return ReplyFromWorker(Call, [path] {
        std::error_code ec;
        const fs::file_status status = fs::status(PathFromUtf8(path), ec);
        if (!fs::exists(status))
            return TBridgeResult::Error(FolderNotFoundText);
        if (!fs::is_directory(status))
            return TBridgeResult::Error(NotAFolderText);
        struct TItem {
            std::string Name;
            bool IsDirectory;
            std::uintmax_t Size;
            std::int64_t Modified;
        };
        std::vector<TItem> items;
        fs::directory_iterator it(PathFromUtf8(path), ec), end;
        if (ec)
            return TBridgeResult::Error(ec.message());
        for (; it != end; it.increment(ec)) {
            if (items.size() == MaxDirEntries)
                return TBridgeResult::Error(TooManyEntriesText);
            std::error_code entryError;
            const bool isDirectory = it->is_directory(entryError);
            std::uintmax_t size =
                !isDirectory && it->is_regular_file(entryError) ? it->file_size(entryError) : 0;
            if (entryError)
                size = 0;
            std::error_code timeError;
            const fs::file_time_type time = it->last_write_time(timeError);
            items.push_back({Utf8FromPath(it->path().filename()), isDirectory, size,
                             timeError ? 0 : MillisecondsOf(time)});
        }
        if (ec)
            return TBridgeResult::Error(ec.message());
        std::sort(items.begin(), items.end(), [](const TItem& A, const TItem& B) { return A.Name < B.Name; });
        std::string json = "[";
        for (const TItem& item : items) {
            if (json.size() > 1)
                json += ',';
            json += "{\"name\":" + EscapedJsonString(item.Name) +
                    ",\"isDirectory\":" + (item.IsDirectory ? "true" : "false") +
                    ",\"size\":" + std::to_string(item.Size) +
                    ",\"modified\":" + std::to_string(item.Modified) + "}";
        }
        return TBridgeResult::JsonValue(json + "]");
    });
}

TBridgeResult TBrowserExternalModule::FilesCopy(const TBridgeCall& Call) {
    const std::string source = ResolvePagePath(ReadPathArg(Call.Data, "source"));
    const std::string target = ResolvePagePath(ReadPathArg(Call.Data, "target"));
    const bool overwrite = ReadBoolArg(Call.Data, "overwrite", false);
    return ReplyFromWorker(Call, [source, target, overwrite] {
        AcceptCopy(source, target, overwrite);
        CopyWhole(source, target, overwrite);
        return TBridgeResult::Boolean(true);
    });
}

TBridgeResult TBrowserExternalModule::FilesMove(const TBridgeCall& Call) {
    const std::string source = ResolvePagePath(ReadPathArg(Call.Data, "source"));
    const std::string target = ResolvePagePath(ReadPathArg(Call.Data, "target"));
    const bool overwrite = ReadBoolArg(Call.Data, "overwrite", false);
    return ReplyFromWorker(Call, [source, target, overwrite] {
        const fs::path from = PathFromUtf8(source), to = PathFromUtf8(target);
        std::error_code ec;
        if (fs::is_directory(fs::symlink_status(from, ec)))
            return MoveFolder(from, to);
        AcceptCopy(source, target, overwrite);
        ForceFolderOf(target);
        if (overwrite) {
            fs::rename(from, to, ec); // replaces the target at once
        } else {
            // A link at the new name, which the system refuses when something
            // is there, then the old name removed.
            fs::create_hard_link(from, to, ec);
            if (ec == std::errc::file_exists)
                return TBridgeResult::Error(TargetExistsText);
            if (!ec) {
                fs::remove(from, ec);
                return ec ? TBridgeResult::Error(ec.message()) : TBridgeResult::Boolean(true);
            }
            if (ec != std::errc::cross_device_link) {
                // No links on this file system: checked, then renamed.
                if (fs::exists(fs::symlink_status(to, ec)))
                    return TBridgeResult::Error(TargetExistsText);
                fs::rename(from, to, ec);
            }
        }
        if (!ec)
            return TBridgeResult::Boolean(true);
        if (ec != std::errc::cross_device_link)
            return TBridgeResult::Error(ec.message());
        // Another file system: the whole copy in place first, then the source
        // deleted; a source that stays is reported, and both copies are kept.
        CopyWhole(source, target, overwrite);
        fs::remove(from, ec);
        if (ec)
            return TBridgeResult::Error("Copied, but the source could not be deleted: " + ec.message());
        return TBridgeResult::Boolean(true);
    });
}

TBridgeResult TBrowserExternalModule::FilesReadBinaryFile(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    const std::string address = FFileTransfers.Issue(TFileTransfers::TDirection::Read, path);
    return ReplyFromWorker(Call, [path, address] {
        AcceptFile(PathFromUtf8(path));
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(PathFromUtf8(path), ec);
        return TBridgeResult::PlainText(address + "?size=" + std::to_string(ec ? 0 : size));
    });
}

TBridgeResult TBrowserExternalModule::FilesWriteBinaryFile(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "filePath"));
    const std::string address = FFileTransfers.Issue(TFileTransfers::TDirection::Write, path);
    return ReplyFromWorker(Call, [path, address] {
        std::error_code ec;
        if (fs::is_directory(fs::status(PathFromUtf8(path), ec)))
            return TBridgeResult::Error(NotAFileText);
        return TBridgeResult::PlainText(address);
    });
}

std::optional<TBrowserResource> TBrowserExternalModule::ServeTransfer(const TPageRequest& Request) {
    if (!TStrUtils::StartsText(TransferAddressPrefix, Request.Address))
        return std::nullopt;
    TBrowserResource answer;
    answer.ContentType = "text/plain";
    auto reply = [&answer](int Status, std::string_view Text) {
        answer.StatusCode = Status;
        answer.Content = std::make_unique<TMemoryStream>(std::vector<std::uint8_t>(Text.begin(), Text.end()));
        return std::move(answer);
    };
    std::optional<TFileTransfers::TTransfer> transfer = FFileTransfers.Take(Request.Address);
    if (!transfer)
        return reply(404, "Unknown transfer");
    // A request that the engine marks as coming from another site is refused
    // even with a valid token.
    for (std::string_view rest = Request.Headers; !rest.empty();) {
        std::string_view field = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), field.size() + 1));
        if (!TStrUtils::StartsText("sec-fetch-site:", field))
            continue;
        field.remove_prefix(15);
        while (!field.empty() && (field.front() == ' ' || field.back() == '\r' || field.back() == ' '))
            field.front() == ' ' ? field.remove_prefix(1) : field.remove_suffix(1);
        if (field != "same-origin" && field != "none")
            return reply(403, "Refused");
    }
    try {
        // A part: "?at=<offset>" (a write's last one with "&end=1"); without
        // an offset, the whole file.
        const std::size_t queryAt = Request.Address.find('?');
        const std::string query = queryAt == std::string::npos ? "" : Request.Address.substr(queryAt + 1);
        std::uint64_t at = 0;
        bool last = query.find("at=") == std::string::npos, parted = !last;
        for (std::string_view rest = query; !rest.empty();) {
            const std::string_view item = rest.substr(0, rest.find('&'));
            rest.remove_prefix(std::min(rest.size(), item.size() + 1));
            if (item.starts_with("at=")) {
                const std::string digits(item.substr(3));
                if (digits.empty() || digits.size() > 18 ||
                    digits.find_first_not_of("0123456789") != std::string::npos)
                    return reply(400, "Bad part");
                at = std::stoull(digits);
            } else if (item == "end=1") {
                last = true;
            }
        }
        if (transfer->Direction == TFileTransfers::TDirection::Read) {
            if (Request.Method != "GET")
                return reply(405, "Method not allowed");
            AcceptFile(PathFromUtf8(transfer->Path));
            auto file = std::make_unique<TFileStream>(transfer->Path, TFileMode::fmOpenRead);
            answer.ContentType = "application/octet-stream";
            if (!parted) {
                answer.Content = std::move(file);
                return answer;
            }
            // A part of 1 MiB from the offset; the address serves the next
            // one until a part reaches the end.
            const auto size = static_cast<std::uint64_t>(file->Size());
            if (at > size)
                return reply(416, "Beyond the end of the file");
            std::vector<std::uint8_t> bytes(
                static_cast<std::size_t>(std::min<std::uint64_t>(PartSize, size - at)));
            file->Seek(static_cast<std::int64_t>(at), TSeekOrigin::soBeginning);
            if (!bytes.empty() && file->Read(bytes.data(), static_cast<std::int64_t>(bytes.size())) !=
                                      static_cast<std::int64_t>(bytes.size()))
                return reply(500, "The file changed while it was read");
            if (at + bytes.size() < size)
                FFileTransfers.Restore(Request.Address, std::move(*transfer));
            answer.Content = std::make_unique<TMemoryStream>(std::move(bytes));
            return answer;
        }
        if (Request.Method != "POST" && Request.Method != "PUT")
            return reply(405, "Method not allowed");
        if (!transfer->Partial) {
            if (at != 0)
                return reply(409, "Parts out of order");
            ForceFolderOf(transfer->Path);
            transfer->Partial = std::make_shared<TPartialWrite>(transfer->Path);
        } else if (at != transfer->Partial->Written) {
            return reply(409, "Parts out of order"); // the write is dropped with its new file
        }
        std::vector<char> block(CopyBlock);
        for (;;) {
            const std::int64_t done = Request.ReadBody(block.data(), static_cast<std::int64_t>(block.size()));
            if (done < 0)
                return reply(500, "The data could not be read");
            if (done == 0)
                break;
            WriteAll(transfer->Partial->File.File(), std::string_view(block.data(), done));
            transfer->Partial->Written += static_cast<std::uint64_t>(done);
        }
        if (!last) {
            FFileTransfers.Restore(Request.Address, std::move(*transfer));
            return reply(200, "more");
        }
        transfer->Partial->File.Commit();
        return reply(200, "true");
    } catch (const std::exception& e) {
        return reply(500, e.what());
    }
}

void TBrowserExternalModule::SetBrowserForm(TBrowserForm* Value) {
    FBrowserForm = Value;
    if (!Value)
        return;
    Value->OnPageRequest = [this, alive = std::weak_ptr<bool>(FAlive)](const TPageRequest& Request) {
        return alive.lock() ? ServeTransfer(Request) : std::nullopt;
    };
}

} // namespace Norvane::Shared
